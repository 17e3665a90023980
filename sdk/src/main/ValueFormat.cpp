#include "ValueFormat.h"

#include <arpa/inet.h>

#include <cctype>
#include <cstdarg>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "msg/FrameChecks.h"
#include "wire/Coupler.h"

namespace vexa {

namespace {

std::string fmt(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char* f, ...) {
    char buf[kTextSize];
    va_list ap;
    va_start(ap, f);
    std::vsnprintf(buf, sizeof buf, f, ap);
    va_end(ap);
    return buf;
}

std::uint16_t host16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::int16_t sbe16(const std::uint8_t* p) { return static_cast<std::int16_t>(be16(p)); }

const char* skipSpace(const char* s) {
    while (*s && std::isspace(static_cast<unsigned char>(*s))) ++s;
    return s;
}

// The whole of `text` (blanks around it allowed) as a number in `base` within [lo, hi]. A text
// with anything after the number, or a value the item could never show back, is no value of the
// item: taking its leading digits or its value modulo the width would write something else
// than what the caller asked for.
bool wholeNumber(const std::string& text, int base, long long lo, long long hi, long long& out) {
    const char* s = skipSpace(text.c_str());
    if (!*s) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(s, &end, base);
    if (end == s || errno == ERANGE || *skipSpace(end) || v < lo || v > hi) return false;
    out = v;
    return true;
}

// Ranges of the numeric formats: what their rendering can show. A signed rendering of a 16- or
// 32-bit word also takes the unsigned spelling of the same bits.
constexpr long long kByteMax = 0xFF, kWordMax = 0xFFFF, kLongMax = 0xFFFFFFFFLL;
constexpr long long kWordMin = -0x8000, kLongMin = -0x80000000LL;

// ---- raw -> text ----
void rByteDec(PropertyItem& it) { it.setText(fmt("%d", it.raw[0])); }
void rByteHex(PropertyItem& it) { it.setText(fmt("%02x", it.raw[0])); }
void rHexBytes(PropertyItem& it) {
    std::string s;
    for (int i = 0; i < it.length && i < kRawSize; ++i) s += fmt("%02x ", it.raw[i]);
    it.setText(s);
}
void rFloat(PropertyItem& it) {
    // The device keeps each 16-bit half big-endian, low half first.
    std::uint8_t b[4] = {it.raw[1], it.raw[0], it.raw[3], it.raw[2]};
    float f;
    std::memcpy(&f, b, 4);
    it.floatValue = f;
    it.setText(fmt("%.7f", static_cast<double>(f)));
}
void rBe16Dec(PropertyItem& it) { it.setText(fmt("%d", be16(it.raw))); }
void rBe16Hex(PropertyItem& it) { it.setText(fmt("0x%x", be16(it.raw))); }
void rBe32Dec(PropertyItem& it) { it.setText(fmt("%d", static_cast<std::int32_t>(be32(it.raw)))); }
void rBe32Hex(PropertyItem& it) { it.setText(fmt("0x%x", be32(it.raw))); }
void rBe32Unsigned(PropertyItem& it) { it.setText(fmt("%u", be32(it.raw))); }
void rVersion(PropertyItem& it) {
    unsigned v = be16(it.raw);
    it.setText(fmt("V%d.%02d", v / 256, v % 256));
}
void rModelName(PropertyItem& it) {
    unsigned v = host16(it.raw);
    it.setText(v == 9 ? fmt("%s-%d000", "VEXA", v) : fmt("%s-%04x", "VEXA", v));
}
void rHost16Hex(PropertyItem& it) { it.setText(fmt("%04x", host16(it.raw))); }
void rMac(PropertyItem& it) { it.setText(wire::macText(it.raw)); }
void rIPv4(PropertyItem& it) { it.setText(fmt("%u.%u.%u.%u", it.raw[0], it.raw[1], it.raw[2], it.raw[3])); }
void rBit(PropertyItem& it) {
    if (it.bitNumber < 0 || it.bitNumber > 15) return;  // no such bit in a 16-bit register
    it.setText(fmt("%d", (be16(it.raw) >> it.bitNumber) & 1));
}
void rTenths(PropertyItem& it) {
    int a = sbe16(it.raw);
    int m = a < 0 ? -a : a;
    it.setText(fmt("%s%d.%d---0x%04x---Normal", a < 0 ? "-" : "", m / 10, m % 10, static_cast<unsigned>(a) & 0xFFFF));
}
void rText(PropertyItem& it) {
    int n = std::min<int>(it.length, kRawSize);
    it.setText(std::string(reinterpret_cast<const char*>(it.raw), strnlen(reinterpret_cast<const char*>(it.raw), static_cast<size_t>(n))));
}
void rDateBytes(PropertyItem& it) { it.setText(fmt("%02d-%02d-%02d", it.raw[0], it.raw[2], it.raw[4])); }
void rPackedDate(PropertyItem& it) {
    unsigned d = host16(it.raw);
    it.setText(fmt("20%02d-%02d-%02d", d / 512, (d / 32) % 16, d % 32));
}
void rSerial(PropertyItem& it) {
    it.setText(fmt("%.2X%.2X%.2X%.2X", it.raw[3], it.raw[2], it.raw[1], it.raw[0]));
}

// ---- text -> raw ----
bool pByteDec(PropertyItem& it, const std::string& t) {
    long long v;
    if (!wholeNumber(t, 10, 0, kByteMax, v)) return false;
    it.raw[0] = static_cast<std::uint8_t>(v);
    return true;
}
bool pByteHex(PropertyItem& it, const std::string& t) {
    long long v;
    if (!wholeNumber(t, 16, 0, kByteMax, v)) return false;
    it.raw[0] = static_cast<std::uint8_t>(v);
    return true;
}
bool pHexBytes(PropertyItem& it, const std::string& t) {
    std::uint8_t out[kRawSize];
    int n = std::min<int>(it.length, kRawSize);
    const char* s = t.c_str();
    for (int i = 0; i < n; ++i) {
        s = skipSpace(s);
        if (!std::isxdigit(static_cast<unsigned char>(s[0])) || !std::isxdigit(static_cast<unsigned char>(s[1])))
            return false;
        char pair[3] = {s[0], s[1], 0};
        out[i] = static_cast<std::uint8_t>(std::strtoul(pair, nullptr, 16));
        s += 2;
        if (*s && !std::isspace(static_cast<unsigned char>(*s))) return false;
    }
    if (*skipSpace(s)) return false;
    std::memcpy(it.raw, out, static_cast<size_t>(n));
    return true;
}
bool pFloat(PropertyItem& it, const std::string& t) {
    const char* s = skipSpace(t.c_str());
    char* end = nullptr;
    float f = std::strtof(s, &end);
    if (end == s || *skipSpace(end) || !std::isfinite(f)) return false;
    std::uint8_t b[4];
    std::memcpy(b, &f, 4);
    it.raw[0] = b[1];
    it.raw[1] = b[0];
    it.raw[2] = b[3];
    it.raw[3] = b[2];
    it.floatValue = f;
    return true;
}
bool pBe16Dec(PropertyItem& it, const std::string& t) {
    long long v;
    if (!wholeNumber(t, 10, kWordMin, kWordMax, v)) return false;
    putBe16(it.raw, static_cast<std::uint32_t>(v));
    return true;
}
bool pBe16Hex(PropertyItem& it, const std::string& t) {
    long long v;
    if (!wholeNumber(t, 16, 0, kWordMax, v)) return false;
    putBe16(it.raw, static_cast<std::uint32_t>(v));
    return true;
}
bool pBe32Dec(PropertyItem& it, const std::string& t) {
    long long v;
    if (!wholeNumber(t, 10, kLongMin, kLongMax, v)) return false;
    putBe32(it.raw, static_cast<std::uint32_t>(v));
    return true;
}
bool pBe32Hex(PropertyItem& it, const std::string& t) {
    long long v;
    if (!wholeNumber(t, 16, 0, kLongMax, v)) return false;
    putBe32(it.raw, static_cast<std::uint32_t>(v));
    return true;
}
bool pBe32Unsigned(PropertyItem& it, const std::string& t) {
    long long v;
    if (!wholeNumber(t, 10, 0, kLongMax, v)) return false;
    putBe32(it.raw, static_cast<std::uint32_t>(v));
    return true;
}
bool pMac(PropertyItem& it, const std::string& t) { return wire::parseMac(t.c_str(), it.raw); }
bool pIPv4(PropertyItem& it, const std::string& t) {
    in_addr a{};
    std::string s(skipSpace(t.c_str()));
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
    if (::inet_pton(AF_INET, s.c_str(), &a) != 1) return false;
    std::memcpy(it.raw, &a.s_addr, 4);  // network order
    return true;
}
// Tenths with an explicit sign and one fractional digit: "-1.5" -> -15.
bool pTenths(PropertyItem& it, const std::string& t) {
    const char* s = skipSpace(t.c_str());
    bool neg = false;
    if (*s == '-' || *s == '+') neg = *s++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
    long whole = 0;
    while (std::isdigit(static_cast<unsigned char>(*s))) {
        whole = whole * 10 + (*s++ - '0');
        if (whole > 100000) return false;
    }
    int frac = 0;
    if (*s == '.' && std::isdigit(static_cast<unsigned char>(s[1]))) frac = s[1] - '0';
    long v = whole * 10 + frac;
    if (neg) v = -v;
    if (v < -32768 || v > 32767) return false;
    putBe16(it.raw, static_cast<std::uint32_t>(v));
    return true;
}
bool pText(PropertyItem& it, const std::string& t) {
    // Never more than the item holds on the device; the rest of the raw field is zeroed.
    size_t n = std::min<size_t>(std::min<size_t>(it.length, kRawSize), t.size());
    std::memset(it.raw, 0, kRawSize);
    std::memcpy(it.raw, t.data(), n);
    return true;
}
// Three numbers 0..255 joined by "-", as shown: they go to bytes 0, 2 and 4; the bytes between
// belong to the module and keep what it sent.
bool pDateBytes(PropertyItem& it, const std::string& t) {
    int v[3];
    const char* s = skipSpace(t.c_str());
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && *s++ != '-') return false;
        if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
        int n = 0;
        while (std::isdigit(static_cast<unsigned char>(*s))) {
            n = n * 10 + (*s++ - '0');
            if (n > 255) return false;
        }
        v[i] = n;
    }
    if (*skipSpace(s)) return false;
    for (int i = 0; i < 3; ++i) it.raw[2 * i] = static_cast<std::uint8_t>(v[i]);
    return true;
}
// "yy-mm-dd", or "yyyy-mm-dd" as shown (the century is dropped).
bool pPackedDate(PropertyItem& it, const std::string& t) {
    int y, m, d;
    char tail;
    if (std::sscanf(t.c_str(), " %d-%d-%d %c", &y, &m, &d, &tail) != 3) return false;
    if (y >= 2000) y -= 2000;
    if (y < 0 || y > 127 || m < 1 || m > 12 || d < 1 || d > 31) return false;
    unsigned v = static_cast<unsigned>(y * 512 + (m * 32) % 512 + d % 32);
    it.raw[0] = static_cast<std::uint8_t>(v);
    it.raw[1] = static_cast<std::uint8_t>(v >> 8);
    return true;
}

