"""Upgrade through the "VEXA" plug-in on every coupler kind and the "ModBus" plug-in on the
RS-485 line, against a rack of its own (the upgrades leave modules in new firmware)."""
from __future__ import annotations

import pytest

import vexa
from conftest import RACK_ARGS
from vexa.sim import SimRack

PAYLOAD = bytes((i * 37 + 11) & 0xFF for i in range(3 * 1024 + 5))


@pytest.fixture(scope="module")
def boot_rack():
    # A station of its own for the coupler upgraded through the ModBus plug-in.
    with SimRack(*RACK_ARGS, "--rs-line", "rtu:3", ready_timeout=15) as r:
        yield r


def _open(rack, how):
    eth, rs, ours = rack.ethernet[0], rack.serial[0], rack.serial[-1]
    return {
        "vexa-eth": lambda: vexa.Upgrade.vexa_ethernet(eth.address, sub_address=1),
        "vexa-rs": lambda: vexa.Upgrade.vexa_serial(rs.address, rs.station, baud=115200, sub_address=1),
        "vexa-hid": lambda: vexa.Upgrade.vexa_usb(sub_address=1),
        "modbus-rs": lambda: vexa.Upgrade.modbus(ours.address, station=ours.station, baud=115200),
    }[how]()


@pytest.mark.parametrize("how, model", [
    ("vexa-eth", 0x4017), ("vexa-rs", 0x4017), ("vexa-hid", 0x4017), ("modbus-rs", 0x9010),
])
def test_an_upgrade_runs_with_progress(boot_rack, how, model):
    path = boot_rack.write_upgrade_file(f"{how}.upf", PAYLOAD, model)
    seen = []
    with _open(boot_rack, how) as up:
        devices = up.search(enter_boot=True)
        assert [d.model for d in devices] == [model] and devices[0].series == "VEXA"
        assert up.boot_version(0).version > 0
        up.upgrade(path, progress=seen.append)
    assert seen and seen[-1] == 100.0 and all(0.0 <= p <= 100.0 for p in seen)


@pytest.mark.parametrize("damage, error", [
    (lambda f: f[:40] + bytes([f[40] ^ 1]) + f[41:], vexa.WrongFile),   # digest no longer matches
    (lambda f: f[:30], vexa.WrongFile),                                  # cut short
], ids=["digest", "cut-short"])
def test_a_broken_file_is_refused_before_any_device(boot_rack, tmp_path, damage, error):
    good = open(boot_rack.write_upgrade_file("good.upf", PAYLOAD, 0x4017), "rb").read()
    broken = tmp_path / "broken.upf"
    broken.write_bytes(damage(good))
    vexa.Upgrade.check_file(boot_rack.write_upgrade_file("good.upf", PAYLOAD, 0x4017))
    with pytest.raises(error) as caught:
        vexa.Upgrade.check_file(broken)
    assert caught.value.code == -7 and caught.value.text
    with _open(boot_rack, "vexa-eth") as up:
        up.search(enter_boot=True)
        with pytest.raises(error):
            up.upgrade(broken)


def test_a_wrong_type_is_refused_by_the_boot_loader(boot_rack):
    path = boot_rack.write_upgrade_file("other.upf", PAYLOAD, 0x2808)
    with _open(boot_rack, "vexa-eth") as up:
        up.search(enter_boot=True)
        with pytest.raises(vexa.DeviceError) as caught:
            up.upgrade(path)
    assert caught.value.code in (-1, -2)


def test_no_device_and_no_plugin_raise(boot_rack):
    with _open(boot_rack, "vexa-eth") as up:
        with pytest.raises(vexa.NoDevice):
            up.upgrade("unused.upf", index=5)
    with pytest.raises(vexa.OpenFailed):
        vexa.Upgrade("NoSuchPlugin", vexa.VexaPortParams())


def test_leaving_the_block_by_an_exception_closes_the_plugin(boot_rack):
    with pytest.raises(RuntimeError):
        with _open(boot_rack, "vexa-eth") as up:
            raise RuntimeError("test body failed")
    assert up.closed
    with pytest.raises(vexa.OpenFailed):
        up.search()
    with _open(boot_rack, "modbus-rs") as again:  # only one may be open: the first one was released
        assert not again.closed
