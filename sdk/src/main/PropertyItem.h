#pragma once
// One named value of a module, and the blocks that group a coupler's values.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vexa {

constexpr int kRawSize = 32;
constexpr int kTextSize = 260;  // including the terminator

struct PropertyItem {
    std::string key;
    std::int16_t blockId = 0;
    std::uint16_t offset = 0;  // byte offset in the block; sub modules: register address
    std::uint16_t length = 0;  // bytes
    int format = 0;            // ValueFormat code
    float floatValue = 0.0f;   // last value of format 3 (and of sub-module conversions)
    std::uint8_t raw[kRawSize] = {};
    std::string text;          // never longer than kTextSize - 1

    // Sub-module fields.
    std::int16_t bitNumber = 0;  // -1: kept locally, never written
    std::int16_t bitCount = 0;
    std::int32_t inputFlag = 0;    // 1: read-only
    std::int32_t processFlag = 0;  // 1: data item
    std::uint16_t marker = 1;      // 1 class item, 0 identity item

    void setText(const std::string& t) { text = t.size() < kTextSize ? t : t.substr(0, kTextSize - 1); }
    // Copies the text with its terminator into a caller buffer of kTextSize bytes.
    void copyText(char* out) const { std::memcpy(out, text.c_str(), text.size() + 1); }
};

struct PropertyBlock {
    std::int16_t id = 0;  // -1: the fixed block filled from the search record
    std::uint16_t length = 0;
    std::vector<PropertyItem> items;
};

// One row of a coupler's property table.
struct PropertyDef {
    const char* key;
    std::int16_t block;
    std::uint16_t offset;
    std::uint16_t length;
    std::uint8_t format;
};

}  // namespace vexa
