#pragma once
// The number and unit inside a process value as the device library renders it for the data
// page: "  12.345 mA---0x04d2----Normal", "-3.2V", "23.4 ℃", "75 %", "0x1F", "1.5e3 转/分".
// Whatever follows a dash separator (raw register, channel state) is not part of the value.
// Texts that are not a value ("Close", "----Normal", "---", "", "192.168.1.1", "V1.02") give
// false. Locale-independent; never throws.
#include <string>
#include <string_view>

namespace vexadesk {

// On success `value` is finite and `unit` is the unit as written (possibly empty, UTF-8); on
// failure both are left untouched.
bool parseEngineering(const std::string& text, double& value, std::string& unit);

// The grammar, spelled out so callers and tests agree on it:
//   blanks? sign? number blanks? unit? blanks? (separator anything)?
//   number    = digits ("." digits?)? exponent? | "." digits exponent? | "0x" hexdigits
//   unit      = a letter, "%" or non-ASCII character, then letters, digits, non-ASCII and
//               "%/^*_." (no blanks, no dash); a hex number takes a unit only after a blank
//   separator = "--"…, or a single "-" after a blank
//   blanks    = ASCII white space, U+00A0, U+3000; malformed UTF-8 is never part of a unit
// Hexadecimal numbers are integers of up to 64 bits; decimal ones must fit a double.

}  // namespace vexadesk
