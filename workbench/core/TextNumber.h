#pragma once
// Numbers in settings and catalog text, parsed the way the stored files were written: "%x"
// (hexadecimal, optional 0x), "%d" (decimal, optional sign) and the lenient decimal of
// attributes ("12abc" is 12, "abc" is 0). Never throws; a value that does not fit 32 bits is
// refused rather than wrapped.
#include <cstdint>
#include <string_view>

namespace vexadesk {

// Leading spaces, optional 0x/0X, at least one hex digit; what follows is ignored.
bool parseHex(std::string_view text, std::uint32_t& out);
// Leading spaces, optional sign, at least one digit; what follows is ignored. int range only.
bool parseDec(std::string_view text, int& out);
// parseDec, or 0 when the text holds no number.
int decOrZero(std::string_view text);

// 0xRRGGBB <-> 0x00BBGGRR: the stored colour order and the one rows are painted with.
constexpr std::uint32_t swapRedBlue(std::uint32_t c) {
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

}  // namespace vexadesk