struct FormatRow {
    int code;
    void (*render)(PropertyItem&);
    bool (*parse)(PropertyItem&, const std::string&);  // null: display only
};

constexpr FormatRow kFormats[] = {
    {kFmtByteDec, rByteDec, pByteDec},
    {kFmtByteHex, rByteHex, pByteHex},
    {kFmtHexBytes, rHexBytes, pHexBytes},
    {kFmtFloatSwapped, rFloat, pFloat},
    {kFmtBe16Dec, rBe16Dec, pBe16Dec},
    {kFmtBe16Hex, rBe16Hex, pBe16Hex},
    {kFmtBe32Dec, rBe32Dec, pBe32Dec},
    {kFmtBe32Hex, rBe32Hex, pBe32Hex},
    {kFmtBe32Unsigned, rBe32Unsigned, pBe32Unsigned},
    {kFmtVersion, rVersion, nullptr},
    {kFmtModelName, rModelName, nullptr},
    {kFmtHost16Hex, rHost16Hex, nullptr},
    {kFmtMac, rMac, pMac},
    {kFmtIPv4, rIPv4, pIPv4},
    {kFmtBit, rBit, nullptr},
    {kFmtTenths, rTenths, pTenths},
    {kFmtText, rText, pText},
    {kFmtDateBytes, rDateBytes, pDateBytes},
    {kFmtPackedDate, rPackedDate, pPackedDate},
    {kFmtSerial, rSerial, nullptr},
};

const FormatRow* rowFor(int code) {
    for (const auto& r : kFormats)
        if (r.code == code) return &r;
    return nullptr;
}

}  // namespace

void renderText(PropertyItem& item) {
    if (const FormatRow* r = rowFor(item.format)) r->render(item);
}

bool parseText(PropertyItem& item, const std::string& text) {
    const FormatRow* r = rowFor(item.format);
    if (!r || !r->parse) return true;
    return r->parse(item, text);
}

bool formatParses(int format) {
    const FormatRow* r = rowFor(format);
    return r && r->parse;
}

}  // namespace vexa
