// Modbus quick checks through MbMaster: read or write coils, discrete inputs, holding and input
// registers over TCP or a serial line, like the common command-line pollers.
//
//   vexactl mb read  coils|inputs|holding|input-regs --start A --count N  LINE [--unit U]
//   vexactl mb write coils|holding                   --start A --values V[,V...]  LINE [--unit U]
//   LINE: --tcp HOST[:PORT] | --serial PATH [--baud N] [--ascii] [--parity none|odd|even]
//         [--data-bits N] [--stop-bits 1|2] [--timeout MS]
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Cli.h"
#include "MbMaster.h"

namespace vexactl {

namespace {

constexpr const char* kUsageText =
    "usage: vexactl mb read coils|inputs|holding|input-regs --start A --count N LINE [--unit U]\n"
    "       vexactl mb write coils|holding --start A --values V[,V...] LINE [--unit U]\n"
    "  LINE: --tcp HOST[:PORT] | --serial PATH [--baud N] [--ascii] [--parity none|odd|even]\n"
    "        [--data-bits N] [--stop-bits 1|2] [--timeout MS]\n";

int usage(const std::string& why) {
    std::fprintf(stderr, "vexactl mb: %s\n%s", why.c_str(), kUsageText);
    return kUsage;
}

std::string resultName(int code) {
    struct Name {
        int code;
        const char* name;
    };
    static constexpr Name kNames[] = {
        {KMB_OK, "KMB_OK"},
        {KMB_EX_ILLEGAL_FUNCTION, "KMB_EX_ILLEGAL_FUNCTION"},
        {KMB_EX_ILLEGAL_DATA_ADDRESS, "KMB_EX_ILLEGAL_DATA_ADDRESS"},
        {KMB_EX_ILLEGAL_DATA_VALUE, "KMB_EX_ILLEGAL_DATA_VALUE"},
        {KMB_EX_SLAVE_DEVICE_FAILURE, "KMB_EX_SLAVE_DEVICE_FAILURE"},
        {KMB_EX_ACKNOWLEDGE, "KMB_EX_ACKNOWLEDGE"},
        {KMB_EX_SLAVE_BUSY, "KMB_EX_SLAVE_BUSY"},
        {KMB_EX_MEMORY_PARITY, "KMB_EX_MEMORY_PARITY"},
        {KMB_EX_GATEWAY_PATH, "KMB_EX_GATEWAY_PATH"},
        {KMB_EX_GATEWAY_TARGET, "KMB_EX_GATEWAY_TARGET"},
        {KMB_ERR_HANDLE, "KMB_ERR_HANDLE"},
        {KMB_ERR_PROTOCOL_ID, "KMB_ERR_PROTOCOL_ID"},
        {KMB_ERR_BAD_FRAME, "KMB_ERR_BAD_FRAME"},
        {KMB_ERR_SEQUENCE, "KMB_ERR_SEQUENCE"},
        {KMB_ERR_SEND, "KMB_ERR_SEND"},
        {KMB_ERR_TIMEOUT, "KMB_ERR_TIMEOUT"},
        {KMB_ERR_SHORT_REPLY, "KMB_ERR_SHORT_REPLY"},
        {KMB_ERR_ARGUMENT, "KMB_ERR_ARGUMENT"},
        {KMB_ERR_FAILURE, "KMB_ERR_FAILURE"},
    };
    for (const auto& n : kNames)
        if (n.code == code) return n.name;
    return code > 0 && code < 256 ? "KMB_EX_" + std::to_string(code) : "KMB_ERR_" + std::to_string(code);
}

enum class Table { Coils, Inputs, Holding, InputRegisters };

bool parseTable(const std::string& word, Table& out) {
    struct Alias {
        const char* word;
        Table table;
    };
    static constexpr Alias kAliases[] = {
        {"coils", Table::Coils},       {"coil", Table::Coils},           {"inputs", Table::Inputs},
        {"input", Table::Inputs},      {"discrete", Table::Inputs},      {"holding", Table::Holding},
        {"hreg", Table::Holding},      {"registers", Table::Holding},    {"input-regs", Table::InputRegisters},
        {"input-reg", Table::InputRegisters}, {"ireg", Table::InputRegisters},
    };
    for (const auto& a : kAliases)
        if (word == a.word) {
            out = a.table;
            return true;
        }
    return false;
}

bool isBits(Table t) { return t == Table::Coils || t == Table::Inputs; }

bool parseNumber(const std::string& text, long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtol(text.c_str(), &end, 0);
    return end && *end == '\0';
}

bool parseValues(const std::string& text, std::vector<long>& out) {
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t comma = text.find(',', pos);
        if (comma == std::string::npos) comma = text.size();
        long v;
        if (!parseNumber(text.substr(pos, comma - pos), v)) return false;
        out.push_back(v);
        pos = comma + 1;
    }
    return !out.empty();
}

struct Closer {
    void operator()(void* h) const { KMB_DisConnectMDBServer(h); }
};
using Connection = std::unique_ptr<void, Closer>;

// Opens the line the options name; an empty handle with `error` set on a usage mistake.
Connection openLine(const Args& a, std::string& error) {
    if (a.has("tcp") == a.has("serial")) {
        error = "give one of --tcp HOST[:PORT] or --serial PATH";
        return nullptr;
    }
    if (a.has("tcp")) {
        std::string host = a.get("tcp");
        long port = 502;
        const auto colon = host.rfind(':');
        if (colon != std::string::npos) {
            if (!parseNumber(host.substr(colon + 1), port) || port < 1 || port > 65535) {
                error = "bad TCP port in --tcp";
                return nullptr;
            }
            host.resize(colon);
        }
        return Connection(KMB_TCPConnectMDBServer(host.c_str(), static_cast<int>(port), 0));
    }
    struct Parity {
        const char* word;
        int value;
    };
    static constexpr Parity kParities[] = {{"none", 0}, {"n", 0}, {"odd", 1}, {"o", 1}, {"even", 2}, {"e", 2}};
    int parity = -1;
    const std::string p = a.get("parity", "none");
    for (const auto& e : kParities)
        if (p == e.word) parity = e.value;
    const long stop = a.getInt("stop-bits", 1);
    if (parity < 0 || (stop != 1 && stop != 2)) {
        error = "bad --parity or --stop-bits";
        return nullptr;
    }
    return Connection(KMB_SerConnectMDBServer(a.has("ascii") ? KMB_FRAMING_ASCII : KMB_FRAMING_RTU,
                                              a.get("serial").c_str(), static_cast<int>(a.getInt("baud", 9600)),
                                              static_cast<int>(a.getInt("data-bits", 8)), parity, stop == 2 ? 2 : 0,
                                              1, 0, 0, 0, static_cast<int>(a.getInt("timeout", 1000))));
}

int finish(Output& out, int rc) { return out.finish(rc, resultName(rc), rc == KMB_OK); }

int readTable(void* h, Table table, int unit, int start, int count, Output& out) {
    std::vector<short> regs(isBits(table) ? 0 : static_cast<std::size_t>(count));
    std::vector<unsigned char> bits(isBits(table) ? static_cast<std::size_t>(count) : 0);
    int rc = KMB_ERR_ARGUMENT;
    switch (table) {
        case Table::Coils: rc = KMB_ReadCoil(h, unit, start, count, bits.data(), 0); break;
        case Table::Inputs: rc = KMB_ReadInput(h, unit, start, count, bits.data(), 0); break;
        case Table::Holding: rc = KMB_ReadHoldReg(h, unit, start, count, regs.data(), 0); break;
        case Table::InputRegisters: rc = KMB_ReadInputReg(h, unit, start, count, regs.data(), 0); break;
    }
    if (rc == KMB_OK)
        for (int i = 0; i < count; ++i)
            out.record(Record()
                           .add("address", start + i)
                           .add("value", isBits(table) ? bits[i] : static_cast<std::uint16_t>(regs[i])));
    return finish(out, rc);
}

int writeTable(void* h, Table table, int unit, int start, const std::vector<long>& values, Output& out) {
    const int count = static_cast<int>(values.size());
    int rc;
    if (table == Table::Coils) {
        std::vector<unsigned char> bits;
        for (long v : values) bits.push_back(v ? 1 : 0);
        rc = count == 1 ? KMB_WriteCoilSingle(h, unit, start, bits[0], 0)
                        : KMB_WriteCoilMulitiple(h, unit, start, count, bits.data(), 0);
    } else {
        std::vector<short> regs;
        for (long v : values) regs.push_back(static_cast<short>(v));
        rc = count == 1 ? KMB_WriteRegSingle(h, unit, start, static_cast<int>(values[0]), 0)
                        : KMB_WriteRegMulitiple(h, unit, start, count, regs.data(), 0);
    }
    if (rc == KMB_OK) out.record(Record().add("start", start).add("count", count));
    return finish(out, rc);
}

int mbCommand(const Args& a, Output& out) {
    if (a.positional.size() != 2) return usage("expected read or write and a table");
    const std::string& verb = a.positional[0];
    Table table;
    if (!parseTable(a.positional[1], table)) return usage("unknown table '" + a.positional[1] + "'");
    if (!a.has("start")) return usage("--start is required");
    const long start = a.getInt("start", -1), unit = a.getInt("unit", 1);
    if (start < 0 || start > 0xFFFF || unit < 0 || unit > 255) return usage("bad --start or --unit");

    std::vector<long> values;
    long count = 0;
    if (verb == "read") {
        count = a.getInt("count", 0);
        if (count < 1 || count > 2000) return usage("--count must be 1..2000");
    } else if (verb == "write") {
        if (table == Table::Inputs || table == Table::InputRegisters) return usage("inputs cannot be written");
        if (!parseValues(a.get("values"), values)) return usage("--values V[,V...] is required");
        for (long v : values)
            if (v < -32768 || v > 0xFFFF) return usage("values must be -32768..65535");
    } else {
        return usage("unknown action '" + verb + "'");
    }

    std::string error;
    Connection h = openLine(a, error);
    if (!error.empty()) return usage(error);
    if (!h) {
        out.message("cannot open the line");
        return finish(out, KMB_ERR_HANDLE);
    }
    return verb == "read" ? readTable(h.get(), table, static_cast<int>(unit), static_cast<int>(start),
                                      static_cast<int>(count), out)
                          : writeTable(h.get(), table, static_cast<int>(unit), static_cast<int>(start), values, out);
}

}  // namespace

