#include "core/EngineeringValue.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace vexadesk {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

int hexDigit(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Length of the well-formed UTF-8 sequence at `i` (non-ASCII lead byte), 0 when malformed.
std::size_t utf8Length(std::string_view t, std::size_t i) {
    const auto lead = static_cast<unsigned char>(t[i]);
    std::size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (lead > 0xF4 || n == 0 || i + n > t.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(t[i + k]) & 0xC0) != 0x80) return 0;
    return n;
}

// Length of the blank at `i`: ASCII white space, no-break space or ideographic space; else 0.
std::size_t blankLength(std::string_view t, std::size_t i) {
    const char c = t[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f') return 1;
    if (t.substr(i, 2) == "\xC2\xA0") return 2;
    if (t.substr(i, 3) == "\xE3\x80\x80") return 3;
    return 0;
}

std::size_t skipBlanks(std::string_view t, std::size_t i) {
    for (std::size_t n; i < t.size() && (n = blankLength(t, i)) > 0;) i += n;
    return i;
}

// Length of the unit character at `i`, 0 when the unit ends there. The first character must be
// a letter, "%" or a non-ASCII character, so "1.2.3" or "12:30" are not a number and a unit.
std::size_t unitCharLength(std::string_view t, std::size_t i, bool first) {
    const char c = t[i];
    if (static_cast<unsigned char>(c) >= 0x80) return blankLength(t, i) ? 0 : utf8Length(t, i);
    if (isAsciiLetter(c) || c == '%') return 1;
    if (first) return 0;
    return isDigit(c) || c == '/' || c == '^' || c == '*' || c == '_' || c == '.' ? 1 : 0;
}

// Decimal digits, point and exponent from `i`; the end of the number, or npos if there is none.
std::size_t scanDecimal(std::string_view t, std::size_t i) {
    std::size_t intDigits = 0, fracDigits = 0;
    while (i < t.size() && isDigit(t[i])) ++i, ++intDigits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && isDigit(t[i])) ++i, ++fracDigits;
    }
    if (intDigits + fracDigits == 0) return std::string_view::npos;
    // An exponent only when digits follow, so "5eV" is 5 electron-volts.
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
        if (j < t.size() && isDigit(t[j])) {
            while (j < t.size() && isDigit(t[j])) ++j;
            i = j;
        }
    }
    return i;
}

}  // namespace

bool parseEngineering(const std::string& text, double& value, std::string& unit) {
    const std::string_view t(text);
    std::size_t i = skipBlanks(t, 0);
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';

    double magnitude = 0;
    bool hex = false;
    if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        hex = true;
        std::size_t j = i + 2;
        std::uint64_t v = 0;
        for (int d; j < t.size() && (d = hexDigit(t[j])) >= 0; ++j) {
            if (v >> 60) return false;  // more than 64 bits
            v = (v << 4) | static_cast<unsigned>(d);
        }
        if (j == i + 2) return false;  // "0x" without digits
        magnitude = static_cast<double>(v);
        i = j;
    } else {
        const std::size_t end = scanDecimal(t, i);
        if (end == std::string_view::npos) return false;
        // from_chars, not strtod: the decimal point must not follow the user's locale.
        const auto r = std::from_chars(t.data() + i, t.data() + end, magnitude);
        if (r.ec != std::errc() || r.ptr != t.data() + end || !std::isfinite(magnitude)) return false;
        i = end;
    }

    std::size_t afterNumber = i;
    i = skipBlanks(t, i);
    const bool blankBeforeUnit = i > afterNumber;
    std::size_t unitStart = i;
    if (i < t.size() && unitCharLength(t, i, true) > 0) {
        // "0x1Fg" is a typo rather than 31 g; a hex value takes a unit only after a blank.
        if (hex && !blankBeforeUnit) return false;
        for (std::size_t n; i < t.size() && (n = unitCharLength(t, i, i == unitStart)) > 0;) i += n;
    }
    const std::size_t unitEnd = i;
    afterNumber = i;
    i = skipBlanks(t, i);
    if (i < t.size()) {
        // The rest must be a separator: "--", or "-" after a blank ("1.5 mV  -  0x04d2").
        // A single dash right after the value ("2024-01-05") is not one.
        const bool dash = t[i] == '-';
        const bool doubleDash = dash && i + 1 < t.size() && t[i + 1] == '-';
        if (!dash || (!doubleDash && i == afterNumber)) return false;
    }

    value = negative ? -magnitude : magnitude;
    unit.assign(t.substr(unitStart, unitEnd - unitStart));
    return true;
}

}  // namespace vexadesk
