#include "sim/boot/BootHeader.h"

#include <algorithm>

namespace vexa::sim {

namespace {

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}
std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t get32(const std::uint8_t* p) { return get16(p) | static_cast<std::uint32_t>(get16(p + 2)) << 16; }

}  // namespace

std::uint32_t byteSum(const std::uint8_t* p, std::size_t n) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += p[i];
    return sum;
}

BootHeader BootHeader::forImage(const std::vector<std::uint8_t>& image) {
    BootHeader h;
    h.imageLength = static_cast<std::uint32_t>(image.size());
    h.imageSum = byteSum(image.data(), image.size());
    return h;
}

std::vector<std::uint8_t> BootHeader::encode(std::size_t extra) const {
    std::vector<std::uint8_t> out(kMarker.begin(), kMarker.end());
    put16(out, deviceType);
    put16(out, hardwareVersion);
    put16(out, firmwareVersion);
    put32(out, linkAddress);
    put32(out, imageLength);
    put32(out, imageSum);
    for (std::size_t i = 0; i < extra; ++i) out.push_back(static_cast<std::uint8_t>(0xA0 + i));
    return out;
}

std::optional<BootHeader> BootHeader::decode(const std::uint8_t* p, std::size_t n) {
    if (n < kLength || !std::equal(kMarker.begin(), kMarker.end(), p)) return std::nullopt;
    BootHeader h;
    h.deviceType = get16(p + 4);
    h.hardwareVersion = get16(p + 6);
    h.firmwareVersion = get16(p + 8);
    h.linkAddress = get32(p + 10);
    h.imageLength = get32(p + 14);
    h.imageSum = get32(p + 18);
    return h;
}

}  // namespace vexa::sim
