"""Exceptions: every failing call raises a subclass of :class:`VexaError`.

Each library answers with its own result codes; the package turns a code into the class of
the failure it stands for, so a script catches ``NoReply`` whether a coupler, a Modbus slave
or a boot loader kept silent. ``.code`` keeps the library's number and ``.library`` which
library gave it ("sdk", "modbus", "fwloader" or "vexa" for checks made in Python).
"""
from __future__ import annotations

from typing import Dict, Optional, Tuple, Type


class VexaError(Exception):
    """A call into a VEXA library failed.

    Attributes:
        code: the library's result code (``None`` when Python refused the call itself).
        text: what went wrong, for people.
        library: "sdk", "modbus", "fwloader" or "vexa".
    """

    def __init__(self, text: str, code: Optional[int] = None, library: str = "vexa") -> None:
        super().__init__(text)
        self.code = code
        self.text = text
        self.library = library

    def __str__(self) -> str:
        return self.text if self.code is None else f"{self.text} (code {self.code})"


class ParseFailed(VexaError):
    """A reply arrived but did not parse."""


class BadReply(VexaError):
    """A reply did not belong to the request, or was malformed or short."""


class DeviceError(VexaError):
    """The device answered with an error."""


class SendFailed(VexaError):
    """The request could not be sent."""


class NoReply(VexaError):
    """Nothing answered in time."""


class OpenFailed(VexaError):
    """A coupler, line, plug-in or device could not be opened."""


class NotRead(VexaError):
    """Values were asked for before they were read (call ``read()`` first)."""


class KeyUnknown(VexaError, KeyError):
    """The key names no property or value of this module."""

    def __str__(self) -> str:  # KeyError would quote the whole text
        return VexaError.__str__(self)


class NothingToSubmit(VexaError):
    """``submit()`` found no modified value."""


class NoMore(VexaError):
    """A search has no further result."""


class RecordTooSmall(VexaError):
    """A record handed to the library is smaller than it takes."""


class InvalidArgument(VexaError, ValueError):
    """An argument is out of range."""


class ModbusException(DeviceError):
    """The Modbus slave answered with an exception; ``.code`` is its exception code (1..255)."""


class CouplerRefused(DeviceError):
    """The coupler refused a register write made through it."""


class NoSubModule(VexaError):
    """No sub module (or none the library serves) has that address."""


class WrongFile(VexaError):
    """The upgrade file cannot be opened or is malformed."""


class TypeMismatch(DeviceError):
    """The boot loader refused the upgrade file as not meant for it."""


class NoDevice(VexaError):
    """No device with that index is in the upgrade library's table."""


class Closed(VexaError):
    """The object was closed (its handle is released)."""


class Failed(VexaError):
    """The library failed without naming a reason."""


# code -> (name, class) per library. Names are the header's, so a message matches the docs.
_SDK: Dict[int, Tuple[str, Type[VexaError]]] = {
    1: ("RC_PARSE_FAILED", ParseFailed),
    102: ("RC_BAD_REPLY", BadReply),
    103: ("RC_DEVICE_ERROR", DeviceError),
    104: ("RC_ERROR_REPLY", DeviceError),
    202: ("RC_SEND_FAILED", SendFailed),
    203: ("RC_NO_REPLY", NoReply),
    204: ("RC_OPEN_FAILED", OpenFailed),
    301: ("RC_NOT_READ", NotRead),
    302: ("RC_DATA_NOT_READ", NotRead),
    303: ("RC_KEY_UNKNOWN", KeyUnknown),
    304: ("RC_DATA_KEY_UNKNOWN", KeyUnknown),
    305: ("RC_NOTHING_TO_SUBMIT", NothingToSubmit),
    306: ("RC_TYPE_UNKNOWN", NoSubModule),
    400: ("RC_NO_MORE", NoMore),
    401: ("RC_HID_NOT_SENT", SendFailed),
    402: ("RC_HID_NOT_OK", DeviceError),
    403: ("RC_HID_NO_REPLY", NoReply),
    404: ("RC_RECORD_TOO_SMALL", RecordTooSmall),
    500: ("RC_INVALID_PARAM", InvalidArgument),
    501: ("RC_BUFFER_TOO_SMALL", RecordTooSmall),
    999: ("RC_FAILED", Failed),
}

