#pragma once
// Builds upgrade files for tests, valid and broken: 34 free bytes, H and P (u32 LE), a gap, the
// header block at H, the payload at P, and the MD5 of everything before it as the last 16 bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fwtest {

using Bytes = std::vector<std::uint8_t>;

struct UpfLayout {
    Bytes payload;
    std::optional<Bytes> header;         // default: the simulated boot loader's block for payload
    std::size_t gap = 0;                 // free bytes between offset 42 and H
    std::optional<std::uint32_t> h, p;   // stored offsets instead of the true ones
    std::optional<std::size_t> flipByte; // changed after the digest was taken
    bool badDigest = false;
};

Bytes buildUpf(const UpfLayout& layout);
// Deterministic bytes of every value, 0xFE and 0xFF included.
Bytes makePayload(std::size_t n, std::uint32_t seed = 1);
bool writeBytes(const std::string& path, const Bytes& bytes);

}  // namespace fwtest
