#include "wire/Coupler.h"

namespace vexa::wire {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void putBe16(std::vector<std::uint8_t>& out, int v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

}  // namespace

void ethHeader(std::vector<std::uint8_t>& out, std::uint8_t command, std::uint8_t p0, std::uint8_t p1, std::uint8_t p2,
               std::uint8_t p3, const std::uint8_t* mac) {
    out.assign({kEthStart, command, p0, p1, p2, p3});
    for (int i = 0; i < 6; ++i) out.push_back(mac ? mac[i] : 0);
    out.push_back(kEthHeaderEnd);
}

void ethSubWrite(std::vector<std::uint8_t>& out, std::uint8_t command, const std::uint8_t* mac, int subAddr,
                 int startReg, std::uint16_t mode, const std::uint8_t* serial, const std::uint8_t* data, int bytes) {
    ethHeader(out, command, static_cast<std::uint8_t>(subAddr), static_cast<std::uint8_t>(startReg), 0,
              static_cast<std::uint8_t>(bytes / 2), mac);
    putBe16(out, mode);
    for (int i = 0; i < 4; ++i) out.push_back(serial ? serial[i] : 0);
    if (data && bytes > 0) out.insert(out.end(), data, data + bytes);
}

void serialPrivate(std::vector<std::uint8_t>& out, int address, std::uint8_t function, std::uint8_t subFunction) {
    out.assign({static_cast<std::uint8_t>(address), function});
    out.insert(out.end(), kPrivateMagic, kPrivateMagic + 4);
    out.push_back(subFunction);
}

void appendRegisterWrite(std::vector<std::uint8_t>& out, int startReg, const std::uint8_t* data, int bytes) {
    putBe16(out, startReg);
    putBe16(out, bytes / 2);
    out.push_back(static_cast<std::uint8_t>(bytes));
    if (data && bytes > 0) out.insert(out.end(), data, data + bytes);
}

bool parseMac(const char* text, std::uint8_t out[6]) {
    if (!text) return false;
    const char* p = text;
    while (isBlank(*p)) ++p;
    std::uint8_t mac[6];
    for (int i = 0; i < 6; ++i) {
        if (i > 0 && *p++ != ':') return false;
        int v = hexDigit(*p);
        if (v < 0) return false;
        ++p;
        const int lo = hexDigit(*p);
        if (lo >= 0) {
            v = v << 4 | lo;
            ++p;
        }
        mac[i] = static_cast<std::uint8_t>(v);
    }
    while (isBlank(*p)) ++p;
    if (*p != '\0') return false;
    for (int i = 0; i < 6; ++i) out[i] = mac[i];
    return true;
}

std::string macText(const std::uint8_t mac[6]) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(17);
    for (int i = 0; i < 6; ++i) {
        if (i) s.push_back(':');
        s.push_back(kDigits[mac[i] >> 4]);
        s.push_back(kDigits[mac[i] & 0x0F]);
    }
    return s;
}

}  // namespace vexa::wire
