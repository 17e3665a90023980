"""Coupler, SubModule and their mappings against the simulated rack, on every coupler kind."""
from __future__ import annotations

import pytest

import vexa
from vexa import _lib
from conftest import KINDS, coupler_of

SETTING = "SET_AIN_TYPE_0"  # the analog input module's range selector


def search(rack, kind):
    sim = coupler_of(rack, kind)
    if kind == "eth":
        return vexa.Coupler.search_ethernet(sim.address)
    if kind == "rs":
        return vexa.Coupler.search_serial(sim.address, [sim.station], timeout_ms=300)
    return vexa.Coupler.search_usb()


@pytest.mark.parametrize("kind", KINDS)
def test_search_finds_the_coupler_and_its_info_opens_it(rack, kind):
    found = search(rack, kind)
    sim = coupler_of(rack, kind)
    assert [i.target for i in found] == [sim.target]
    with found[0].open() as coupler:
        assert coupler.kind == vexa.CouplerKind(KINDS.index(kind))
        props = coupler.properties.read()
        texts = dict(props)
        assert len(texts) == len(props) > 5 and texts["MAIN_TYPE"].startswith("VEXA-")
        assert {s.address: s.type for s in coupler.sub_modules()} == sim.subs


@pytest.mark.parametrize("kind", KINDS)
def test_a_sub_module_setting_changes_and_reads_back(rack, kind):
    with vexa.Coupler.open(coupler_of(rack, kind).target) as coupler:
        sub = coupler.sub_module(1)
        before = sub.settings.read()[SETTING]
        wanted = "2" if before != "2" else "1"
        sub.settings[SETTING] = wanted
        sub.settings.submit()
        assert sub.settings.read()[SETTING] == wanted
        assert sub.settings.texts([SETTING]) == {SETTING: wanted} and SETTING in sub.settings
        sub.settings.modify({SETTING: before}).submit()
        assert sub.settings.read()[SETTING] == before


@pytest.mark.parametrize("kind", KINDS)
def test_by_address_access_meets_the_named_values(rack, kind):
    with vexa.Coupler.open(coupler_of(rack, kind).target) as coupler:
        out = coupler.sub_module(2)
        out.write_data_by_address(0x20, b"\x00\x01")
        assert out.read_data_by_address(0x20, 1) == b"\x00\x01"
        assert out.data.read()["DATA_DOUT_0"] == "1"
        out.write_data_by_address(0x20, b"\x00\x00")
        assert out.data.read()["DATA_DOUT_0"] == "0"
        ain = coupler.sub_module(1)
        registers = ain.read_settings_by_address(0x80, 2)
        assert int.from_bytes(registers[:2], "big") == int(ain.settings.read()[SETTING])


@pytest.mark.parametrize("kind", KINDS)
def test_leaving_the_block_by_an_exception_releases_the_handle(rack, kind):
    with pytest.raises(RuntimeError):
        with vexa.Coupler.open(coupler_of(rack, kind).target) as coupler:
            handle = coupler.handle
            sub = coupler.sub_module(1)
            raise RuntimeError("test body failed")
    assert coupler.closed
    with pytest.raises(vexa.Closed):
        coupler.properties.read()
    with pytest.raises(vexa.Closed):
        sub.settings.read()
    # The library itself has let go of the coupler: its link is shut.
    assert _lib.load(_lib.SDK).KO_ReadMainProperty(handle) == 202


def _unknown_key(coupler):
    coupler.properties.read()["NO_SUCH_KEY"]


def _before_read(coupler):
    coupler.sub_module(1).settings[SETTING]


def _nothing_modified(coupler):
    coupler.sub_module(1).settings.submit()


def _empty_slot(coupler):
    coupler.sub_module(7)


def _mapping_of_ethernet(coupler):
    coupler.mapping.channels()


@pytest.mark.parametrize("call, error, code", [
    (_unknown_key, vexa.KeyUnknown, 303),
    (_before_read, vexa.NotRead, 301),
    (_nothing_modified, vexa.NothingToSubmit, 305),
    (_empty_slot, vexa.NoSubModule, 999),
    (_mapping_of_ethernet, TypeError, None),
])
def test_a_failed_call_raises_its_kind(rack, call, error, code):
    with vexa.Coupler.open(coupler_of(rack, "eth").target) as coupler:
        with pytest.raises(error) as caught:
            call(coupler)
    if code is not None:
        assert caught.value.code == code and isinstance(caught.value, vexa.VexaError)


@pytest.mark.parametrize("target, error", [
    ("eth:{subnet}.99", vexa.NoReply),       # nobody at that address
    ("rs:/dev/vexa-no-such-line:1", vexa.OpenFailed),
    ("hid:/no/such/device", vexa.NoReply),
    ("can:1", vexa.InvalidArgument),
])
def test_opening_what_is_not_there_raises(rack, target, error):
    subnet = rack.hub.rsplit(".", 1)[0]
    with pytest.raises(error):
        vexa.Coupler.open(target.format(subnet=subnet), timeout_ms=200)


def test_the_listed_keys_are_the_ones_the_module_reads(rack):
    with vexa.Coupler.open(coupler_of(rack, "eth").target) as coupler:
        ain, dout = coupler.sub_module(1), coupler.sub_module(2)
        settings = ain.settings.keys()
        assert settings[0] == "SLAVER_ADDRESS" and SETTING in settings and len(set(settings)) == len(settings)
        assert set(ain.settings.read().texts(settings)) == set(settings)
        assert "DATA_DOUT_0" in dout.data.keys() and not set(dout.data.keys()) & set(dout.settings.keys())
        assert len(dout.data.read().texts(dout.data.keys())) == len(dout.data.keys())


def test_a_missing_key_reads_as_absent(rack):
    with vexa.Coupler.open(coupler_of(rack, "eth").target) as coupler:
        props = coupler.properties.read()
        assert props.get("NO_SUCH_KEY") is None and "NO_SUCH_KEY" not in props and "MAIN_IP" in props
        assert props["MAIN_IP"] == coupler.info.address


def test_threads_share_the_library_safely(rack):
    import threading

    results, errors = [], []

    def work(kind):
        try:
            with vexa.Coupler.open(coupler_of(rack, kind).target) as coupler:
                for _ in range(3):
                    results.append((kind, coupler.properties.read()["MAIN_TYPE"]))
        except Exception as e:  # reported below, on the test's thread
            errors.append(e)

    threads = [threading.Thread(target=work, args=(kind,)) for kind in ("eth", "hid", "eth")]
    for t in threads:
        t.start()
    for t in threads:
        t.join(30)
    assert not errors and not any(t.is_alive() for t in threads)
    assert len(results) == 9 and len({text for kind, text in results if kind == "hid"}) == 1
