"""Couplers and their sub modules through the device library (libVexaSdk).

A coupler is found by a search of its kind (Ethernet, RS-485 serial line, USB), opened, and
released again by :meth:`Coupler.close` or by leaving its ``with`` block. Settings are texts
keyed by name: read them from the device, modify some, submit the modified ones.
"""
from __future__ import annotations

import ctypes
import enum
import functools
import threading
import time
from ctypes import byref, c_int, c_short
from dataclasses import dataclass
from typing import Callable, Dict, Iterable, Iterator, List, Optional, Sequence, Tuple, TypeVar, Union
from typing import Mapping as TMapping

from . import _lib
from .errors import Closed, InvalidArgument, NoReply, NoSubModule, OpenFailed, check_sdk, sdk_error
from .records import IoMapRecord, PdoMapEntry, SdoMapRecord

# A search is several library calls over one result list the library keeps for the whole
# process: two threads searching at once would take each other's results. Searches run one at
# a time; the calls on open couplers do not wait for them beyond the library's own lock.
_search_lock = threading.RLock()


def _one_search_at_a_time(fn):
    @functools.wraps(fn)
    def wrapper(*args, **kwargs):
        with _search_lock:
            return fn(*args, **kwargs)
    return wrapper

RC_OK = 0
RC_NO_REPLY = 203
RC_OPEN_FAILED = 204
RC_NO_MORE = 400
RC_FAILED = 999

_TEXT_SIZE = 260       # KO_TEXT_SIZE
_IP_SIZE = 16          # KO_IP_TEXT_SIZE
_MAC_SIZE = 18         # KO_MAC_TEXT_SIZE
_HID_PATH_SIZE = 200   # KO_HID_PATH_SIZE
_SUB_SLOTS = 8         # slots a coupler reports
_UPDATE_PROGRESS_MESSAGE = 0x678


class CouplerKind(enum.IntEnum):
    """How a coupler is reached."""

    ETHERNET = 0
    SERIAL = 1
    USB = 2


# Property keys of each coupler kind, in the order people read them. The library has no export
# that lists them, and iterating ``Coupler.properties`` needs them.
_COUPLER_KEYS: Dict[CouplerKind, Tuple[str, ...]] = {
    CouplerKind.ETHERNET: (
        "MAIN_MAC", "MAIN_TYPE", "MAIN_MODE", "MAIN_HARDVER", "MAIN_NAME", "MAIN_PASS", "MAIN_IP",
        "MAIN_MASK", "MAIN_GATE", "MAIN_DNS", "MAIN_FILE_DOWN", "MAIN_SOFT_1_VER", "MAIN_SOFT_1_LEN",
        "MAIN_SOFT_1_CHECK", "MAIN_SOFT_2_VER", "MAIN_SOFT_2_LEN", "MAIN_SOFT_2_CHECK", "MAIN_BOOT_LOAD"),
    CouplerKind.SERIAL: (
        "MAIN_MANFT", "MAIN_TYPE", "MAIN_MODE", "MAIN_HARDVER", "MAIN_SOFTVER", "MAIN_SNCODE", "MAIN_NAME",
        "MAIN_PASS", "MAIN_MAX_SLAVER", "MAIN_MODBUS_OP", "MAIN_BYTE_TO", "MAIN_BAUD", "MAIN_DATA_B",
        "MAIN_STOP_B", "MAIN_PARITY", "MAIN_BOOT_LOAD"),
    CouplerKind.USB: (
        "MAIN_MANFT", "MAIN_TYPE", "MAIN_MODE", "MAIN_HARDVER", "MAIN_SOFTVER", "MAIN_SNCODE",
        "MAIN_CANOPEN_ADDR", "MAIN_CANBAUD_INDEX", "MAIN_USER_CANBAUD"),
}


def version_text(word: int) -> str:
    """A version word as people read it: 0x0102 -> "V1.02"."""
    return f"V{(word >> 8) & 0xFF}.{word & 0xFF:02d}"


def _sdk() -> ctypes.CDLL:
    return _lib.load(_lib.SDK)


