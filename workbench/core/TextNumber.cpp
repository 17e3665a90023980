#include "core/TextNumber.h"

#include <cctype>

namespace vexadesk {

namespace {

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    return v < base ? v : -1;
}

std::size_t skipSpaces(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i]))) ++i;
    return i;
}

// Digits from `i` on; false without any digit or when the value passes `limit`.
bool digits(std::string_view t, std::size_t i, int base, std::uint64_t limit, std::uint64_t& out) {
    std::uint64_t v = 0;
    std::size_t start = i;
    for (int d; i < t.size() && (d = digitValue(t[i], base)) >= 0; ++i) {
        v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (v > limit) return false;
    }
    if (i == start) return false;
    out = v;
    return true;
}

}  // namespace

bool parseHex(std::string_view text, std::uint32_t& out) {
    std::size_t i = skipSpaces(text);
    const bool prefix = i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X');
    if (prefix) i += 2;
    std::uint64_t v = 0;
    if (prefix && (i >= text.size() || digitValue(text[i], 16) < 0))
        v = 0;  // "0x" alone is the 0 in front of it, as "%x" reads it
    else if (!digits(text, i, 16, 0xFFFFFFFFu, v))
        return false;
    out = static_cast<std::uint32_t>(v);
    return true;
}

bool parseDec(std::string_view text, int& out) {
    std::size_t i = skipSpaces(text);
    bool neg = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) neg = text[i++] == '-';
    std::uint64_t v;
    if (!digits(text, i, 10, neg ? 2147483648ull : 2147483647ull, v)) return false;
    out = neg ? static_cast<int>(-static_cast<std::int64_t>(v)) : static_cast<int>(v);
    return true;
}

int decOrZero(std::string_view text) {
    int v = 0;
    return parseDec(text, v) ? v : 0;
}

}  // namespace vexadesk
