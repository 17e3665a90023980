"""Firmware upgrades of modules in their boot loaders, through libFwLoader and its plug-ins.

A plug-in carries the boot frames: "VEXA" reaches sub modules (and couplers) through a coupler
on Ethernet, RS-485 or USB; "ModBus" reaches RS-485 couplers on a serial line. Open one on the
devices you mean, search, upgrade::

    with Upgrade.vexa_ethernet("127.19.14.10", sub_address=1) as up:
        up.search(enter_boot=True)
        up.upgrade("sub.upf", progress=lambda pct: print(f"{pct:5.1f} %"))

The plug-ins are found in ``<program folder>/devdlls/``; the package points the library's
program folder (``VEXA_APPDIR``) at the folder beside the libraries that holds ``devdlls/``
unless it is already set.
"""
from __future__ import annotations

import ctypes
import hashlib
import logging
import os
import socket
import struct
import threading
from dataclasses import dataclass
from typing import Callable, List, Optional, Union

from . import _lib
from .errors import InvalidArgument, NoDevice, OpenFailed, WrongFile, fwloader_error
from .records import (MB_PORT_MAGIC, VEXA_PORT_ETHERNET, VEXA_PORT_HID, VEXA_PORT_RS485, VEXA_PORT_MAGIC,
                      BootDeviceInfo, BootVersionInfo, MbPortParams, VexaPortParams)

_NAME_SIZE = 256      # KB_NAME_SIZE
_ERR_TEXT_SIZE = 256  # KB_ERR_TEXT_SIZE
_PROGRESS_FULL = 10000
_POLL_SECONDS = 0.1

log = logging.getLogger("vexa")

# The upgrade library keeps one device table for the process and takes no lock of its own:
# searches, closes and upgrades through it are serialised here. The progress query needs none.
_table_lock = threading.RLock()
_open_session: Optional["Upgrade"] = None


def _on_message(text: Optional[bytes]) -> None:
    log.warning("%s", _lib.text(text or b""))


_message_handler = _lib.MESSAGE_HANDLER(_on_message)


def _fw() -> ctypes.CDLL:
    fresh = _lib.FWLOADER not in _lib._loaded
    if fresh:
        # The plug-ins need the device library of this process: load it first.
        _lib.load(_lib.SDK)
    lib = _lib.load(_lib.FWLOADER)
    if fresh:
        lib.KB_SetMessageHandler(_message_handler)  # the library's texts go to logging
    return lib


def plugins() -> List[str]:
    """The names of the boot plug-ins the program folder offers, by index."""
    lib = _fw()
    count = lib.KB_GetCommDeviceList(None, 0)
    names: List[str] = []
    buf = ctypes.create_string_buffer(_NAME_SIZE)
    for i in range(max(count, 0)):
        names.append(_lib.text(buf.raw) if lib.KB_GetCommDeviceList(buf, i) == 1 else "")
    return names


def _version(word: int) -> str:
    return f"{word >> 8:x}.{word & 0xFF:02x}"


@dataclass(frozen=True)
class DeviceInfo:
    """What a boot loader says about its device."""

    index: int
    series: str
    model: int
    hardware_version: str
    firmware_version: str
    serial: str

    @classmethod
    def from_record(cls, index: int, r: BootDeviceInfo) -> "DeviceInfo":
        series = "".join(chr(c) if 0x20 <= c < 0x7F else "?" for c in struct.pack(">I", r.series))
        return cls(index, series, r.model, _version(r.hardwareVersion), _version(r.firmwareVersion),
                   bytes(r.serial).hex())


@dataclass(frozen=True)
class BootVersion:
    """A boot loader's version reply; the fields carry no meaning for the host."""

    version: int
    values: tuple
    text1: str
    text2: str

    @classmethod
    def from_record(cls, r: BootVersionInfo) -> "BootVersion":
        def field(raw: bytes) -> str:
            raw = raw.split(b"\0", 1)[0]
            return "".join(chr(c) if 0x20 <= c < 0x7F else "." for c in raw)
        return cls(r.version, tuple(r.values), field(bytes(r.field1)), field(bytes(r.field2)))