@dataclass(frozen=True)
class CouplerInfo:
    """A coupler a search found: enough to open it, and its identity.

    ``address`` is the IP address, the serial port or the HID path; ``target`` gives the
    ``eth:``/``rs:``/``hid:`` form :meth:`Coupler.open` and vexactl take.
    """

    kind: CouplerKind
    address: str
    type: int
    mode: int
    hard_version: int
    soft_version: int = 0
    manufacturer: int = 0
    serial: int = 0
    mac: str = ""
    station: int = 0
    ascii: bool = False
    baud: int = 9600
    timeout_ms: int = 1000

    @property
    def target(self) -> str:
        if self.kind == CouplerKind.ETHERNET:
            return f"eth:{self.address}"
        if self.kind == CouplerKind.SERIAL:
            return f"rs:{self.address}:{self.station}"
        return f"hid:{self.address}"

    def open(self) -> "Coupler":
        """Opens this coupler; the result is a context manager."""
        return Coupler.open(self)


@dataclass(frozen=True)
class SubModuleInfo:
    """A sub module as the coupler's search slot reports it."""

    slot: int
    address: int
    type: int
    mode: int
    hard_version: int
    soft_version: int
    manufacturer: int
    serial: bytes

    @property
    def serial_text(self) -> str:
        return self.serial.hex()


