"""The records' layouts as the libraries take them."""
from __future__ import annotations

import ctypes

import pytest

from vexa import PdoSetting, records

pytestmark = pytest.mark.no_rack


@pytest.mark.parametrize("record", list(records.EXPECTED_SIZES), ids=lambda r: r.__name__)
def test_record_size_matches_the_header(record):
    assert ctypes.sizeof(record) == records.EXPECTED_SIZES[record]


@pytest.mark.parametrize("record, field, offset", [
    (records.VexaPortParams, "portText", 20),
    (records.MbPortParams, "portText", 20),
    (records.VexaPortParams, "serial", 20 + ctypes.sizeof(ctypes.c_void_p)),
    (records.MbPortParams, "baudRate", 20 + ctypes.sizeof(ctypes.c_void_p)),
    (records.IoMapRecord, "type", 104),
])
def test_fields_sit_where_the_libraries_read_them(record, field, offset):
    assert getattr(record, field).offset == offset


@pytest.mark.parametrize("setting", [
    PdoSetting(False, 3, 2, 1, 5, 0x41, 1),
    PdoSetting(True, 30, 7, 3, 1, 0x20, 2, channel=9),
])
def test_a_pdo_setting_survives_its_wire_form(setting):
    entry = setting.to_entry()
    again = PdoSetting.from_bytes(bytes(entry.setting), bool(entry.side))
    assert again == PdoSetting(*(getattr(setting, f) for f in ("output", "offset", "pdo", "position",
                                                                 "sub_address", "register", "words")))
    assert entry.channel == setting.channel
