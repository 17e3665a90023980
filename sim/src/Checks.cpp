#include "Checks.h"

#include <array>

namespace vexa::sim::detail {

namespace {

constexpr std::array<std::uint16_t, 256> makeCrcTable() {
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t c = static_cast<std::uint16_t>(i);
        for (int b = 0; b < 8; ++b) c = (c & 1) ? static_cast<std::uint16_t>((c >> 1) ^ 0xA001) : static_cast<std::uint16_t>(c >> 1);
        t[i] = c;
    }
    return t;
}

constexpr auto kCrcTable = makeCrcTable();

}  // namespace

std::uint16_t crc16(const std::uint8_t* data, std::size_t len) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < len; ++i) crc = static_cast<std::uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}

std::uint8_t lrc(const std::uint8_t* data, std::size_t len) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < len; ++i) sum = static_cast<std::uint8_t>(sum + data[i]);
    return static_cast<std::uint8_t>(-sum);
}

std::uint8_t xorOf(const std::uint8_t* data, std::size_t len) {
    std::uint8_t x = 0;
    for (std::size_t i = 0; i < len; ++i) x ^= data[i];
    return x;
}

}  // namespace vexa::sim::detail