class Coupler:
    """An opened coupler: a context manager that releases its handle on exit.

    Find one with :meth:`search_ethernet`, :meth:`search_serial` or :meth:`search_usb` and open
    the result, or open a target text directly::

        with Coupler.open("eth:127.19.14.10") as coupler:
            print(coupler.properties.read()["MAIN_NAME"])
    """

    def __init__(self, handle: int, info: CouplerInfo) -> None:
        self._handle: Optional[int] = handle
        self.info = info
        self.properties = Properties(self)
        self._mapping: Optional[Mapping] = None

    # ---- search ----

    @staticmethod
    @_one_search_at_a_time
    def search_ethernet(ip: Optional[str] = None) -> List[CouplerInfo]:
        """Ethernet couplers answering a search: every one on the network, or the one at ``ip``.

        The search goes to ``VEXA_ETH_BROADCAST`` when it is set. An empty list when nobody answered.
        """
        lib = _sdk()
        if ip:
            lib.KO_EthSearchByIP(_lib.cstr(ip))
        else:
            lib.KO_EthSearchAll()
        found: List[CouplerInfo] = []
        ip_buf, mac = ctypes.create_string_buffer(_IP_SIZE), ctypes.create_string_buffer(_MAC_SIZE)
        hard, typ, mode, flags, extra = (c_int() for _ in range(5))
        while True:
            rc = lib.KO_EthGetSearchDev(ip_buf, mac, byref(hard), byref(typ), byref(mode), byref(flags), byref(extra))
            if rc != RC_OK:
                break
            h = hard.value
            found.append(CouplerInfo(
                kind=CouplerKind.ETHERNET, address=_lib.text(ip_buf.raw), mac=_lib.text(mac.raw),
                type=typ.value & 0xFFFF, mode=mode.value & 0xFFFF,
                # The coupler sends this word minor byte first.
                hard_version=(h & 0xFF) << 8 | (h >> 8 & 0xFF)))
        # The search ends when nobody else answers.
        if rc not in (RC_NO_REPLY, RC_NO_MORE) and not found:
            raise sdk_error(rc, "Ethernet search")
        return found

    @staticmethod
    @_one_search_at_a_time
    def search_serial(port: str, stations: Union[int, Iterable[int]], ascii: bool = False, baud: int = 9600,
                      timeout_ms: int = 1000) -> List[CouplerInfo]:
        """RS-485 couplers at the given station numbers (1..247) on a serial line.

        Each silent station costs ``timeout_ms``. Raises :class:`OpenFailed` when the port cannot
        be opened; stations that do not answer are left out.
        """
        lib = _sdk()
        framing = 1 if ascii else 0
        found: List[CouplerInfo] = []
        for station in [stations] if isinstance(stations, int) else list(stations):
            if not 1 <= station <= 247:
                raise InvalidArgument(f"station {station} is not 1..247")
            rc = lib.KO_RSSearchByID(station, framing, _lib.cstr(port), baud, 8, 0, 0, 1, 1, 0, 0, timeout_ms)
            if rc == RC_NO_REPLY:
                continue
            check_sdk(rc, f"search of station {station} on {port}")
            addr = ctypes.create_string_buffer(1)
            manufacturer, typ, mode, hard, soft = (c_short() for _ in range(5))
            serial = c_int()
            rc = lib.KO_RSGetSearch(addr, byref(manufacturer), byref(typ), byref(mode), byref(hard), byref(soft),
                                    byref(serial))
            if rc == RC_NO_REPLY:
                continue
            check_sdk(rc, f"search of station {station} on {port}")
            found.append(CouplerInfo(
                kind=CouplerKind.SERIAL, address=port, station=addr.raw[0], type=typ.value & 0xFFFF,
                mode=mode.value & 0xFFFF, hard_version=hard.value & 0xFFFF, soft_version=soft.value & 0xFFFF,
                manufacturer=manufacturer.value & 0xFFFF, serial=serial.value & 0xFFFFFFFF, ascii=ascii, baud=baud,
                timeout_ms=timeout_ms))
        return found

    @staticmethod
    @_one_search_at_a_time
    def search_usb() -> List[CouplerInfo]:
        """Every USB coupler on the bus (``VEXA_HID`` may point at a simulated one)."""
        lib = _sdk()
        lib.KO_HIDSearchAll()
        found: List[CouplerInfo] = []
        path = ctypes.create_string_buffer(_HID_PATH_SIZE)
        manufacturer, typ, mode, hard, soft = (c_short() for _ in range(5))
        serial = c_int()
        while True:
            rc = lib.KO_HIDGetSearchDev(path, byref(manufacturer), byref(typ), byref(mode), byref(hard), byref(soft),
                                        byref(serial))
            if rc == RC_NO_MORE:
                return found
            check_sdk(rc, "USB search")
            found.append(CouplerInfo(
                kind=CouplerKind.USB, address=_lib.text(path.raw), type=typ.value & 0xFFFF, mode=mode.value & 0xFFFF,
                hard_version=hard.value & 0xFFFF, soft_version=soft.value & 0xFFFF,
                manufacturer=manufacturer.value & 0xFFFF, serial=serial.value & 0xFFFFFFFF))

    # ---- open / close ----

    @classmethod
    @_one_search_at_a_time  # opening looks the coupler up in the search results
    def open(cls, target: Union[str, CouplerInfo], *, ascii: bool = False, baud: int = 9600,
             timeout_ms: int = 1000) -> "Coupler":
        """Opens a coupler found by a search, or named as ``eth:IP``, ``rs:PORT:STATION`` or ``hid[:PATH]``.

        A named coupler is searched for first; :class:`NoReply` when it does not answer.
        """
        info = target if isinstance(target, CouplerInfo) else cls._find(target, ascii, baud, timeout_ms)
        lib = _sdk()
        if info.kind == CouplerKind.ETHERNET:
            handle = lib.KO_EthSetOperateDev(_lib.cstr(info.address), _lib.cstr(info.mac), info.type, info.mode)
        elif info.kind == CouplerKind.SERIAL:
            handle = lib.KO_RSSetOperateDev(info.station, info.type, info.mode, 1 if info.ascii else 0,
                                            _lib.cstr(info.address), info.baud, 8, 0, 0, 1, 1, 0, 0, info.timeout_ms)
        else:
            handle = lib.KO_HIDSetOperateDev(_lib.cstr(info.address), info.type, 0)
        if not handle:
            raise OpenFailed(f"cannot open {info.target}", RC_OPEN_FAILED, "sdk")
        return cls(handle, info)

    @staticmethod
    def _find(target: str, ascii: bool, baud: int, timeout_ms: int) -> CouplerInfo:
        if target.startswith("eth:") and len(target) > 4:
            ip = target[4:]
            for info in Coupler.search_ethernet(ip):
                if info.address == ip:
                    return info
            raise NoReply(f"no Ethernet coupler answers at {ip}", RC_NO_REPLY, "sdk")
        if target.startswith("rs:") and target.count(":") >= 2:
            port, _, station = target[3:].rpartition(":")
            if not station.isdigit():
                raise InvalidArgument(f"'{target}' names no station")
            found = Coupler.search_serial(port, int(station), ascii=ascii, baud=baud, timeout_ms=timeout_ms)
            if found:
                return found[0]
            raise NoReply(f"no RS-485 coupler answers as station {station} on {port}", RC_NO_REPLY, "sdk")
        if target == "hid" or target.startswith("hid:"):
            path = target[4:]
            for info in Coupler.search_usb():
                if not path or info.address == path:
                    return info
            raise NoReply(f"no USB coupler {path or 'on the bus'}", RC_NO_MORE, "sdk")
        raise InvalidArgument(f"'{target}' names no coupler (eth:IP, rs:PORT:STATION or hid[:PATH])")

    @property
    def handle(self) -> int:
        """The library's handle; :class:`Closed` once released."""
        if self._handle is None:
            raise Closed(f"{self.info.target} is closed")
        return self._handle

    @property
    def kind(self) -> CouplerKind:
        return self.info.kind

    @property
    def closed(self) -> bool:
        return self._handle is None

    def close(self) -> None:
        """Releases the handle (and with it the sub modules opened through it). Idempotent."""
        if self._handle is not None:
            handle, self._handle = self._handle, None
            _sdk().KO_UnOperateDev(handle)

    def __enter__(self) -> "Coupler":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"<Coupler {self.info.target}{' closed' if self.closed else ''}>"

    # ---- the coupler itself ----

    def login(self, password: str) -> None:
        """Logs in with the coupler's password (needed before some submits)."""
        check_sdk(_sdk().KO_LoginMain(self.handle, _lib.cstr(password)), "login")

    def reboot(self) -> None:
        """Restarts the coupler."""
        check_sdk(_sdk().KO_RebootDev(self.handle), "reboot")

    # ---- sub modules ----

    def search_sub_modules(self) -> List[SubModuleInfo]:
        """Searches the coupler's sub modules again and lists them."""
        check_sdk(_sdk().KO_SearchSubDev(self.handle), "sub-module search")
        return self.sub_modules()

    def sub_modules(self) -> List[SubModuleInfo]:
        """The sub modules found when the coupler was opened (or last searched)."""
        lib = _sdk()
        found: List[SubModuleInfo] = []
        for slot in range(_SUB_SLOTS):
            addr, manufacturer, typ, mode, hard, soft = (c_short() for _ in range(6))
            serial = c_int()
            rc = lib.KO_GetSearchSubDev(self.handle, byref(addr), byref(manufacturer), byref(typ), byref(mode),
                                        byref(hard), byref(soft), byref(serial), slot)
            if rc != RC_OK:
                continue
            found.append(SubModuleInfo(
                slot=slot, address=addr.value & 0xFFFF, type=typ.value & 0xFFFF, mode=mode.value & 0xFFFF,
                hard_version=hard.value & 0xFFFF, soft_version=soft.value & 0xFFFF,
                manufacturer=manufacturer.value & 0xFFFF, serial=(serial.value & 0xFFFFFFFF).to_bytes(4, "little")))
        return found

    def sub_module(self, address: int) -> "SubModule":
        """The sub module at ``address``; :class:`NoSubModule` when none the library serves is there."""
        info = next((s for s in self.sub_modules() if s.address == address), None)
        if info is None:
            raise NoSubModule(f"no sub module at address {address} of {self.info.target}", RC_FAILED, "sdk")
        handle = _sdk().KO_SetOperateSubDev(self.handle, address)
        if not handle:
            raise NoSubModule(f"no class serves type {info.type:04x} at address {address}", RC_FAILED, "sdk")
        return SubModule(self, handle, info)

    def reboot_sub_module(self, address: int) -> None:
        """Restarts the sub module at ``address``."""
        check_sdk(_sdk().KO_RebootSubDev(self.handle, address), f"reboot of sub module {address}")

    # ---- USB coupler ----

    @property
    def mapping(self) -> "Mapping":
        """The CANopen mapping of a USB coupler (:class:`TypeError` for other kinds)."""
        if self.kind != CouplerKind.USB:
            raise TypeError(f"{self.info.target}: only a USB coupler has a CANopen mapping")
        if self._mapping is None:
            self._mapping = Mapping(self)
        return self._mapping

    def usb_update(self, image: bytes, progress: Optional[Callable[[int], None]] = None,
                   settle: float = 2.5) -> None:
        """Downloads a firmware image to a USB coupler.

        The coupler first restarts into its update mode: the handle is released, and after
        ``settle`` seconds the coupler is searched for and opened again (0: keep the handle).
        ``progress`` receives the percentage done. The device library is busy for the whole
        download: calls from other threads wait.
        """
        if self.kind != CouplerKind.USB:
            raise TypeError(f"{self.info.target}: only a USB coupler takes a firmware download")
        lib = _sdk()
        check_sdk(lib.KO_HidUpdateBegin(self.handle), "update mode")
        if settle > 0:
            self.close()
            time.sleep(settle)
            reopened = Coupler.open(f"hid:{self.info.address}")
            self._handle, reopened._handle = reopened._handle, None
        errors: List[BaseException] = []

        def forward(message: int, _w: int, percent: int) -> None:
            if message == _UPDATE_PROGRESS_MESSAGE and progress is not None and not errors:
                try:
                    progress(int(percent))
                except BaseException as e:  # noqa: BLE001 -- raised again once the library returned
                    errors.append(e)

        callback = _lib.PROGRESS_PROC(forward)
        buf = ctypes.create_string_buffer(bytes(image), len(image))
        rc = lib.KO_HidUpdate(self.handle, buf, len(image), callback)
        if errors:
            raise errors[0]
        check_sdk(rc, "firmware download")


