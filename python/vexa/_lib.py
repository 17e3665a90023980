"""Finds and loads the three C libraries and declares the prototypes of their exports.

Search order for each library: the folders in ``VEXA_LIB_DIR`` (``os.pathsep``-separated),
then an installed tree (``<prefix>/lib``, ``<prefix>/lib/vexa`` and their multiarch forms for
this interpreter's prefix, /usr/local and /usr), then the dynamic loader's own path.
"""
from __future__ import annotations

import ctypes
import os
import sys
import sysconfig
import threading
from ctypes import POINTER, c_char_p, c_int, c_short, c_ubyte, c_uint, c_void_p
from typing import Dict, List, Optional

SDK = "VexaSdk"
MODBUS = "MbMaster"
FWLOADER = "FwLoader"

_loaded: Dict[str, ctypes.CDLL] = {}
_load_lock = threading.Lock()

# Callbacks as the headers declare them: (message, wParam, lParam) with pointer-sized params.
PROGRESS_PROC = ctypes.CFUNCTYPE(None, c_uint, ctypes.c_ssize_t, ctypes.c_ssize_t)
MESSAGE_HANDLER = ctypes.CFUNCTYPE(None, c_char_p)


def library_dirs() -> List[str]:
    """The folders searched for the libraries, in order (existing ones only)."""
    dirs: List[str] = []
    env = os.environ.get("VEXA_LIB_DIR", "")
    dirs += [d for d in env.split(os.pathsep) if d]
    multiarch = sysconfig.get_config_var("MULTIARCH") or ""
    for prefix in (sys.prefix, sys.base_prefix, "/usr/local", "/usr"):
        for lib in ("lib", f"lib/{multiarch}" if multiarch else ""):
            if lib:
                dirs += [os.path.join(prefix, lib), os.path.join(prefix, lib, "vexa")]
    seen: List[str] = []
    for d in dirs:
        d = os.path.abspath(d)
        if d not in seen and os.path.isdir(d):
            seen.append(d)
    return seen


def find_library(name: str) -> Optional[str]:
    """The path of ``lib<name>.so`` (or ``.so.0``) in :func:`library_dirs`, or None."""
    for d in library_dirs():
        for file in (f"lib{name}.so", f"lib{name}.so.0"):
            path = os.path.join(d, file)
            if os.path.exists(path):
                return path
    return None


def load(name: str) -> ctypes.CDLL:
    """Loads one library once and declares its prototypes; OSError when it is nowhere."""
    with _load_lock:
        lib = _loaded.get(name)
        if lib is not None:
            return lib
        path = find_library(name)
        errors: List[str] = []
        for candidate in ([path] if path else []) + [f"lib{name}.so.0", f"lib{name}.so"]:
            try:
                lib = ctypes.CDLL(candidate)
                break
            except OSError as e:
                errors.append(str(e))
        if lib is None:
            raise OSError(f"lib{name}.so not found (set VEXA_LIB_DIR to its folder): " + "; ".join(errors))
        if name != SDK and not os.environ.get("VEXA_APPDIR"):
            # Without it the program folder is the interpreter's: the plug-ins would be looked
            # for, and the Modbus error log written, beside python3.
            folder = app_dir(path)
            if folder:
                os.environ["VEXA_APPDIR"] = folder
        _DECLARE[name](lib)
        _loaded[name] = lib
        return lib


def app_dir(beside: Optional[str] = None) -> Optional[str]:
    """The program folder the libraries use: ``devdlls/`` for the upgrade plug-ins, and the
    Modbus error log.

    ``VEXA_APPDIR`` when set; else the first folder beside ``beside`` (a library's path), or in
    :func:`library_dirs`, that holds ``devdlls/devdlls.ini`` itself or in its ``vexa`` sub folder.
    """
    env = os.environ.get("VEXA_APPDIR")
    if env:
        return env
    dirs = [os.path.dirname(os.path.realpath(beside))] if beside and os.path.sep in beside else []
    dirs += library_dirs()
    for d in dirs:
        for folder in (d, os.path.join(d, "vexa")):
            if os.path.isfile(os.path.join(folder, "devdlls", "devdlls.ini")):
                return folder
    return None


