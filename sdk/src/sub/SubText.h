#pragma once
// Small helpers the sub-module families share: printf-style texts, channel numbers from keys,
// numbers from texts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "main/PropertyItem.h"

namespace vexa {

// printf into a text of at most kTextSize - 1 characters. The formats come from the families'
// tables; each caller passes exactly the arguments its table's column takes.
std::string textf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same with a format chosen at run time from a table.
std::string tableText(const char* format, double value, unsigned code);
std::string tableText(const char* format, unsigned code);

// The channel a key names: the digits after its last '_' ("DATA_AIN_12" is 12); -1 when none.
int channelOf(const std::string& key);

bool startsWith(const std::string& key, const char* prefix);

// The row of a family's handler table whose key prefix `key` starts with (longer prefixes
// listed first); null when none.
template <class Row, std::size_t N>
const Row* rowForKey(const Row (&rows)[N], const std::string& key) {
    for (const auto& r : rows)
        if (startsWith(key, r.prefix)) return &r;
    return nullptr;
}

// The row of a numeric code table (ranges, types); null when none.
template <class Row, std::size_t N>
const Row* rowForCode(const Row (&rows)[N], int code) {
    for (const auto& r : rows)
        if (r.code == code) return &r;
    return nullptr;
}

// The number a text starts with (blanks first allowed, anything after ignored, as a "%f" scan
// reads it); false when there is none or it is not finite.
bool leadingNumber(const std::string& text, double& out);

// Sets item.raw from `text` by a format of the common table (ValueFormat), refusing a number
// that does not fit the item (the common conversion would keep its low bytes). False leaves the
// raw bytes as they were.
bool parseAs(PropertyItem& item, int format, const std::string& text);

// The 32-bit value of registers kept low word first (each word big-endian).
std::uint32_t lowWordFirst(const std::uint8_t* raw);
void putLowWordFirst(std::uint8_t* raw, std::uint32_t v);

// A float kept as the device keeps it: bytes 1, 0, 3, 2 of the host float.
float deviceFloat(const std::uint8_t* raw);
void putDeviceFloat(std::uint8_t* raw, float f);

}  // namespace vexa