_T = TypeVar("_T", bound="_Texts")


class _Texts:
    """Texts keyed by name, read from a device, modified here and submitted back.

    ``values[key]`` gives the text read last (:class:`NotRead` before any read,
    :class:`KeyUnknown` for a name the module does not have); ``values[key] = text`` modifies
    it, to be sent by :meth:`submit`.
    """

    _read_fn = _get_fn = _reset_fn = _modify_fn = _submit_fn = ""
    _what = ""

    def _handle(self) -> int:
        raise NotImplementedError

    def _call(self, name: str, *args: object) -> int:
        return getattr(_sdk(), name)(self._handle(), *args)

    def read(self: _T) -> _T:
        """Reads every value from the device; returns self, so ``m.read()[key]`` works."""
        check_sdk(self._call(self._read_fn), f"read of {self._what}")
        return self

    def __getitem__(self, key: str) -> str:
        buf = ctypes.create_string_buffer(_TEXT_SIZE)
        check_sdk(self._call(self._get_fn, _lib.cstr(key), buf), key)
        return _lib.text(buf.raw)

    def get(self, key: str, default: Optional[str] = None) -> Optional[str]:
        try:
            return self[key]
        except KeyError:
            return default

    def __contains__(self, key: object) -> bool:
        return isinstance(key, str) and self.get(key) is not None

    def texts(self, keys: Iterable[str]) -> Dict[str, str]:
        """The texts of the named keys, as a dict."""
        return {k: self[k] for k in keys}

    def __setitem__(self, key: str, value: object) -> None:
        check_sdk(self._call(self._modify_fn, _lib.cstr(key), _lib.cstr(str(value))), f"modify {key}")

    def modify(self: _T, values: Optional[TMapping[str, object]] = None, **more: object) -> _T:
        """Modifies several values (a mapping and/or keyword arguments); :meth:`submit` sends them."""
        for key, value in {**(values or {}), **more}.items():
            self[key] = value
        return self

    def reset(self) -> None:
        """Drops the modifications not yet submitted."""
        check_sdk(self._call(self._reset_fn), f"reset of {self._what}")