def _proto(lib: ctypes.CDLL, name: str, restype, *argtypes) -> None:
    fn = getattr(lib, name)
    fn.restype = restype
    fn.argtypes = list(argtypes)


_P_INT = POINTER(c_int)
_P_SHORT = POINTER(c_short)


def _declare_sdk(lib: ctypes.CDLL) -> None:
    p = lambda name, res, *args: _proto(lib, name, res, *args)  # noqa: E731
    p("KO_EthSearchAll", c_int)
    p("KO_EthSearchByIP", c_int, c_char_p)
    p("KO_EthGetSearchDev", c_int, c_char_p, c_char_p, _P_INT, _P_INT, _P_INT, _P_INT, _P_INT)
    p("KO_EthSetOperateDev", c_void_p, c_char_p, c_char_p, c_int, c_int)
    p("KO_RSSearchByID", c_int, c_int, c_int, c_char_p, *([c_int] * 9))
    p("KO_RSGetSearch", c_int, c_char_p, _P_SHORT, _P_SHORT, _P_SHORT, _P_SHORT, _P_SHORT, _P_INT)
    p("KO_RSSetOperateDev", c_void_p, c_int, c_int, c_int, c_int, c_char_p, *([c_int] * 9))
    p("KO_HIDSearchAll", c_int)
    p("KO_HIDGetSearchDev", c_int, c_char_p, _P_SHORT, _P_SHORT, _P_SHORT, _P_SHORT, _P_SHORT, _P_INT)
    p("KO_HIDSetOperateDev", c_void_p, c_char_p, c_int, c_int)
    p("KO_UnOperateDev", c_int, c_void_p)
    p("KO_LoginMain", c_int, c_void_p, c_char_p)
    p("KO_ReadMainProperty", c_int, c_void_p)
    p("KO_GetMainProperty", c_int, c_void_p, c_char_p, c_char_p)
    p("KO_ResetMainProperty", c_int, c_void_p)
    p("KO_ModifyMainProperty", c_int, c_void_p, c_char_p, c_char_p)
    p("KO_SubmitMainProperty", c_int, c_void_p, c_char_p)
    p("KO_RebootDev", c_int, c_void_p)
    p("KO_SearchSubDev", c_int, c_void_p)
    p("KO_GetSearchSubDev", c_int, c_void_p, *([_P_SHORT] * 6), _P_INT, c_int)
    p("KO_RebootSubDev", c_int, c_void_p, c_int)
    p("KO_SetOperateSubDev", c_void_p, c_void_p, c_int)
    for what in ("Property", "Data"):
        p(f"KO_ReadSubDev{what}", c_int, c_void_p)
        p(f"KO_GetSubDev{what}", c_int, c_void_p, c_char_p, c_char_p)
        p(f"KO_ResetSubDev{what}", c_int, c_void_p)
        p(f"KO_ModifySubDev{what}", c_int, c_void_p, c_char_p, c_char_p)
        p(f"KO_SubmitSubDev{what}", c_int, c_void_p)
    for what in ("Prop", "Data"):
        p(f"KO_ReadSub{what}ByAddr", c_int, c_void_p, c_int, c_int, c_void_p, _P_INT)
        p(f"KO_WriteSub{what}ByAddr", c_int, c_void_p, c_int, c_int, c_void_p)
    p("KO_HidDownloadIO", c_int, c_void_p)
    p("KO_HidDownloadSPDO", c_int, c_void_p)
    p("KO_HidGetIOChl", c_int, c_void_p, c_void_p, c_int, _P_INT)
    p("KO_HidClearPDOSet", c_int, c_void_p)
    p("KO_HidAddPDOSet", c_int, c_void_p, c_void_p, c_int)
    p("KO_HidGetMapInfo", c_int, c_void_p, _P_INT, _P_INT, _P_INT, _P_INT)
    p("KO_HidGetIOMap", c_int, c_void_p, c_void_p, c_int)
    p("KO_HidGetSDOMap", c_int, c_void_p, c_void_p, c_int)
    p("KO_HidGetTPDOMap", c_int, c_void_p, c_void_p, c_int)
    p("KO_HidGetRPDOMap", c_int, c_void_p, c_void_p, c_int)
    p("KO_HidUpdateBegin", c_int, c_void_p)
    p("KO_HidUpdate", c_int, c_void_p, c_void_p, c_int, PROGRESS_PROC)
    p("KO_GetSubClass", c_int, c_int, _P_INT, _P_INT, c_char_p, c_int)
    p("KO_GetSubClassName", c_int, c_int, c_int, c_char_p, c_int)
    p("KO_GetSubClassKey", c_int, c_int, c_int, c_int, c_int, c_char_p, c_int, _P_INT)


