"""Fixtures: the libraries of the build tree, simulated racks, a loopback Modbus TCP server.

Everything talks to this machine only: vexa-sim's loopback couplers, pseudo-terminals and HID
folder, and a server on 127.0.0.1. Every wait is bounded.
"""
from __future__ import annotations

import os
import socket
import struct
import sys
import tempfile
import threading
from typing import Dict, Iterator, List

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))  # the package beside the tests, installed or not

_BUILD = os.path.join(os.path.dirname(os.path.dirname(HERE)), os.environ.get("BUILD_DIR", "build"))
os.environ.setdefault("VEXA_LIB_DIR", os.path.join(_BUILD, "bin"))
# Short waits where the simulated couplers answer at once.
os.environ.setdefault("VEXA_TEST_HID_TIMEOUT_MS", "500")
os.environ.setdefault("VEXA_TEST_HID_RETRY_MS", "1")
os.environ.setdefault("VEXA_BOOT_PACING", "0")

from vexa import _lib  # noqa: E402
from vexa.sim import SimRack, find_sim  # noqa: E402

# Every coupler kind with the same two modules: an analog input (4017) and a digital output (2808).
RACK_ARGS = ("--freeze", "--subs", "4017,2808", "--eth", "auto", "--rs-line", "rtu:1", "--hid", "auto")
KINDS = ["eth", "rs", "hid"]


def pytest_collection_modifyitems(config: pytest.Config, items: List[pytest.Item]) -> None:
    missing = [n for n in (_lib.SDK, _lib.MODBUS, _lib.FWLOADER) if not _lib.find_library(n)]
    why = f"libraries not found ({', '.join(missing)}): set VEXA_LIB_DIR" if missing else (
        "" if find_sim() else "vexa-sim not found: set VEXA_SIM")
    if why:
        for item in items:
            if "no_rack" not in item.keywords:
                item.add_marker(pytest.mark.skip(reason=why))


@pytest.fixture(scope="session", autouse=True)
def app_dir() -> Iterator[str]:
    """A program folder of the session's own holding the build's plug-ins, so the Modbus error
    log lands there and not beside the interpreter."""
    folder = tempfile.mkdtemp(prefix="vexa-py-app-")
    libdir = os.environ["VEXA_LIB_DIR"].split(os.pathsep)[0]
    if os.path.isdir(os.path.join(libdir, "devdlls")):
        os.symlink(os.path.join(os.path.abspath(libdir), "devdlls"), os.path.join(folder, "devdlls"))
    os.environ["VEXA_APPDIR"] = folder
    yield folder
    import shutil
    shutil.rmtree(folder, ignore_errors=True)


@pytest.fixture(scope="session")
def rack() -> Iterator[SimRack]:
    """The rack most tests share; its couplers are read and their settings changed, never upgraded."""
    with SimRack(*RACK_ARGS, ready_timeout=15) as r:
        yield r


def coupler_of(rack: SimRack, kind: str):
    return {"eth": rack.ethernet, "rs": rack.serial, "hid": rack.usb}[kind][0]


class ModbusTcpServer:
    """A small Modbus TCP slave on 127.0.0.1 for the eight functions: 100 coils, 100 discrete
    inputs, 100 holding and 100 input registers; other addresses answer exception 2."""

    SIZE = 100

    def __init__(self) -> None:
        self.coils = [False] * self.SIZE
        self.inputs = [i % 3 == 0 for i in range(self.SIZE)]
        self.holding = [0] * self.SIZE
        self.input_regs = [1000 + i for i in range(self.SIZE)]
        self._sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._sock.bind(("127.0.0.1", 0))
        self._sock.listen(4)
        self._sock.settimeout(0.2)
        self.port = self._sock.getsockname()[1]
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def close(self) -> None:
        self._stop.set()
        self._thread.join(5)
        self._sock.close()

    def _serve(self) -> None:
        while not self._stop.is_set():
            try:
                conn, _ = self._sock.accept()
            except socket.timeout:
                continue
            threading.Thread(target=self._client, args=(conn,), daemon=True).start()

    def _client(self, conn: socket.socket) -> None:
        conn.settimeout(0.2)
        with conn:
            while not self._stop.is_set():
                try:
                    head = conn.recv(7, socket.MSG_WAITALL)
                    if len(head) < 7:
                        return
                    tid, _proto, length, unit = struct.unpack(">HHHB", head)
                    pdu = conn.recv(length - 1, socket.MSG_WAITALL)
                except socket.timeout:
                    continue
                except OSError:
                    return
                reply = self._answer(pdu)
                conn.sendall(struct.pack(">HHHB", tid, 0, len(reply) + 1, unit) + reply)

    @staticmethod
    def _bits(values: List[bool]) -> bytes:
        out = bytearray((len(values) + 7) // 8)
        for i, v in enumerate(values):
            if v:
                out[i // 8] |= 1 << (i % 8)
        return bytes(out)

    def _answer(self, pdu: bytes) -> bytes:
        fn = pdu[0]
        a, b = struct.unpack(">HH", pdu[1:5])
        tables: Dict[int, List] = {1: self.coils, 2: self.inputs, 3: self.holding, 4: self.input_regs}
        if fn in tables:
            if a + b > self.SIZE:
                return bytes([fn | 0x80, 2])
            part = tables[fn][a:a + b]
            data = self._bits(part) if fn <= 2 else b"".join(struct.pack(">H", v) for v in part)
            return bytes([fn, len(data)]) + data
        if fn in (5, 6):
            if a >= self.SIZE:
                return bytes([fn | 0x80, 2])
            if fn == 5:
                self.coils[a] = b == 0xFF00
            else:
                self.holding[a] = b
            return pdu[:5]
        if fn in (15, 16):
            if a + b > self.SIZE:
                return bytes([fn | 0x80, 2])
            data = pdu[6:]
            for i in range(b):
                if fn == 15:
                    self.coils[a + i] = bool(data[i // 8] >> (i % 8) & 1)
                else:
                    self.holding[a + i] = struct.unpack(">H", data[2 * i:2 * i + 2])[0]
            return pdu[:5]
        return bytes([fn | 0x80, 1])


@pytest.fixture(scope="session")
def modbus_server() -> Iterator[ModbusTcpServer]:
    server = ModbusTcpServer()
    yield server
    server.close()


def pytest_configure(config: pytest.Config) -> None:
    config.addinivalue_line("markers", "no_rack: needs neither the libraries nor the simulator")
