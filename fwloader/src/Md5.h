#pragma once
// MD5 of a byte range of an open file, for the upgrade file's trailer.
#include <array>
#include <cstdint>

namespace fwl {

class CMd5A {
public:
    using Digest = std::array<std::uint8_t, 16>;

    // Digest of `count` bytes from `start` of the file open as `fd`, read in pieces of 1024 bytes.
    // All zero when the file is shorter than start + count or cannot be read.
    static Digest fileRegion(int fd, std::uint64_t start, std::uint64_t count);
};

}  // namespace fwl
