#pragma once
// The header block as this simulated boot loader reads it. The host sends it verbatim from the
// upgrade file and never looks inside, so the layout is the boot loader's own:
//
//   0  4  marker "VXBH"
//   4  2  device type          (u16 LE)   must match            else 0x209
//   6  2  hardware version     (u16 LE)   must match            else 0x209
//   8  2  firmware version     (u16 LE)   not below installed   else 0x20A
//   10 4  link start address   (u32 LE)   not below the minimum else 0x207
//   14 4  image length         (u32 LE)   not above the maximum else 0x208
//   18 4  image sum            (u32 LE, sum of the image bytes)   checked after the last block
//   22 .. free (up to 128 bytes in all)
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vexa::sim {

struct BootHeader {
    std::uint16_t deviceType = 0x4017;
    std::uint16_t hardwareVersion = 0x0100;
    std::uint16_t firmwareVersion = 0x0101;
    std::uint32_t linkAddress = 0x08004000;
    std::uint32_t imageLength = 0;
    std::uint32_t imageSum = 0;

    static constexpr std::array<std::uint8_t, 4> kMarker{'V', 'X', 'B', 'H'};
    static constexpr std::size_t kLength = 22;

    // The block for `image`, padded with `extra` free bytes.
    static BootHeader forImage(const std::vector<std::uint8_t>& image);
    std::vector<std::uint8_t> encode(std::size_t extra = 0) const;
    // Empty when the marker or the length is wrong.
    static std::optional<BootHeader> decode(const std::uint8_t* p, std::size_t n);
};

// The image sum the header carries: the bytes added up in 32 bits.
std::uint32_t byteSum(const std::uint8_t* p, std::size_t n);

}  // namespace vexa::sim