class Properties(_Texts, TMapping[str, str]):
    """A coupler's properties (``MAIN_*`` keys): a mapping key -> text once :meth:`read`."""

    _read_fn, _get_fn, _reset_fn, _modify_fn = (
        "KO_ReadMainProperty", "KO_GetMainProperty", "KO_ResetMainProperty", "KO_ModifyMainProperty")
    _what = "coupler properties"

    def __init__(self, coupler: Coupler) -> None:
        self._coupler = coupler

    def _handle(self) -> int:
        return self._coupler.handle

    def __iter__(self) -> Iterator[str]:
        return iter(_COUPLER_KEYS[self._coupler.kind])

    def __len__(self) -> int:
        return len(_COUPLER_KEYS[self._coupler.kind])

    def __contains__(self, key: object) -> bool:
        return _Texts.__contains__(self, key)

    def get(self, key: str, default: Optional[str] = None) -> Optional[str]:  # type: ignore[override]
        return _Texts.get(self, key, default)

    def submit(self, password: str = "") -> None:
        """Sends the modified properties (the coupler's password, when it asks for one)."""
        check_sdk(_sdk().KO_SubmitMainProperty(self._handle(), _lib.cstr(password)), "submit of coupler properties")


class SubValues(_Texts):
    """A sub module's settings (``SET_*`` and identity keys) or process values (``DATA_*``).

    :meth:`keys` lists the keys of the module's type, so ``settings.texts(settings.keys())``
    reads them all; or name the ones you want, e.g. ``settings.texts(["SET_AIN_TYPE_0"])``.
    """

    def __init__(self, sub: "SubModule", data: bool) -> None:
        self._sub = sub
        self._data = data
        what = "Data" if data else "Property"
        self._read_fn, self._get_fn, self._reset_fn, self._modify_fn, self._submit_fn = (
            f"KO_{verb}SubDev{what}" for verb in ("Read", "Get", "Reset", "Modify", "Submit"))
        self._what = f"sub module {sub.address} {'data' if data else 'settings'}"

    def _handle(self) -> int:
        return self._sub.handle

    _was_read = False

    def read(self) -> "SubValues":
        """Reads every value from the module. Process values read the settings first, when they
        were never read: the settings decide how the values read (ranges, coefficients)."""
        if self._data and not self._sub.settings._was_read:
            self._sub.settings.read()
        _Texts.read(self)
        self._was_read = True
        return self

    def submit(self) -> None:
        """Sends the modified values to the module."""
        check_sdk(self._call(self._submit_fn), f"submit of {self._what}")

    def keys(self) -> List[str]:
        """The keys of the module's type, in the library's order (identity keys first), from the
        library's catalog: no read is needed."""
        info = self._sub.info
        keys: List[str] = []
        buf = ctypes.create_string_buffer(_TEXT_SIZE)
        while True:  # bounded: the catalog ends with RC_NO_MORE
            rc = _sdk().KO_GetSubClassKey(info.type, info.hard_version, int(self._data), len(keys), buf,
                                          _TEXT_SIZE, None)
            if rc == RC_NO_MORE:
                return keys
            check_sdk(rc, f"keys of {self._what}")
            keys.append(_lib.text(buf.raw))


