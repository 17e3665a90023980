"""Binary records the libraries exchange with callers, as packed ``ctypes`` structures.

Their sizes are those the C headers assert; the module checks them when it is imported so a
layout slip fails at once rather than on a device.
"""
from __future__ import annotations

import ctypes
from ctypes import c_char, c_char_p, c_int32, c_uint8, c_uint16, c_uint32

VEXA_PORT_MAGIC = 0x56455841  # "VEXA" in memory, little-endian
MB_PORT_MAGIC = 0x4D427573    # "MBus"

VEXA_PORT_ETHERNET = 0
VEXA_PORT_RS485 = 1
VEXA_PORT_HID = 2


class IoMapRecord(ctypes.Structure):
    """One I/O channel of a sub module behind the USB coupler (106 bytes)."""

    _pack_ = 1
    _fields_ = [
        ("subAddress", c_uint8),
        ("direction", c_uint8),   # 1 output, 0 input
        ("reg", c_uint8),         # register address, low byte
        ("lengthRegs", c_uint8),  # length in 16-bit registers
        ("key", c_char * 100),    # NUL-terminated item key
        ("type", c_uint16),       # sub-module type code
    ]


class SdoMapRecord(ctypes.Structure):
    """A sub-module configuration register exposed as an SDO object (7 bytes)."""

    _pack_ = 1
    _fields_ = [
        ("index", c_uint16),
        ("subIndex", c_uint8),
        ("subAddress", c_uint8),
        ("reg", c_uint8),
        ("lengthRegs", c_uint8),
        ("zero", c_uint8),
    ]


class PdoMapEntry(ctypes.Structure):
    """One PDO setting handed to the USB coupler (8 bytes)."""

    _pack_ = 1
    _fields_ = [
        ("setting", c_uint8 * 6),  # offset, pdo + 16 * position, sub address, register, words, 0
        ("side", c_uint8),         # non-zero: RPDO (output); 0: TPDO (input)
        ("channel", c_uint8),      # the caller's channel index; not sent
    ]


class BootDeviceInfo(ctypes.Structure):
    """A boot loader's device-info reply (22 bytes)."""

    _pack_ = 1
    _fields_ = [
        ("series", c_uint32),
        ("model", c_uint32),
        ("hardwareVersion", c_uint16),
        ("firmwareVersion", c_uint16),
        ("serial", c_uint8 * 4),
        ("reserved", c_uint8 * 6),
    ]


class BootVersionInfo(ctypes.Structure):
    """A boot loader's version reply (80 bytes)."""

    _pack_ = 1
    _fields_ = [
        ("version", c_uint16),
        ("unused", c_uint8 * 2),
        ("values", c_uint32 * 3),
        ("field1", c_uint8 * 32),
        ("field2", c_uint8 * 32),
    ]


class VexaPortParams(ctypes.Structure):
    """Open record of the "VEXA" boot plug-in: 60 bytes on 64-bit, the port pointer at 20."""

    _pack_ = 1
    _fields_ = [
        ("magic", c_uint32),
        ("transport", c_uint8),
        ("subAddress", c_uint8),    # 1..15: only this sub module; else every one
        ("unused6", c_uint8 * 2),
        ("ipAddress", c_uint32),    # network byte order; 0 = whole network
        ("station", c_uint8),
        ("unused13", c_uint8 * 3),
        ("rsParam", c_int32),       # RS-485 framing: 0 RTU, 1 ASCII
        ("portText", c_char_p),
        ("serial", c_int32 * 8),    # baud, data bits, parity, stop bits, DTR, RTS, 0, 0
    ]


class MbPortParams(ctypes.Structure):
    """Open record of the "ModBus" boot plug-in: 60 bytes on 64-bit, the port pointer at 20."""

    _pack_ = 1
    _fields_ = [
        ("magic", c_uint32),
        ("copyPortText", c_uint8),
        ("station", c_uint8),       # 1..247: only this station; else stations 1..247
        ("unused6", c_uint8 * 10),
        ("lineMode", c_int32),      # 0 RTU, 1 ASCII
        ("portText", c_char_p),
        ("baudRate", c_int32),
        ("dataBits", c_int32),
        ("serial", c_int32 * 6),
    ]


_POINTER = ctypes.sizeof(ctypes.c_void_p)

#: The sizes the C headers assert, by record.
EXPECTED_SIZES = {
    IoMapRecord: 106,
    SdoMapRecord: 7,
    PdoMapEntry: 8,
    BootDeviceInfo: 22,
    BootVersionInfo: 80,
    VexaPortParams: 52 + _POINTER,
    MbPortParams: 52 + _POINTER,
}


def _check_layout() -> None:
    for record, size in EXPECTED_SIZES.items():
        if ctypes.sizeof(record) != size:
            raise ImportError(f"{record.__name__} is {ctypes.sizeof(record)} bytes, the library takes {size}")
    for record in (VexaPortParams, MbPortParams):
        if record.portText.offset != 20:  # type: ignore[attr-defined]
            raise ImportError(f"{record.__name__}.portText is not at offset 20")


_check_layout()