_MODBUS: Dict[int, Tuple[str, Type[VexaError]]] = {
    100: ("KMB_ERR_HANDLE", NoReply),  # also "nothing received" of a raw read
    101: ("KMB_ERR_PROTOCOL_ID", BadReply),
    102: ("KMB_ERR_BAD_FRAME", BadReply),
    109: ("KMB_ERR_SEQUENCE", BadReply),
    200: ("KMB_ERR_SEND", SendFailed),
    201: ("KMB_ERR_TIMEOUT", NoReply),
    202: ("KMB_ERR_SHORT_REPLY", BadReply),
    300: ("KMB_ERR_ARGUMENT", InvalidArgument),
    503: ("KMB_ERR_VEXA_SEND", SendFailed),
    504: ("KMB_ERR_VEXA_NO_REPLY", NoReply),
    505: ("KMB_ERR_VEXA_SEARCH", NoReply),
    506: ("KMB_ERR_VEXA_NO_SUB", NoSubModule),
    507: ("KMB_ERR_VEXA_REFUSED", CouplerRefused),
    508: ("KMB_ERR_RS_SEND", SendFailed),
    999: ("KMB_ERR_FAILURE", Failed),
}

_MODBUS_EXCEPTIONS: Dict[int, str] = {
    1: "illegal function",
    2: "illegal data address",
    3: "illegal data value",
    4: "slave device failure",
    5: "acknowledge",
    6: "slave busy",
    8: "memory parity error",
    10: "gateway path unavailable",
    11: "gateway target failed to respond",
}

_FWLOADER: Dict[int, Tuple[str, Type[VexaError]]] = {
    -1: ("KB_FW_TYPE_MISMATCH", TypeMismatch),
    -2: ("KB_FW_DEVICE_ERROR", DeviceError),
    -3: ("KB_FW_LINK_ERROR", NoReply),
    -4: ("KB_FW_PROTOCOL_ERROR", BadReply),
    -7: ("KB_FW_FILE_ERROR", WrongFile),
}


def sdk_error(code: int, what: str = "") -> VexaError:
    """The exception for a device-library result code."""
    name, cls = _SDK.get(code, (f"RC_{code}", Failed))
    return cls(f"{what}: {name}" if what else name, code, "sdk")


def modbus_error(code: int, what: str = "") -> VexaError:
    """The exception for a Modbus-master result code (1..255: the slave's exception)."""
    # The library's own codes come first: 100..202 lie inside the exception range too.
    if code not in _MODBUS and 0 < code < 256:
        name = f"Modbus exception {code} ({_MODBUS_EXCEPTIONS.get(code, 'unknown')})"
        return ModbusException(f"{what}: {name}" if what else name, code, "modbus")
    name, cls = _MODBUS.get(code, (f"KMB_ERR_{code}", Failed))
    return cls(f"{what}: {name}" if what else name, code, "modbus")


def fwloader_error(code: int, text: str) -> VexaError:
    """The exception for an upgrade result code and the library's own text for it."""
    name, cls = _FWLOADER.get(code, (f"KB_{code}", Failed))
    return cls(f"{name}: {text}" if text else name, code, "fwloader")


def check_sdk(code: int, what: str = "") -> None:
    """Raises for any device-library result but RC_OK."""
    if code != 0:
        raise sdk_error(code, what)


def check_modbus(code: int, what: str = "") -> None:
    """Raises for any Modbus-master result but KMB_OK."""
    if code != 0:
        raise modbus_error(code, what)
