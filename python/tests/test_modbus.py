"""ModbusMaster over TCP (a loopback server) and over the simulated RS-485 line (RTU, ASCII)."""
from __future__ import annotations

import pytest

import vexa
from conftest import coupler_of


@pytest.fixture
def tcp(modbus_server):
    with vexa.ModbusMaster.tcp("127.0.0.1", modbus_server.port) as mb:
        yield mb


@pytest.mark.parametrize("write, read, values", [
    ("write_coil", "read_coils", [True]),
    ("write_coils", "read_coils", [True, False, True, True, False, False, True, False, True]),
    ("write_register", "read_holding_registers", [0xBEEF]),
    ("write_registers", "read_holding_registers", [1, 0x8000, 65535, 42]),
])
def test_what_is_written_reads_back(tcp, write, read, values):
    start = 10
    if write in ("write_coil", "write_register"):
        getattr(tcp, write)(start, values[0])
    else:
        getattr(tcp, write)(start, values)
    assert getattr(tcp, read)(start, len(values)) == values


@pytest.mark.parametrize("read, table", [
    ("read_discrete_inputs", "inputs"),
    ("read_input_registers", "input_regs"),
])
def test_inputs_read_as_the_slave_holds_them(tcp, modbus_server, read, table):
    assert getattr(tcp, read)(5, 20) == getattr(modbus_server, table)[5:25]


@pytest.mark.parametrize("call, error", [
    (lambda mb: mb.read_holding_registers(99, 5), vexa.ModbusException),  # past the slave's table
    (lambda mb: mb.read_coils(0, 0), vexa.InvalidArgument),
    (lambda mb: mb.write_register(0, 70000), vexa.InvalidArgument),
])
def test_a_refused_request_raises_its_kind(tcp, call, error):
    with pytest.raises(error) as caught:
        call(tcp)
    if error is vexa.ModbusException:
        assert caught.value.code == 2  # illegal data address


@pytest.mark.parametrize("opener", [vexa.ModbusMaster.rtu, vexa.ModbusMaster.ascii], ids=["rtu", "ascii"])
def test_a_serial_line_reaches_the_rs485_coupler(rack, opener):
    sim = coupler_of(rack, "rs")
    with opener(sim.address, baud=115200, unit=sim.station, timeout_ms=300) as mb:
        assert len(mb.read_holding_registers(0, 4)) == 4
        with pytest.raises(vexa.NoReply):
            mb.read_holding_registers(0, 1, unit=200)  # nobody there


def test_leaving_the_block_by_an_exception_disconnects(modbus_server):
    with pytest.raises(RuntimeError):
        with vexa.ModbusMaster.tcp("127.0.0.1", modbus_server.port) as mb:
            raise RuntimeError("test body failed")
    assert mb.closed
    with pytest.raises(vexa.Closed):
        mb.read_coils(0, 1)


def test_a_refused_connection_raises_open_failed():
    with pytest.raises(vexa.OpenFailed):
        vexa.ModbusMaster.tcp("127.0.0.1", 1)  # nothing listens on port 1


def test_a_write_through_the_ethernet_coupler_lands_in_the_module(rack):
    sim = coupler_of(rack, "eth")
    vexa.ModbusMaster.write_through_coupler(sim.address, sim.mac, 2, 0x20, [1])
    with vexa.Coupler.open(sim.target) as coupler:
        assert coupler.sub_module(2).data.read()["DATA_DOUT_0"] == "1"
    vexa.ModbusMaster.write_through_coupler(sim.address, sim.mac, 2, 0x20, [0])
    with pytest.raises(vexa.NoSubModule):
        vexa.ModbusMaster.write_through_coupler(sim.address, sim.mac, 7, 0x20, [0])