def _declare_modbus(lib: ctypes.CDLL) -> None:
    p = lambda name, res, *args: _proto(lib, name, res, *args)  # noqa: E731
    p("KMB_TCPConnectMDBServer", c_void_p, c_char_p, c_int, c_int)
    p("KMB_SerConnectMDBServer", c_void_p, c_int, c_char_p, *([c_int] * 9))
    p("KMB_DisConnectMDBServer", None, c_void_p)
    p("KMB_ReadCoil", c_int, c_void_p, c_int, c_int, c_int, POINTER(c_ubyte), c_int)
    p("KMB_ReadInput", c_int, c_void_p, c_int, c_int, c_int, POINTER(c_ubyte), c_int)
    p("KMB_ReadHoldReg", c_int, c_void_p, c_int, c_int, c_int, _P_SHORT, c_int)
    p("KMB_ReadInputReg", c_int, c_void_p, c_int, c_int, c_int, _P_SHORT, c_int)
    p("KMB_WriteCoilSingle", c_int, c_void_p, c_int, c_int, c_int, c_int)
    p("KMB_WriteRegSingle", c_int, c_void_p, c_int, c_int, c_int, c_int)
    p("KMB_WriteCoilMulitiple", c_int, c_void_p, c_int, c_int, c_int, POINTER(c_ubyte), c_int)
    p("KMB_WriteRegMulitiple", c_int, c_void_p, c_int, c_int, c_int, _P_SHORT, c_int)
    p("KMB_WriteCmdBuf", c_int, c_void_p, c_char_p, c_int, c_int)
    p("KMB_ReadRecBuf", c_int, c_void_p, c_void_p, c_int, _P_INT, c_int)
    p("KMB_SetRegByVexa", c_int, c_char_p, c_char_p, c_int, c_int, c_int, _P_SHORT)
    p("KMB_SetRegByRSVexa", c_int, c_void_p, c_int, c_int, c_int, _P_SHORT)


def _declare_fwloader(lib: ctypes.CDLL) -> None:
    p = lambda name, res, *args: _proto(lib, name, res, *args)  # noqa: E731
    p("KB_GetCommDeviceList", c_int, c_char_p, c_int)
    p("KB_OpenCommDevice", c_int, c_int, c_void_p)
    p("KB_SearchDevice", c_int, c_int)
    p("KB_EnterBootMode", c_int, c_int)
    p("KB_CloseCommDevice", c_int, c_int)
    p("KB_GetDeviceInfo", c_int, c_int, c_void_p)
    p("KB_GetBootVer", c_int, c_int, c_void_p)
    p("KB_ResetDevice", c_int, c_int)
    p("KB_UpdateFirware", c_int, c_int, c_char_p)
    p("KB_GetUpdateFirwareProgress", c_int, c_int)
    p("KB_GetErrInfo", c_int, c_int, c_char_p)
    p("KB_CheckUpgradeFile", c_int, c_char_p, c_char_p)
    p("KB_SetMessageHandler", None, MESSAGE_HANDLER)


_DECLARE = {SDK: _declare_sdk, MODBUS: _declare_modbus, FWLOADER: _declare_fwloader}

def text(buf: bytes) -> str:
    """A NUL-terminated C text as str (UTF-8; undecodable bytes replaced)."""
    return buf.split(b"\0", 1)[0].decode("utf-8", "replace")


def cstr(value: str) -> bytes:
    """A str as the library takes it."""
    return value.encode("utf-8")
