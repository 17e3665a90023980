// Value texts typed by a user or a caller of the modify exports, parsed in every format, and
// the texts rendered from any raw bytes. A text that a format renders and then parses again
// must give back the same bytes.
// Input: format, item length, bit number, then the text (also used as raw bytes).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "main/ValueFormat.h"

using namespace vexa;

namespace {

// Bytes a format keeps, for the formats whose rendering is exact (the float shows seven
// decimals, texts stop at a NUL, dates and bits are shown but not parsed back).
int exactBytes(const PropertyItem& it) {
    static constexpr struct {
        int format;
        int bytes;  // -1: the item's length
    } kExact[] = {
        {kFmtByteDec, 1},  {kFmtByteHex, 1},  {kFmtHexBytes, -1}, {kFmtBe16Dec, 2},
        {kFmtBe16Hex, 2},  {kFmtBe32Dec, 4},  {kFmtBe32Hex, 4},   {kFmtBe32Unsigned, 4},
        {kFmtMac, 6},      {kFmtIPv4, 4},     {kFmtTenths, 2},    {kFmtPackedDate, 2},
    };
    for (const auto& e : kExact)
        if (e.format == it.format) return e.bytes < 0 ? std::min<int>(it.length, kRawSize) : e.bytes;
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    PropertyItem it;
    it.format = data[0] % 24;  // a few codes past the table too
    it.length = static_cast<std::uint16_t>(data[1] % 40);
    it.bitNumber = static_cast<std::int16_t>(static_cast<std::int8_t>(data[2]));
    const std::string text(reinterpret_cast<const char*>(data + 3), size - 3);

    // Text -> raw, then raw -> text.
    if (parseText(it, text)) renderText(it);
    if (it.text.size() >= static_cast<std::size_t>(kTextSize)) __builtin_trap();

    // Raw -> text -> raw.
    PropertyItem r;
    r.format = it.format;
    r.length = it.length;
    r.bitNumber = it.bitNumber;
    std::memcpy(r.raw, text.data(), std::min<std::size_t>(text.size(), kRawSize));
    renderText(r);
    if (r.text.size() >= static_cast<std::size_t>(kTextSize)) __builtin_trap();
    const int n = exactBytes(r);
    PropertyItem back = r;
    for (auto& b : back.raw) b = static_cast<std::uint8_t>(~b);  // a parse must write every byte it owns
    if (n > 0 && formatParses(r.format) && parseText(back, r.text) && std::memcmp(back.raw, r.raw, n) != 0)
        __builtin_trap();
    return 0;
}