class Upgrade:
    """One boot plug-in opened on a set of devices: a context manager that closes it on exit.

    Only one may be open at a time in a process: the upgrade library numbers the devices of all
    open plug-ins in one table, and no export tells which rows are whose.
    """

    def __init__(self, plugin: str, params: Union[VexaPortParams, MbPortParams], keep: Optional[bytes] = None) -> None:
        global _open_session
        self.plugin = plugin
        self._params = params
        self._keep = keep  # the port text the record points at
        self._devices = 0
        self._index = -1
        lib = _fw()
        names = plugins()
        if plugin not in names:
            raise OpenFailed(f"no boot plug-in '{plugin}' in {_lib.app_dir() or '?'}/devdlls", None, "fwloader")
        with _table_lock:
            if _open_session is not None:
                raise OpenFailed(f"the plug-in '{_open_session.plugin}' is still open: close it first", None,
                                 "fwloader")
            if lib.KB_OpenCommDevice(names.index(plugin), ctypes.byref(params)) == 0:
                raise OpenFailed(f"the plug-in '{plugin}' cannot open its line", None, "fwloader")
            self._index = names.index(plugin)
            _open_session = self

    # ---- the devices to reach ----

    @classmethod
    def vexa_ethernet(cls, coupler_ip: Optional[str] = None, sub_address: int = 0) -> "Upgrade":
        """Sub modules behind the Ethernet coupler at ``coupler_ip`` (None: every coupler);
        ``sub_address`` 1..15 picks one module, 0 takes every one."""
        p = cls._vexa(VEXA_PORT_ETHERNET, sub_address)
        if coupler_ip:
            try:
                p.ipAddress = struct.unpack("<I", socket.inet_aton(coupler_ip))[0]
            except OSError:
                raise InvalidArgument(f"'{coupler_ip}' is no IPv4 address") from None
        return cls("VEXA", p)

    @classmethod
    def vexa_serial(cls, port: str, station: int, baud: int = 9600, ascii: bool = False,
                    sub_address: int = 0) -> "Upgrade":
        """Sub modules behind the RS-485 coupler at ``station`` on ``port``."""
        p = cls._vexa(VEXA_PORT_RS485, sub_address)
        keep = _lib.cstr(port)
        p.station, p.rsParam, p.portText = station, 1 if ascii else 0, keep
        for i, v in enumerate((baud, 8, 0, 0, 1, 1, 0, 0)):  # baud, data bits, parity, stop, DTR, RTS
            p.serial[i] = v
        return cls("VEXA", p, keep)

    @classmethod
    def vexa_usb(cls, sub_address: int = 0) -> "Upgrade":
        """Sub modules behind every USB coupler."""
        return cls("VEXA", cls._vexa(VEXA_PORT_HID, sub_address))

    @classmethod
    def modbus(cls, port: str, station: int = 1, baud: int = 19200, ascii: bool = False) -> "Upgrade":
        """RS-485 couplers themselves, on a serial line (``station`` 0: stations 1..247)."""
        p = MbPortParams()
        keep = _lib.cstr(port)
        p.magic, p.copyPortText, p.station = MB_PORT_MAGIC, 1, station
        p.lineMode, p.portText, p.baudRate, p.dataBits = 1 if ascii else 0, keep, baud, 8
        return cls("ModBus", p, keep)

    @staticmethod
    def _vexa(transport: int, sub_address: int) -> VexaPortParams:
        p = VexaPortParams()
        p.magic, p.transport, p.subAddress = VEXA_PORT_MAGIC, transport, sub_address
        return p

    # ---- close ----

    @property
    def closed(self) -> bool:
        return self._index < 0

    def close(self) -> None:
        """Closes the plug-in; its devices leave the table. Idempotent."""
        global _open_session
        with _table_lock:
            if self._index >= 0:
                _fw().KB_CloseCommDevice(self._index)
                self._index = -1
                self._devices = 0
                if _open_session is self:
                    _open_session = None

    def __enter__(self) -> "Upgrade":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"<Upgrade {self.plugin}{' closed' if self.closed else f' {self._devices} device(s)'}>"

    # ---- devices ----

    def _plugin(self) -> int:
        if self._index < 0:
            raise OpenFailed(f"the plug-in '{self.plugin}' is closed", None, "fwloader")
        return self._index

    def search(self, enter_boot: bool = False) -> List[DeviceInfo]:
        """Finds the devices that run their boot loaders, and what they say about themselves.

        ``enter_boot`` first tells the modules to start their boot loaders, then searches again.
        """
        lib = _fw()
        with _table_lock:
            plugin = self._plugin()
            self._devices = lib.KB_SearchDevice(plugin)
            if enter_boot:
                lib.KB_EnterBootMode(plugin)
                self._devices = lib.KB_SearchDevice(plugin)
            return [d for d in (self._info(i) for i in range(self._devices)) if d is not None]

    @property
    def device_count(self) -> int:
        """How many devices the last search found."""
        return self._devices

    def _check_index(self, index: int) -> None:
        self._plugin()
        if not 0 <= index < self._devices:
            raise NoDevice(f"no device {index}: the search found {self._devices}", -1, "fwloader")

    def _info(self, index: int) -> Optional[DeviceInfo]:
        r = BootDeviceInfo()
        return DeviceInfo.from_record(index, r) if _fw().KB_GetDeviceInfo(index, ctypes.byref(r)) == 1 else None

    def device_info(self, index: int = 0) -> DeviceInfo:
        """The device-info reply of device ``index``; :class:`NoReply` when it gives none."""
        with _table_lock:
            self._check_index(index)
            info = self._info(index)
        if info is None:
            raise fwloader_error(-3, f"device {index} gave no device-info reply")
        return info

    def boot_version(self, index: int = 0) -> BootVersion:
        """The boot-version reply of device ``index``."""
        r = BootVersionInfo()
        with _table_lock:
            self._check_index(index)
            ok = _fw().KB_GetBootVer(index, ctypes.byref(r))
        if ok != 1:
            raise fwloader_error(-3, f"device {index} gave no boot-version reply")
        return BootVersion.from_record(r)

    def upgrade(self, path: Union[str, os.PathLike], index: int = 0,
                progress: Optional[Callable[[float], None]] = None, reset: bool = True) -> None:
        """Writes the upgrade file at ``path`` into device ``index``.

        ``progress`` is called on this thread with the percentage done (0.0..100.0) about ten
        times a second, and with 100.0 at the end. Raises the failure's exception (``WrongFile``,
        ``TypeMismatch``, ``DeviceError``, ``NoReply``, ``BadReply``) with the library's text. After
        a success the device is reset into its new firmware unless ``reset`` is False.
        """
        lib = _fw()
        file = _lib.cstr(os.fspath(path))
        with _table_lock:
            self._check_index(index)
            result: List[int] = []
            worker = threading.Thread(target=lambda: result.append(lib.KB_UpdateFirware(index, file)),
                                      name="vexa-upgrade", daemon=True)
            worker.start()
            callback_error: Optional[BaseException] = None
            while worker.is_alive():
                value = lib.KB_GetUpdateFirwareProgress(index)
                # Full also means "not started yet": only the end reports it.
                if progress is not None and callback_error is None and value < _PROGRESS_FULL:
                    try:
                        progress(value / 100.0)
                    except BaseException as e:  # noqa: BLE001 -- raised once the library returned
                        callback_error = e
                worker.join(_POLL_SECONDS)
            if callback_error is not None:
                raise callback_error
            text = ctypes.create_string_buffer(_ERR_TEXT_SIZE)
            code = lib.KB_GetErrInfo(index, text)
            if not result or result[0] != 1:
                raise fwloader_error(code, _lib.text(text.raw))
            if progress is not None:
                progress(100.0)
            if reset:
                lib.KB_ResetDevice(index)

    def reset(self, index: int = 0) -> None:
        """Tells device ``index`` to leave its boot loader and start its firmware."""
        with _table_lock:
            self._check_index(index)
            if _fw().KB_ResetDevice(index) != 1:
                raise fwloader_error(-3, f"the reset of device {index} did not go out")

    @staticmethod
    def check_file(path: Union[str, os.PathLike]) -> None:
        """Checks an upgrade file as an upgrade does before it touches a device; :class:`WrongFile`."""
        text = ctypes.create_string_buffer(_ERR_TEXT_SIZE)
        code = _fw().KB_CheckUpgradeFile(_lib.cstr(os.fspath(path)), text)
        if code != 0:
            raise fwloader_error(code, _lib.text(text.raw))


_FILE_TAG = b"VEXA firmware upgrade file"
_FILE_LEAD = 42  # the tag padded to 34 bytes, then the header and payload offsets (u32 LE)


def build_upgrade_file(header: bytes, payload: bytes) -> bytes:
    """An upgrade file: the tag, the offsets of the boot loader's header block and of the
    payload, both blocks, and the MD5 of all that as the last 16 bytes.

    The header block is the target boot loader's own; the host sends it unchanged.
    """
    body = bytearray(_FILE_TAG.ljust(_FILE_LEAD, b"\x5a"))
    h = len(body)
    body += header
    p = len(body)
    body += payload
    body[34:42] = struct.pack("<II", h, p)
    return bytes(body) + hashlib.md5(body).digest()


__all__ = ["Upgrade", "DeviceInfo", "BootVersion", "plugins", "build_upgrade_file", "WrongFile"]