VEXACTL_COMMAND("mb",
                "mb read|write coils|inputs|holding|input-regs --start A (--count N | --values V,..) "
                "(--tcp HOST[:PORT] | --serial PATH [--baud N] [--ascii])",
                "Modbus master quick checks through MbMaster", mbCommand,
                {Option::number("start", "A", 0, 65535, "the first address"),
                 Option::number("count", "N", 1, 2000, "read: how many"),
                 Option::text("values", "V[,V...]", "write: the values, -32768..65535 each"),
                 Option::number("unit", "U", 0, 255, "the unit id (default 1)"),
                 Option::text("tcp", "HOST[:PORT]", "a Modbus TCP server (port 502 by default)"),
                 Option::text("serial", "PATH", "a serial line"),
                 Option::number("baud", "N", 1, 4000000, "serial: line speed (default 9600)"),
                 Option::flag("ascii", "serial: ASCII framing"),
                 Option::flag("rtu", "serial: RTU framing (the default)"),
                 Option::text("parity", "none|odd|even", "serial: parity (default none)"),
                 Option::number("data-bits", "N", 5, 8, "serial: data bits (default 8)"),
                 Option::number("stop-bits", "N", 1, 2, "serial: stop bits (default 1)"),
                 Option::number("timeout", "MS", 1, 60000, "how long a reply may take (default 1000)")});

}  // namespace vexactl
