"""VEXA couplers, sub modules, Modbus and firmware upgrades from Python.

A thin, typed layer over the tool-set's C libraries (libVexaSdk, libMbMaster, libFwLoader),
loaded with ctypes from ``VEXA_LIB_DIR``, an installed tree, or the loader's path.

Threads: each C library serialises its calls with one library-wide lock, so calls from several
threads are safe but run one at a time; a long call (a USB coupler firmware download, a slow
serial search) makes calls from other threads into the same library wait. The upgrade library
has no lock of its own: this package serialises its searches and upgrades, so an upgrade
blocks other upgrade calls (only its progress query runs beside it), while device-library calls
from other threads go on between its frames. ctypes releases the GIL during every call.
"""
from .coupler import (Coupler, CouplerInfo, CouplerKind, IoChannel, IoMapWord, Mapping, MapReadBack, PdoLayout,
                      PdoSetting, Properties, SdoObject, SubModule, SubModuleInfo, SubValues, version_text)
from .errors import (BadReply, Closed, CouplerRefused, DeviceError, Failed, InvalidArgument, KeyUnknown,
                     ModbusException, NoDevice, NoMore, NoReply, NoSubModule, NothingToSubmit, NotRead, OpenFailed,
                     ParseFailed, RecordTooSmall, SendFailed, TypeMismatch, VexaError, WrongFile)
from .modbus import ModbusMaster
from .records import (BootDeviceInfo, BootVersionInfo, IoMapRecord, MbPortParams, PdoMapEntry, SdoMapRecord,
                      VexaPortParams)
from .upgrade import BootVersion, DeviceInfo, Upgrade, build_upgrade_file, plugins

__version__ = "0.1.0"

__all__ = [
    "Coupler", "CouplerInfo", "CouplerKind", "Properties", "SubModule", "SubModuleInfo", "SubValues", "Mapping",
    "IoChannel", "IoMapWord", "MapReadBack", "PdoLayout", "PdoSetting", "SdoObject", "version_text",
    "ModbusMaster", "Upgrade", "DeviceInfo", "BootVersion", "build_upgrade_file", "plugins",
    "IoMapRecord", "SdoMapRecord", "PdoMapEntry", "BootDeviceInfo", "BootVersionInfo", "VexaPortParams",
    "MbPortParams",
    "VexaError", "ParseFailed", "BadReply", "DeviceError", "SendFailed", "NoReply", "OpenFailed", "NotRead",
    "KeyUnknown", "NothingToSubmit", "NoMore", "RecordTooSmall", "InvalidArgument", "ModbusException",
    "CouplerRefused", "NoSubModule", "WrongFile", "TypeMismatch", "NoDevice", "Closed", "Failed",
]
