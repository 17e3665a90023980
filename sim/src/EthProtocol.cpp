#include "EthProtocol.h"

#include <cstring>

namespace vexa::sim::detail {

namespace {

constexpr std::uint8_t kLead = 0xA1;
constexpr std::uint8_t kErrorFlag = 0x80;
constexpr std::size_t kPasswordLength = 16;
constexpr int kSubRecords = 8;

struct EthRequest {
    std::uint8_t command;
    const std::uint8_t* param;  // 4 bytes
    const std::uint8_t* data;   // after the header
    std::size_t dataLength;
};

// A handler appends its reply data after the echoed header; false answers with the error flag.
using EthHandler = bool (*)(Coupler&, const EthRequest&, Bytes& reply);

bool readMain(Coupler& c, const EthRequest& r, Bytes& reply) {
    int address = getU16(r.param), length = getU16(r.param + 2);
    if (length == 0 || !c.blockRange(address, length)) return false;
    reply[4] = static_cast<std::uint8_t>((length / 2) >> 8);  // the length field counts words
    reply[5] = static_cast<std::uint8_t>((length / 2) & 0xFF);
    const std::uint8_t* at = c.blockAt(address);
    reply.insert(reply.end(), at, at + length);
    return true;
}

bool passwordMatches(const Coupler& c, const std::uint8_t* given) {
    const std::uint8_t* stored = c.blockAt(16);
    return std::strncmp(reinterpret_cast<const char*>(stored), reinterpret_cast<const char*>(given),
                        kPasswordLength) == 0;
}

bool writeMain(Coupler& c, const EthRequest& r, Bytes&) {
    int address = getU16(r.param), length = getU16(r.param + 2);
    if (r.dataLength < kPasswordLength + static_cast<std::size_t>(length) || !c.blockRange(address, length))
        return false;
    if (c.eth.checkPassword && !passwordMatches(c, r.data)) return false;
    std::memcpy(c.blockAt(address), r.data + kPasswordLength, static_cast<std::size_t>(length));
    return true;
}

bool searchSubs(Coupler& c, const EthRequest&, Bytes& reply) {
    for (int p = 1; p <= kSubRecords; ++p) {
        const SubModule* m = c.sub(p);
        reply.push_back(m ? static_cast<std::uint8_t>(p) : 0);
        Bytes rec;
        putIdentity(rec, m ? m->reported() : Identity{0, 0, 0, 0, 0, {}});
        reply.insert(reply.end(), rec.begin(), rec.end());
    }
    return true;
}

bool readSub(Coupler& c, const EthRequest& r, Bytes& reply) {
    int count = r.param[3];
    std::size_t at = reply.size();
    reply.resize(at + static_cast<std::size_t>(count) * 2);
    return c.readSub(r.param[0], r.param[1], count, reply.data() + at) == SubAccess::Ok;
}

// Writes carry the module's mode and serial number before the data, as its search reported them.
bool writeSubRegisters(Coupler& c, const EthRequest& r, bool property) {
    constexpr std::size_t kIdentityLength = 6;
    int position = r.param[0], start = r.param[1], count = r.param[3];
    const SubModule* m = c.sub(position);
    std::size_t need = kIdentityLength + static_cast<std::size_t>(count) * 2;
    if (!m || count == 0 || r.dataLength < need) return false;
    Identity id = m->reported();
    if (getU16(r.data) != id.mode || std::memcmp(r.data + 2, id.serial.data(), 4) != 0) return false;
    return c.writeSub(position, start, r.data + kIdentityLength, count * 2, property) == SubAccess::Ok;
}

bool writeSubData(Coupler& c, const EthRequest& r, Bytes&) { return writeSubRegisters(c, r, false); }
bool writeSubProperty(Coupler& c, const EthRequest& r, Bytes&) { return writeSubRegisters(c, r, true); }

bool reboot(Coupler& c, const EthRequest&, Bytes&) {
    ++c.reboots;
    return true;
}

bool rebootSub(Coupler& c, const EthRequest& r, Bytes&) {
    if (!c.sub(r.param[0])) return false;
    ++c.subReboots;
    return true;
}

constexpr struct {
    std::uint8_t command;
    EthHandler handler;
} kEthCommands[] = {
    {0x01, readMain},    {0x02, writeMain}, {0x03, searchSubs}, {0x04, readSub},
    {0x05, writeSubData}, {0x06, reboot},   {0x07, rebootSub},  {0x09, writeSubProperty},
};

Bytes searchReply(const Coupler& c) {
    const Identity& id = c.identity();
    Bytes r = {0x00, 0x02, 0x00, 0x02};
    r.insert(r.end(), c.eth.mac.begin(), c.eth.mac.end());
    r.push_back(0x00);
    putU16(r, id.type);
    putU16(r, id.mode);
    r.push_back(0x00);
    // The Ethernet coupler sends its hardware version minor byte first (byte 16 the minor,
    // byte 17 the major number), unlike every other word of the reply.
    r.push_back(static_cast<std::uint8_t>(id.hardVer));
    r.push_back(static_cast<std::uint8_t>(id.hardVer >> 8));
    std::uint8_t ip[4];
    std::memcpy(ip, &c.eth.ipNet, 4);
    r.insert(r.end(), ip, ip + 4);
    putU16(r, id.softVer);
    return r;
}

}  // namespace

bool isEthSearch(const Bytes& d) { return d.size() >= 2 && d[0] == kLead && d[1] == 0x15; }

std::optional<Bytes> ethReply(Coupler& c, const Bytes& d) {
    if (isEthSearch(d)) return searchReply(c);
    if (d.size() < kEthHeaderLength || d[0] != kLead) return std::nullopt;
    if (std::memcmp(d.data() + 6, c.eth.mac.data(), 6) != 0) return std::nullopt;
    EthRequest r{d[1], d.data() + 2, d.data() + kEthHeaderLength, d.size() - kEthHeaderLength};
    Bytes reply(d.begin(), d.begin() + kEthHeaderLength);
    for (const auto& cmd : kEthCommands)
        if (cmd.command == r.command) {
            if (cmd.handler(c, r, reply)) return reply;
            break;
        }
    reply.resize(kEthHeaderLength);
    reply[1] = static_cast<std::uint8_t>(r.command | kErrorFlag);
    return reply;
}

}  // namespace vexa::sim::detail