class SubModule:
    """A sub module behind an open coupler; valid while the coupler is open."""

    def __init__(self, coupler: Coupler, handle: int, info: SubModuleInfo) -> None:
        self._coupler = coupler
        self._handle = handle
        self.info = info
        self.settings = SubValues(self, data=False)
        self.data = SubValues(self, data=True)

    @property
    def address(self) -> int:
        return self.info.address

    @property
    def handle(self) -> int:
        if self._coupler.closed:
            raise Closed(f"sub module {self.address}: its coupler {self._coupler.info.target} is closed")
        return self._handle

    def __repr__(self) -> str:
        return f"<SubModule {self.address} type {self.info.type:04x} of {self._coupler.info.target}>"

    def reboot(self) -> None:
        """Restarts the module."""
        self._coupler.reboot_sub_module(self.address)

    def read_settings_by_address(self, register: int, count: int) -> bytes:
        """``count`` setting registers from ``register`` on, as bytes (two per register)."""
        buf = ctypes.create_string_buffer(2 * count + 2)
        n = c_int()
        check_sdk(_sdk().KO_ReadSubPropByAddr(self.handle, register, count, buf, byref(n)),
                  f"read at register {register}")
        return buf.raw[:n.value]

    def read_data_by_address(self, register: int, count: int) -> bytes:
        """``count`` process-value registers from ``register`` on, as bytes (two per register)."""
        length = 2 * count
        usb = self._coupler.kind == CouplerKind.USB
        if usb:
            # Through the USB coupler the library hands out a count byte and two bytes fewer
            # than it received: ask for one register more.
            length += 2
        buf = ctypes.create_string_buffer(length + 2)
        n = c_int()
        check_sdk(_sdk().KO_ReadSubDataByAddr(self.handle, register, length, buf, byref(n)),
                  f"read at register {register}")
        return buf.raw[1:1 + min(n.value, 2 * count)] if usb else buf.raw[:n.value]

    def write_settings_by_address(self, register: int, data: bytes) -> None:
        """Writes bytes to the setting registers from ``register`` on (an odd length is padded)."""
        buf = ctypes.create_string_buffer(bytes(data), len(data))
        check_sdk(_sdk().KO_WriteSubPropByAddr(self.handle, register, len(data), buf), f"write at register {register}")

    def write_data_by_address(self, register: int, data: bytes) -> None:
        """Writes bytes to the process-value registers from ``register`` on."""
        buf = ctypes.create_string_buffer(bytes(data), len(data))
        check_sdk(_sdk().KO_WriteSubDataByAddr(self.handle, register, len(data), buf), f"write at register {register}")


