#pragma once
// The HID frame check, and the big-endian fields every device wire uses. The Modbus checks of
// the serial wire are in the wire library (wire/Modbus.h).
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vexa {

std::uint8_t xor8(const std::uint8_t* data, std::size_t len);

inline std::uint16_t be16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
inline std::uint32_t be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
inline void putBe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
inline void putBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// The identity most replies carry: manufacturer, type, mode, hardware and software version
// (big-endian words) and four serial bytes as received, into any record with those fields.
template <class Record>
void readIdentity(const std::uint8_t* p, Record& rec) {
    rec.manufacturer = be16(p);
    rec.type = be16(p + 2);
    rec.mode = be16(p + 4);
    rec.hardVer = be16(p + 6);
    rec.softVer = be16(p + 8);
    std::memcpy(rec.serial, p + 10, sizeof rec.serial);
}

}  // namespace vexa
