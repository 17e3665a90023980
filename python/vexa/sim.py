"""The simulated rack (``vexa-sim``) for scripts and tests that have no hardware at hand.

::

    with SimRack() as rack:          # the demo rack: one coupler of each kind
        with Coupler.open(rack.ethernet[0].target) as coupler:
            ...

Starting a rack sets ``VEXA_ETH_BROADCAST`` to its hub address and ``VEXA_HID`` to its USB
folder in this process, so searches reach the simulated couplers and nothing else. Everything
it plays lives on loopback addresses, pseudo-terminals and a folder of its own.
"""
from __future__ import annotations

import os
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import time
from dataclasses import dataclass, field
from typing import Dict, List, Optional, Sequence

from . import _lib
from .errors import OpenFailed
from .upgrade import build_upgrade_file


@dataclass
class SimCoupler:
    """A simulated coupler: ``target`` is what :meth:`vexa.Coupler.open` takes."""

    kind: str  # "eth", "rs" or "hid"
    address: str  # IP, serial line or HID path
    subs: Dict[int, int] = field(default_factory=dict)  # sub-module address -> type code
    mac: str = ""
    station: int = 0

    @property
    def target(self) -> str:
        return f"rs:{self.address}:{self.station}" if self.kind == "rs" else f"{self.kind}:{self.address}"


def find_sim() -> Optional[str]:
    """``VEXA_SIM``, else ``vexa-sim`` on PATH, else beside the libraries; None when nowhere."""
    env = os.environ.get("VEXA_SIM")
    if env:
        return env
    found = shutil.which("vexa-sim")
    if found:
        return found
    for d in _lib.library_dirs():
        for candidate in (os.path.join(d, "vexa-sim"), os.path.join(d, "..", "bin", "vexa-sim")):
            if os.access(candidate, os.X_OK):
                return os.path.abspath(candidate)
    return None


_SUBS = re.compile(r"(\d+):([0-9A-Fa-f]+)(?:@[0-9A-Fa-f]+)?(?: \(address (\d+)\))?")


class SimRack:
    """One ``vexa-sim`` process, started by :meth:`start` (or ``with``) and killed by :meth:`stop`.

    ``args`` are vexa-sim's own options (``--eth auto --subs 4017``...); none starts the demo rack.
    """

    def __init__(self, *args: str, sim: Optional[str] = None, ready_timeout: float = 15.0,
                 apply_env: bool = True) -> None:
        self.args: Sequence[str] = args
        self.sim = sim or find_sim()
        self.ready_timeout = ready_timeout
        self.apply_env = apply_env
        self.folder = ""
        self.description = ""
        self.env: Dict[str, str] = {}
        self.ethernet: List[SimCoupler] = []
        self.serial: List[SimCoupler] = []
        self.usb: List[SimCoupler] = []
        self.serial_lines: List[str] = []
        self._process: Optional[subprocess.Popen] = None

    @property
    def hub(self) -> str:
        """The address Ethernet searches go to."""
        return self.env.get("VEXA_ETH_BROADCAST", "")

    def start(self) -> "SimRack":
        """Starts the rack and waits (at most ``ready_timeout`` s) until it describes itself."""
        if not self.sim:
            raise OpenFailed("vexa-sim not found (set VEXA_SIM or VEXA_LIB_DIR)")
        self.folder = tempfile.mkdtemp(prefix="vexa-py-sim-")
        ready = os.path.join(self.folder, "ready")
        hid = os.path.join(self.folder, "hid")
        os.mkdir(hid)
        self._log = open(os.path.join(self.folder, "sim.log"), "wb")
        args = list(self.args)
        if "--hid-folder" not in args and "--config" not in args:
            args += ["--hid-folder", hid]
        self._process = subprocess.Popen([self.sim, *args, "--ready-file", ready], stdin=subprocess.DEVNULL,
                                         stdout=self._log, stderr=subprocess.STDOUT)
        end = time.monotonic() + self.ready_timeout
        while not os.path.exists(ready):
            if self._process.poll() is not None or time.monotonic() > end:
                self.stop()
                raise OpenFailed(f"vexa-sim did not come up: {self._log_text()}")
            time.sleep(0.05)
        with open(ready, encoding="utf-8") as f:
            self._parse(f.read())
        if self.apply_env:
            os.environ.update(self.env)
        return self

    def _log_text(self) -> str:
        try:
            with open(os.path.join(self.folder, "sim.log"), encoding="utf-8", errors="replace") as f:
                return f.read().strip()[-500:]
        except OSError:
            return ""

    def _parse(self, text: str) -> None:
        self.description = text
        for line in text.splitlines():
            s = line.strip()
            m = re.match(r"export (\w+)=(.*)", s)
            if m:
                self.env[m.group(1)] = m.group(2)
                continue
            subs = {}
            if "sub modules" in s:
                for slot, typ, addr in _SUBS.findall(s.split("sub modules", 1)[1]):
                    subs[int(addr or slot)] = int(typ, 16)
            m = re.match(r"Ethernet coupler \d+: (\S+) port \d+, MAC (\S+?),", s)
            if m:
                self.ethernet.append(SimCoupler("eth", m.group(1), subs, mac=m.group(2)))
            m = re.match(r"RS-485 line \d+: (\S+)", s)
            if m:
                self.serial_lines.append(m.group(1))
            m = re.match(r"RS-485 coupler \d+: station (\d+)", s)
            if m and self.serial_lines:
                self.serial.append(SimCoupler("rs", self.serial_lines[-1], subs, station=int(m.group(1))))
            m = re.match(r"USB coupler \d+: (\S+)", s)
            if m:
                self.usb.append(SimCoupler("hid", m.group(1), subs))

    def stop(self) -> None:
        """Stops the rack (SIGTERM, then SIGKILL after 5 s) and removes its folder."""
        p, self._process = self._process, None
        if p is not None:
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait(5)
            self._log.close()
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = ""

    @property
    def running(self) -> bool:
        return self._process is not None and self._process.poll() is None

    def __enter__(self) -> "SimRack":
        return self.start()

    def __exit__(self, *exc: object) -> None:
        self.stop()

    # ---- upgrade files the simulated boot loaders take ----

    @staticmethod
    def boot_header(payload: bytes, module_type: int, hardware: int = 0x0100, firmware: int = 0x0101,
                    link_address: int = 0x08004000) -> bytes:
        """The header block the simulated boot loaders check: type and hardware must match the
        module, the firmware version must not be below the installed one."""
        return (b"VXBH" + struct.pack("<HHHIII", module_type, hardware, firmware, link_address, len(payload),
                                      sum(payload) & 0xFFFFFFFF) + bytes(0xA0 + i for i in range(10)))

    def write_upgrade_file(self, name: str, payload: bytes, module_type: int, **header: int) -> str:
        """Writes an upgrade file for a simulated module of ``module_type`` into the rack's folder
        and returns its path."""
        path = os.path.join(self.folder or tempfile.gettempdir(), name)
        with open(path, "wb") as f:
            f.write(build_upgrade_file(self.boot_header(payload, module_type, **header), payload))
        return path


__all__ = ["SimRack", "SimCoupler", "find_sim"]