# ---- the USB coupler's CANopen mapping ----

TPDO, RPDO = 0, 1
_IMAGE_WORDS = (64, 32)  # input image (TPDO side), output image (RPDO side)
_PDO_COUNT = (16, 8)
_PDO_WORDS = 4


@dataclass(frozen=True)
class IoChannel:
    """One I/O channel of a sub module behind the USB coupler."""

    sub_address: int
    output: bool
    register: int
    words: int
    key: str
    type: int

    @classmethod
    def from_record(cls, r: IoMapRecord) -> "IoChannel":
        return cls(r.subAddress, bool(r.direction), r.reg, r.lengthRegs, _lib.text(bytes(r.key)), r.type)


@dataclass(frozen=True)
class PdoSetting:
    """Where one channel goes in a PDO: ``offset`` word of its side's image, PDO number and the
    position within it, and the sub module's register it carries."""

    output: bool
    offset: int
    pdo: int
    position: int
    sub_address: int
    register: int
    words: int
    channel: int = 255

    def to_entry(self) -> PdoMapEntry:
        e = PdoMapEntry()
        for i, v in enumerate((self.offset, self.pdo + 16 * self.position, self.sub_address, self.register,
                               self.words, 0)):
            e.setting[i] = v
        e.side = RPDO if self.output else TPDO
        e.channel = self.channel
        return e

    @classmethod
    def from_bytes(cls, b: bytes, output: bool) -> "PdoSetting":
        return cls(output, b[0], b[1] & 0x0F, b[1] >> 4, b[2], b[3], b[4])


class PdoLayout:
    """Places PDO settings side by side: each at the next free word of its side's image, four
    words to a PDO, an entry's position within its PDO counted as they come."""

    def __init__(self) -> None:
        self.settings: List[PdoSetting] = []
        self._used = [[0] * 16, [0] * 16]
        self._count = [[0] * 16, [0] * 16]
        self._next = [0, 0]
        self._pdo = [0, 0]

    def add(self, output: bool, offset: int, pdo: int, sub_address: int, register: int, words: int,
            channel: int = 255) -> PdoSetting:
        """Adds one setting; :class:`InvalidArgument` when it fits neither its image nor its PDO."""
        side = RPDO if output else TPDO
        if not (1 <= words <= 2 and 0 <= offset and offset + words <= _IMAGE_WORDS[side]
                and 0 <= pdo < _PDO_COUNT[side] and self._used[side][pdo] + words <= _PDO_WORDS):
            raise InvalidArgument(f"{'RPDO' if output else 'TPDO'} {pdo} offset {offset} words {words} does not fit")
        s = PdoSetting(output, offset, pdo, self._count[side][pdo], sub_address, register, words,
                       channel if 0 <= channel <= 254 else 255)
        self._used[side][pdo] += words
        self._count[side][pdo] += 1
        self._next[side] = max(self._next[side], offset + words)
        self.settings.append(s)
        return s

    def add_all(self, channels: Sequence[IoChannel]) -> "PdoLayout":
        """Every channel in turn at the next free word of its side; two-word channels on even words.
        Channels that no longer fit are left out."""
        for i, c in enumerate(channels):
            side = RPDO if c.output else TPDO
            offset = self._next[side] + (1 if c.words == 2 and self._next[side] % 2 else 0)
            while self._pdo[side] < _PDO_COUNT[side] and self._used[side][self._pdo[side]] + c.words > _PDO_WORDS:
                self._pdo[side] += 1
            if self._pdo[side] < _PDO_COUNT[side]:
                try:
                    self.add(c.output, offset, self._pdo[side], c.sub_address, c.register, c.words, i)
                except InvalidArgument:
                    pass
        return self


@dataclass(frozen=True)
class IoMapWord:
    """One word of the coupler's I/O map as read back."""

    sub_address: int
    output: bool
    register: int
    words: int


