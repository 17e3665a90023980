#include "SubText.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "main/ValueFormat.h"
#include "msg/FrameChecks.h"

namespace vexa {

namespace {

std::string vtext(const char* format, va_list ap) {
    char buf[kTextSize];
    std::vsnprintf(buf, sizeof buf, format, ap);
    return buf;
}

}  // namespace

std::string textf(const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::string s = vtext(format, ap);
    va_end(ap);
    return s;
}

// The table formats are checked by the family tests; the compiler cannot see them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
std::string tableText(const char* format, double value, unsigned code) {
    char buf[kTextSize];
    std::snprintf(buf, sizeof buf, format, value, code);
    return buf;
}
std::string tableText(const char* format, unsigned code) {
    char buf[kTextSize];
    std::snprintf(buf, sizeof buf, format, code);
    return buf;
}
#pragma GCC diagnostic pop

int channelOf(const std::string& key) {
    auto at = key.rfind('_');
    if (at == std::string::npos || at + 1 >= key.size()) return -1;
    int n = 0;
    for (std::size_t i = at + 1; i < key.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(key[i])) || n > 999) return -1;
        n = n * 10 + (key[i] - '0');
    }
    return n;
}

bool startsWith(const std::string& key, const char* prefix) { return key.rfind(prefix, 0) == 0; }

bool leadingNumber(const std::string& text, double& out) {
    const char* s = text.c_str();
    while (*s && std::isspace(static_cast<unsigned char>(*s))) ++s;
    char* end = nullptr;
    double v = std::strtod(s, &end);
    if (end == s || !std::isfinite(v)) return false;
    out = v;
    return true;
}

namespace {

// The integer formats, with the number base their text is read in and whether it may be
// negative; the width is the item's (a byte for the byte formats).
struct IntegerFormat {
    int format;
    int base;
    bool isSigned;
    bool oneByte;
};
constexpr IntegerFormat kIntegerFormats[] = {
    {kFmtByteDec, 10, true, true},   {kFmtByteHex, 16, false, true},  {kFmtBe16Dec, 10, true, false},
    {kFmtBe16Hex, 16, false, false}, {kFmtBe32Dec, 10, true, false},  {kFmtBe32Hex, 16, false, false},
    {kFmtBe32Unsigned, 10, false, false},
};

// A number text that fits an item of `length` bytes in an integer format; other formats pass.
bool integerFits(int format, int length, const std::string& text) {
    const IntegerFormat* f = nullptr;
    for (const auto& row : kIntegerFormats)
        if (row.format == format) f = &row;
    if (!f) return true;
    const char* s = text.c_str();
    while (*s && std::isspace(static_cast<unsigned char>(*s))) ++s;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(s, &end, f->base);
    if (end == s || errno == ERANGE) return false;
    int bits = f->oneByte ? 8 : length >= 4 ? 32 : 16;
    long long max = (1LL << bits) - 1;
    long long min = f->isSigned ? -(1LL << (bits - 1)) : 0;
    return v >= min && v <= max;
}

}  // namespace

bool parseAs(PropertyItem& item, int format, const std::string& text) {
    if (!integerFits(format, item.length, text)) return false;
    PropertyItem as = item;
    as.format = format;
    if (!parseText(as, text)) return false;
    std::memcpy(item.raw, as.raw, kRawSize);
    item.floatValue = as.floatValue;
    return true;
}

std::uint32_t lowWordFirst(const std::uint8_t* raw) {
    return static_cast<std::uint32_t>(be16(raw + 2)) << 16 | be16(raw);
}

void putLowWordFirst(std::uint8_t* raw, std::uint32_t v) {
    putBe16(raw, v & 0xFFFF);
    putBe16(raw + 2, v >> 16);
}

float deviceFloat(const std::uint8_t* raw) {
    std::uint8_t b[4] = {raw[1], raw[0], raw[3], raw[2]};
    float f;
    std::memcpy(&f, b, 4);
    return f;
}

void putDeviceFloat(std::uint8_t* raw, float f) {
    std::uint8_t b[4];
    std::memcpy(b, &f, 4);
    raw[0] = b[1];
    raw[1] = b[0];
    raw[2] = b[3];
    raw[3] = b[2];
}

}  // namespace vexa
