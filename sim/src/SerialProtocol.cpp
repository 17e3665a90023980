#include "SerialProtocol.h"

#include <algorithm>
#include <cstring>

#include "Checks.h"

namespace vexa::sim::detail {

namespace {

constexpr std::uint8_t kMagic[4] = {'K', 'V', 'M', 'B'};
constexpr std::size_t kPrivateHeader = 7;  // address, function, magic, sub-function
constexpr int kMaxReadRegisters = 125;     // Modbus limits
constexpr int kMaxWriteRegisters = 123;

enum ExceptionCode : int { kOk = 0, kIllegalFunction = 1, kIllegalAddress = 2, kIllegalValue = 3 };

bool isPrivate(const Bytes& b) {
    return b.size() >= kPrivateHeader && (b[1] == 0x46 || b[1] == 0x47) && std::memcmp(&b[2], kMagic, 4) == 0;
}

int readRegisters(Coupler& c, int position, std::size_t at, const Bytes& b, Bytes& reply) {
    if (b.size() < at + 4) return kIllegalValue;
    int start = getU16(&b[at]), count = getU16(&b[at + 2]);
    if (count < 1 || count > kMaxReadRegisters) return kIllegalValue;
    std::size_t from = reply.size();
    reply.push_back(static_cast<std::uint8_t>(count * 2));
    reply.resize(from + 1 + static_cast<std::size_t>(count) * 2);
    return c.readSub(position, start, count, reply.data() + from + 1) == SubAccess::Ok ? kOk : kIllegalAddress;
}

int writeRegisters(Coupler& c, int position, std::size_t at, const Bytes& b, bool property, Bytes& reply) {
    if (b.size() < at + 5) return kIllegalValue;
    int start = getU16(&b[at]), count = getU16(&b[at + 2]), bytes = b[at + 4];
    if (count < 1 || count > kMaxWriteRegisters || bytes != count * 2 ||
        b.size() < at + 5 + static_cast<std::size_t>(bytes))
        return kIllegalValue;
    if (c.writeSub(position, start, &b[at + 5], bytes, property) != SubAccess::Ok) return kIllegalAddress;
    reply.insert(reply.end(), &b[at], &b[at + 4]);  // start and count echoed
    return kOk;
}

using SerialHandler = int (*)(Coupler&, int position, const Bytes& body, Bytes& reply);

int stationSearch(Coupler& c, int, const Bytes&, Bytes& reply) {
    reply.push_back(0x00);
    Identity id = c.identity();
    if (c.boot) id.type = kBootLoaderType;
    putIdentity(reply, id);
    return kOk;
}

int subSearch(Coupler& c, int, const Bytes&, Bytes& reply) {
    std::size_t countAt = reply.size();
    reply.push_back(0);
    for (int p = 1; p <= kMaxSubModules; ++p)
        if (const SubModule* m = c.sub(p)) {
            reply.push_back(static_cast<std::uint8_t>(p));
            reply.push_back(static_cast<std::uint8_t>(p));
            putIdentity(reply, m->reported());
            ++reply[countAt];
        }
    return kOk;
}

int readMain(Coupler& c, int, const Bytes&, Bytes& reply) {
    int len = c.blockLength();
    reply.push_back(static_cast<std::uint8_t>(len));
    reply.insert(reply.end(), c.blockAt(0), c.blockAt(0) + len);
    return kOk;
}

int writeMain(Coupler& c, int, const Bytes& b, Bytes& reply) {
    if (b.size() < kPrivateHeader + 2) return kIllegalValue;
    int offset = b[kPrivateHeader], length = b[kPrivateHeader + 1];
    if (b.size() < kPrivateHeader + 2 + static_cast<std::size_t>(length)) return kIllegalValue;
    if (!c.blockRange(offset, length)) return kIllegalAddress;
    std::memcpy(c.blockAt(offset), &b[kPrivateHeader + 2], static_cast<std::size_t>(length));
    reply.push_back(static_cast<std::uint8_t>(offset));
    reply.push_back(static_cast<std::uint8_t>(length));
    return kOk;
}

int reboot(Coupler& c, int, const Bytes&, Bytes&) {
    ++c.reboots;
    return kOk;
}

int rebootSub(Coupler& c, int, const Bytes&, Bytes&) {
    ++c.subReboots;  // no address on this wire: the coupler restarts its sub-module bus
    return kOk;
}

// Boot mode: the text that Identify (0x01) shows at reply bytes 24..39, the coupler's password,
// switches the coupler to its boot loader; then 0x09 reads and 0x0A writes boot frame bytes.
constexpr std::size_t kPasswordOffset = 16;
constexpr std::size_t kPasswordField = 16;
constexpr std::size_t kMaxBootBytes = 240;  // what fits one RTU frame with its header and CRC

int enterBoot(Coupler& c, int, const Bytes& b, Bytes&) {
    const auto* password = reinterpret_cast<const char*>(c.blockAt(static_cast<int>(kPasswordOffset)));
    const std::size_t passwordLength = ::strnlen(password, kPasswordField);
    const auto text = std::find(b.begin() + kPrivateHeader, b.end(), 0);
    if (text == b.end()) return kIllegalValue;
    const std::size_t textLength = static_cast<std::size_t>(text - (b.begin() + kPrivateHeader));
    if (textLength != passwordLength || std::memcmp(&b[kPrivateHeader], password, textLength) != 0)
        return kIllegalValue;
    c.startBootLoader();
    return kOk;
}

int readBoot(Coupler& c, int, const Bytes& b, Bytes& reply) {
    if (!c.boot) return kIllegalFunction;
    if (b.size() < kPrivateHeader + 1 || b[kPrivateHeader] == 0) return kIllegalValue;
    const std::size_t want = std::min<std::size_t>(b[kPrivateHeader], kMaxBootBytes);
    const std::size_t countAt = reply.size();
    reply.resize(countAt + 1 + want);
    const std::size_t got = c.boot->read(&reply[countAt + 1], want);
    reply.resize(countAt + 1 + got);
    reply[countAt] = static_cast<std::uint8_t>(got);
    return kOk;
}

int writeBoot(Coupler& c, int, const Bytes& b, Bytes& reply) {
    if (!c.boot) return kIllegalFunction;
    if (b.size() < kPrivateHeader + 1) return kIllegalValue;
    const std::size_t count = b[kPrivateHeader];
    if (b.size() < kPrivateHeader + 1 + count) return kIllegalValue;
    c.boot->write(&b[kPrivateHeader + 1], count);
    reply.push_back(static_cast<std::uint8_t>(count));
    return kOk;
}

int readSubProperty(Coupler& c, int p, const Bytes& b, Bytes& r) { return readRegisters(c, p, kPrivateHeader, b, r); }
int writeSubProperty(Coupler& c, int p, const Bytes& b, Bytes& r) {
    return writeRegisters(c, p, kPrivateHeader, b, true, r);
}
int readHolding(Coupler& c, int p, const Bytes& b, Bytes& r) { return readRegisters(c, p, 2, b, r); }
int writeMultiple(Coupler& c, int p, const Bytes& b, Bytes& r) { return writeRegisters(c, p, 2, b, false, r); }

constexpr int kNoSubFunction = -1;

struct SerialCommand {
    std::uint8_t function;
    int subFunction;
    SerialTarget target;
    SerialHandler handler;
    // RTU request length without the CRC: fixed part, plus the byte at countAt when non-zero;
    // a fixed part of 0 means the frame ends where the line falls silent.
    std::size_t fixedLength;
    std::size_t countAt;
    bool inBootMode;  // answered while the coupler runs its boot loader
};

constexpr SerialCommand kSerialCommands[] = {
    {0x46, 0x01, SerialTarget::Coupler, stationSearch, 7, 0, true},
    {0x46, 0x02, SerialTarget::Coupler, subSearch, 7, 0, false},
    {0x47, 0x01, SerialTarget::Coupler, readMain, 7, 0, true},
    {0x47, 0x02, SerialTarget::Coupler, writeMain, 9, 8, false},
    {0x47, 0x03, SerialTarget::Coupler, reboot, 7, 0, false},
    {0x47, 0x06, SerialTarget::Coupler, rebootSub, 7, 0, false},
    {0x47, 0x04, SerialTarget::Sub, readSubProperty, 11, 0, false},
    {0x47, 0x05, SerialTarget::Sub, writeSubProperty, 12, 11, false},
    {0x47, 0x08, SerialTarget::Coupler, enterBoot, 0, 0, true},
    {0x47, 0x09, SerialTarget::Coupler, readBoot, 8, 0, true},
    {0x47, 0x0A, SerialTarget::Coupler, writeBoot, 8, 7, true},
    {0x03, kNoSubFunction, SerialTarget::Sub, readHolding, 6, 0, false},
    {0x10, kNoSubFunction, SerialTarget::Sub, writeMultiple, 7, 6, false},
};

const SerialCommand* findCommand(const Bytes& b) {
    if (b.size() < 2) return nullptr;
    int sub = isPrivate(b) ? b[6] : kNoSubFunction;
    for (const auto& cmd : kSerialCommands)
        if (cmd.function == b[1] && cmd.subFunction == sub) return &cmd;
    return nullptr;
}

int hexValue(std::uint8_t ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return -1;
}

}  // namespace

std::optional<SerialFrame> decodeSerial(const Bytes& raw) {
    SerialFrame f;
    if (!raw.empty() && raw[0] == ':') {
        f.framing = SerialFraming::Ascii;
        bool closed = raw.size() >= 3 && raw[raw.size() - 2] == '\r' && raw.back() == '\n';
        std::size_t end = closed ? raw.size() - 2 : raw.size();
        bool clean = closed && (end - 1) % 2 == 0;
        Bytes bin;
        for (std::size_t i = 1; i + 1 < end; i += 2) {
            int hi = hexValue(raw[i]), lo = hexValue(raw[i + 1]);
            if (hi < 0 || lo < 0) {
                clean = false;
                break;
            }
            bin.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        }
        if (bin.empty()) return std::nullopt;
        f.checkOk = clean && bin.size() >= 3 && lrc(bin.data(), bin.size() - 1) == bin.back();
        if (bin.size() >= 2) bin.pop_back();
        f.body = std::move(bin);
        return f;
    }
    if (raw.empty()) return std::nullopt;
    f.framing = SerialFraming::Rtu;
    if (raw.size() >= 4) {
        std::uint16_t crc = crc16(raw.data(), raw.size() - 2);
        f.checkOk = raw[raw.size() - 2] == (crc & 0xFF) && raw.back() == (crc >> 8);
        f.body.assign(raw.begin(), raw.end() - 2);
    } else {
        f.body = raw;
    }
    return f;
}

Bytes encodeSerial(const Bytes& body, SerialFraming framing) {
    if (framing == SerialFraming::Rtu) {
        Bytes out = body;
        std::uint16_t crc = crc16(body.data(), body.size());
        out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        out.push_back(static_cast<std::uint8_t>(crc >> 8));
        return out;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    Bytes bin = body;
    bin.push_back(lrc(body.data(), body.size()));
    Bytes out = {':'};
    for (std::uint8_t b : bin) {
        out.push_back(static_cast<std::uint8_t>(kHex[b >> 4]));
        out.push_back(static_cast<std::uint8_t>(kHex[b & 0x0F]));
    }
    out.push_back('\r');
    out.push_back('\n');
    return out;
}

SerialTarget serialTarget(const Bytes& body) {
    const SerialCommand* cmd = findCommand(body);
    return cmd ? cmd->target : SerialTarget::Coupler;
}

std::size_t rtuFrameLength(const Bytes& raw) {
    const SerialCommand* cmd = findCommand(raw);
    if (!cmd || cmd->fixedLength == 0 || (cmd->countAt && raw.size() <= cmd->countAt)) return 0;
    constexpr std::size_t kCrc = 2;
    return cmd->fixedLength + (cmd->countAt ? raw[cmd->countAt] : 0) + kCrc;
}

std::optional<Bytes> serialReply(Coupler& c, int position, const Bytes& body) {
    if (body.size() < 2) return std::nullopt;
    c.settleBoot();
    const SerialCommand* cmd = findCommand(body);
    Bytes reply(body.begin(), body.begin() + (isPrivate(body) ? kPrivateHeader : 2));
    const bool refused = !cmd || (c.boot && !cmd->inBootMode);
    int code = refused ? kIllegalFunction : cmd->handler(c, position, body, reply);
    if (code == kOk) return reply;
    return Bytes{body[0], static_cast<std::uint8_t>(body[1] | 0x80), static_cast<std::uint8_t>(code)};
}

}  // namespace vexa::sim::detail