@dataclass(frozen=True)
class SdoObject:
    """A sub-module register the coupler exposes as an SDO object, as read back."""

    index: int
    sub_index: int
    sub_address: int
    register: int
    words: int


@dataclass(frozen=True)
class MapReadBack:
    """The mapping the coupler holds: I/O map, SDO objects, TPDO and RPDO settings."""

    io: List[IoMapWord]
    sdo: List[SdoObject]
    tpdo: List[PdoSetting]
    rpdo: List[PdoSetting]


class Mapping:
    """The USB coupler's CANopen mapping: its channels, download of PDO settings, read back."""

    def __init__(self, coupler: Coupler) -> None:
        self._coupler = coupler

    def channels(self) -> List[IoChannel]:
        """Every I/O channel of the coupler's sub modules."""
        lib, h = _sdk(), self._coupler.handle
        count = c_int()
        check_sdk(lib.KO_HidGetIOChl(h, None, 0, byref(count)), "channel list")
        if count.value <= 0:
            return []
        records = (IoMapRecord * count.value)()
        check_sdk(lib.KO_HidGetIOChl(h, records, count.value, byref(count)), "channel list")
        return [IoChannel.from_record(r) for r in records[:count.value]]

    def download(self, settings: Union[PdoLayout, Iterable[PdoSetting], None] = None) -> MapReadBack:
        """Replaces the coupler's PDO settings (all channels placed in turn when None is given),
        downloads the I/O and SDO/PDO maps, and returns what the coupler then holds."""
        lib, h = _sdk(), self._coupler.handle
        if settings is None:
            settings = PdoLayout().add_all(self.channels())
        entries = settings.settings if isinstance(settings, PdoLayout) else list(settings)
        check_sdk(lib.KO_HidClearPDOSet(h), "clear PDO settings")
        for s in entries:
            e = s.to_entry()
            check_sdk(lib.KO_HidAddPDOSet(h, byref(e), ctypes.sizeof(e)), "add PDO setting")
        check_sdk(lib.KO_HidDownloadIO(h), "I/O map download")
        check_sdk(lib.KO_HidDownloadSPDO(h), "SDO/PDO map download")
        return self.read_back()

    def read_back(self) -> MapReadBack:
        """Reads the mapping the coupler holds."""
        lib, h = _sdk(), self._coupler.handle
        n = [c_int() for _ in range(4)]
        check_sdk(lib.KO_HidGetMapInfo(h, *(byref(x) for x in n)), "mapping read back")
        io_n, sdo_n, tpdo_n, rpdo_n = (x.value for x in n)
        size = ctypes.sizeof(SdoMapRecord)

        def fetch(fn: str, count: int, width: int) -> bytes:
            if count <= 0:
                return b""
            buf = ctypes.create_string_buffer(count * width)
            check_sdk(getattr(lib, fn)(h, buf, count), "mapping read back")
            return buf.raw

        io, sdo = fetch("KO_HidGetIOMap", io_n, 4), fetch("KO_HidGetSDOMap", sdo_n, size)
        tpdo, rpdo = fetch("KO_HidGetTPDOMap", tpdo_n, 6), fetch("KO_HidGetRPDOMap", rpdo_n, 6)
        sdo_records = [SdoMapRecord.from_buffer_copy(sdo, i) for i in range(0, len(sdo), size)]
        return MapReadBack(
            io=[IoMapWord(io[i], bool(io[i + 1]), io[i + 2], io[i + 3]) for i in range(0, len(io), 4)],
            sdo=[SdoObject(r.index, r.subIndex, r.subAddress, r.reg, r.lengthRegs) for r in sdo_records],
            tpdo=[PdoSetting.from_bytes(tpdo[i:i + 6], False) for i in range(0, len(tpdo), 6)],
            rpdo=[PdoSetting.from_bytes(rpdo[i:i + 6], True) for i in range(0, len(rpdo), 6)])


__all__ = [
    "Coupler", "CouplerInfo", "CouplerKind", "Properties", "SubModule", "SubModuleInfo", "SubValues",
    "Mapping", "IoChannel", "PdoSetting", "PdoLayout", "IoMapWord", "SdoObject", "MapReadBack", "version_text",
]
