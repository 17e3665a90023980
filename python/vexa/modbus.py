"""Modbus master over TCP or a serial line (RTU or ASCII) through libMbMaster.

::

    with ModbusMaster.rtu("/dev/ttyUSB0", baud=19200, unit=3) as mb:
        mb.write_register(0x10, 1234)
        print(mb.read_holding_registers(0x10, 2))
"""
from __future__ import annotations

import ctypes
from ctypes import c_int, c_short, c_ubyte
from typing import List, Optional, Sequence, Union

from . import _lib
from .errors import Closed, InvalidArgument, OpenFailed, check_modbus, modbus_error

_PARITY = {"none": 0, "n": 0, "odd": 1, "o": 1, "even": 2, "e": 2, "mark": 3, "m": 3, "space": 4, "s": 4}
_STOP_BITS = {1: 0, 1.5: 1, 2: 2}
_MAX_BITS = 2000
_MAX_REGISTERS = 125


def _mb() -> ctypes.CDLL:
    return _lib.load(_lib.MODBUS)


class ModbusMaster:
    """One Modbus connection: a context manager that disconnects on exit.

    Every call addresses ``unit`` (the slave id given at connect time) unless it names another.
    Register values are unsigned 16-bit numbers; writes also take -32768..-1.
    """

    def __init__(self, handle: int, description: str, unit: int = 1) -> None:
        self._handle: Optional[int] = handle
        self.description = description
        self.unit = unit

    # ---- connect ----

    @classmethod
    def tcp(cls, host: str, port: int = 502, unit: int = 1) -> "ModbusMaster":
        """Connects to a Modbus TCP server (waits up to 3 s; replies time out after 100 ms)."""
        handle = _mb().KMB_TCPConnectMDBServer(_lib.cstr(host), port, 0)
        if not handle:
            raise OpenFailed(f"cannot connect to {host}:{port}", None, "modbus")
        return cls(handle, f"tcp:{host}:{port}", unit)

    @classmethod
    def rtu(cls, port: str, baud: int = 9600, unit: int = 1, data_bits: int = 8, parity: str = "none",
            stop_bits: float = 1, timeout_ms: int = 1000) -> "ModbusMaster":
        """Opens a serial line with RTU framing."""
        return cls._serial(0, port, baud, unit, data_bits, parity, stop_bits, timeout_ms)

    @classmethod
    def ascii(cls, port: str, baud: int = 9600, unit: int = 1, data_bits: int = 8, parity: str = "none",
              stop_bits: float = 1, timeout_ms: int = 1000) -> "ModbusMaster":
        """Opens a serial line with ASCII framing."""
        return cls._serial(1, port, baud, unit, data_bits, parity, stop_bits, timeout_ms)

    @classmethod
    def _serial(cls, framing: int, port: str, baud: int, unit: int, data_bits: int, parity: str,
                stop_bits: float, timeout_ms: int) -> "ModbusMaster":
        p = _PARITY.get(parity.lower())
        s = _STOP_BITS.get(stop_bits)
        if p is None or s is None or not 5 <= data_bits <= 8:
            raise InvalidArgument(f"bad line settings: {data_bits} data bits, parity {parity}, {stop_bits} stop bits")
        # RTS on, no hardware handshake.
        handle = _mb().KMB_SerConnectMDBServer(framing, _lib.cstr(port), baud, data_bits, p, s, 1, 0, 0, 0, timeout_ms)
        if not handle:
            raise OpenFailed(f"cannot open {port}", None, "modbus")
        return cls(handle, f"{'ascii' if framing else 'rtu'}:{port}", unit)

    @property
    def handle(self) -> int:
        if self._handle is None:
            raise Closed(f"{self.description} is closed")
        return self._handle

    @property
    def closed(self) -> bool:
        return self._handle is None

    def close(self) -> None:
        """Disconnects. Idempotent."""
        if self._handle is not None:
            handle, self._handle = self._handle, None
            _mb().KMB_DisConnectMDBServer(handle)

    def __enter__(self) -> "ModbusMaster":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"<ModbusMaster {self.description}{' closed' if self.closed else ''}>"

    # ---- the eight functions ----

    def _unit(self, unit: Optional[int]) -> int:
        return self.unit if unit is None else unit

    def _read_bits(self, fn: str, start: int, count: int, unit: Optional[int]) -> List[bool]:
        if not 1 <= count <= _MAX_BITS:
            raise InvalidArgument(f"count {count} is not 1..{_MAX_BITS}")
        out = (c_ubyte * count)()
        check_modbus(getattr(_mb(), fn)(self.handle, self._unit(unit), start, count, out, 0), f"{fn[4:]} at {start}")
        return [bool(b) for b in out]

    def _read_registers(self, fn: str, start: int, count: int, unit: Optional[int]) -> List[int]:
        if not 1 <= count <= _MAX_REGISTERS:
            raise InvalidArgument(f"count {count} is not 1..{_MAX_REGISTERS}")
        out = (c_short * count)()
        check_modbus(getattr(_mb(), fn)(self.handle, self._unit(unit), start, count, out, 0), f"{fn[4:]} at {start}")
        return [v & 0xFFFF for v in out]

    def read_coils(self, start: int, count: int, unit: Optional[int] = None) -> List[bool]:
        """Function 1: ``count`` coils from ``start`` on."""
        return self._read_bits("KMB_ReadCoil", start, count, unit)

    def read_discrete_inputs(self, start: int, count: int, unit: Optional[int] = None) -> List[bool]:
        """Function 2: ``count`` discrete inputs from ``start`` on."""
        return self._read_bits("KMB_ReadInput", start, count, unit)

    def read_holding_registers(self, start: int, count: int, unit: Optional[int] = None) -> List[int]:
        """Function 3: ``count`` holding registers from ``start`` on (0..65535 each)."""
        return self._read_registers("KMB_ReadHoldReg", start, count, unit)

    def read_input_registers(self, start: int, count: int, unit: Optional[int] = None) -> List[int]:
        """Function 4: ``count`` input registers from ``start`` on (0..65535 each)."""
        return self._read_registers("KMB_ReadInputReg", start, count, unit)

    def write_coil(self, address: int, value: bool, unit: Optional[int] = None) -> None:
        """Function 5: switches one coil."""
        check_modbus(_mb().KMB_WriteCoilSingle(self.handle, self._unit(unit), address, 1 if value else 0, 0),
                     f"write coil {address}")

    def write_register(self, address: int, value: int, unit: Optional[int] = None) -> None:
        """Function 6: writes one holding register."""
        _check_register(value)
        check_modbus(_mb().KMB_WriteRegSingle(self.handle, self._unit(unit), address, value & 0xFFFF, 0),
                     f"write register {address}")

    def write_coils(self, start: int, values: Sequence[Union[bool, int]], unit: Optional[int] = None) -> None:
        """Function 15: switches coils from ``start`` on."""
        bits = (c_ubyte * len(values))(*(1 if v else 0 for v in values))
        check_modbus(_mb().KMB_WriteCoilMulitiple(self.handle, self._unit(unit), start, len(values), bits, 0),
                     f"write coils at {start}")

    def write_registers(self, start: int, values: Sequence[int], unit: Optional[int] = None) -> None:
        """Function 16: writes holding registers from ``start`` on."""
        for v in values:
            _check_register(v)
        regs = (c_short * len(values))(*(_signed(v) for v in values))
        check_modbus(_mb().KMB_WriteRegMulitiple(self.handle, self._unit(unit), start, len(values), regs, 0),
                     f"write registers at {start}")

    # ---- raw frames ----

    def send_frame(self, frame: bytes) -> int:
        """Sends the bytes as one request (RTU: the CRC is added; ASCII: sent in ASCII form);
        returns the number of bytes that went out."""
        sent = _mb().KMB_WriteCmdBuf(self.handle, bytes(frame), len(frame), 0)
        if sent <= 0:
            raise modbus_error(200, "raw send")
        return sent

    def receive_frame(self, max_length: int = 260) -> bytes:
        """Receives one frame (serial: checked, without its CRC/LRC)."""
        buf = ctypes.create_string_buffer(max_length)
        n = c_int()
        check_modbus(_mb().KMB_ReadRecBuf(self.handle, buf, max_length, ctypes.byref(n), 0), "raw receive")
        return buf.raw[:n.value]

    # ---- writes through a VEXA coupler ----

    def write_through_rs_coupler(self, station: int, start: int, values: Sequence[int]) -> None:
        """Writes sub-module registers through the RS-485 coupler at ``station`` on this line,
        without waiting for a reply (``start`` 0..255; bit 7 selects the property registers)."""
        regs = (c_short * len(values))(*(_signed(v) for v in values))
        check_modbus(_mb().KMB_SetRegByRSVexa(self.handle, station, start, len(values), regs), "coupler write")

    @staticmethod
    def write_through_coupler(ip: str, mac: str, sub_address: int, start: int, values: Sequence[int]) -> None:
        """Writes ``values`` to the registers from ``start`` on (bit 7 selects the property
        registers) of sub module ``sub_address`` behind the Ethernet coupler at ``ip``."""
        regs = (c_short * len(values))(*(_signed(v) for v in values))
        check_modbus(_mb().KMB_SetRegByVexa(_lib.cstr(ip), _lib.cstr(mac), sub_address, start, len(values), regs),
                     f"write through {ip}")


def _check_register(value: int) -> None:
    if not -32768 <= value <= 0xFFFF:
        raise InvalidArgument(f"register value {value} is not -32768..65535")


def _signed(value: int) -> int:
    value &= 0xFFFF
    return value - 0x10000 if value & 0x8000 else value


__all__ = ["ModbusMaster"]
