"""The USB coupler's CANopen mapping and firmware download."""
from __future__ import annotations

import pytest

import vexa
from conftest import coupler_of


@pytest.fixture
def usb(rack):
    with vexa.Coupler.open(coupler_of(rack, "hid").target) as coupler:
        yield coupler


def test_channels_name_the_modules_process_values(usb):
    channels = usb.mapping.channels()
    assert {c.sub_address for c in channels} == {1, 2}
    inputs = [c for c in channels if not c.output]
    assert inputs and all(c.key.startswith("DATA_AIN_") and c.type == 0x4017 for c in inputs)
    assert any(c.output and c.key == "DATA_DOUT_0" for c in channels)


@pytest.mark.parametrize("settings", [
    [(False, 0, 0, 1, 0x40, 1), (False, 1, 0, 1, 0x41, 1), (True, 0, 0, 2, 0x20, 1)],
    [(False, 2, 1, 1, 0x42, 2)],
    "all",
])
def test_download_reads_back_what_was_sent(usb, settings):
    layout = vexa.PdoLayout()
    if settings == "all":
        layout.add_all(usb.mapping.channels())
    else:
        for s in settings:
            layout.add(*s)
    back = usb.mapping.download(layout)
    sent = [(s.output, s.offset, s.pdo, s.position, s.sub_address, s.register, s.words) for s in layout.settings]
    got = [(s.output, s.offset, s.pdo, s.position, s.sub_address, s.register, s.words) for s in back.tpdo + back.rpdo]
    assert got == sent
    assert back.io and {w.sub_address for w in back.io} <= {1, 2}


@pytest.mark.parametrize("entry", [
    (False, 0, 0, 1, 0x40, 3),   # three words
    (False, 63, 0, 1, 0x40, 2),  # past the input image
    (True, 0, 8, 2, 0x20, 1),    # no ninth RPDO
])
def test_a_setting_that_does_not_fit_is_refused(entry):
    with pytest.raises(vexa.InvalidArgument):
        vexa.PdoLayout().add(*entry)


def test_firmware_download_reports_progress(usb):
    seen = []
    usb.usb_update(bytes(range(256)) * 4, progress=seen.append, settle=0)
    assert seen and seen[-1] == 100 and seen == sorted(seen)


def test_a_progress_callback_that_raises_stops_the_caller(usb):
    def stop(percent):
        raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        usb.usb_update(bytes(64), progress=stop, settle=0)
