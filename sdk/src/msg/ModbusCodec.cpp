#include "ModbusCodec.h"

#include <array>

namespace vexa::mb {

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

int hexValue(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::uint16_t crc16(const std::uint8_t* data, std::size_t n) {
    static constexpr auto kTable = makeCrcTable();
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) crc = static_cast<std::uint16_t>((crc >> 8) ^ kTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}

std::uint8_t lrc(const std::uint8_t* data, std::size_t n) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum = static_cast<std::uint8_t>(sum + data[i]);
    return static_cast<std::uint8_t>(-sum);
}

void appendHex(std::vector<std::uint8_t>& out, std::uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out.push_back(static_cast<std::uint8_t>(kDigits[byte >> 4]));
    out.push_back(static_cast<std::uint8_t>(kDigits[byte & 0x0F]));
}

int decodeHex(const std::uint8_t* text, int n, std::uint8_t* out, int cap) {
    if (n < 0 || n % 2 != 0 || n / 2 > cap) return -1;
    for (int i = 0; i < n; i += 2) {
        int hi = hexValue(text[i]), lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0) return -1;
        out[i / 2] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return n / 2;
}

}  // namespace vexa::mb
