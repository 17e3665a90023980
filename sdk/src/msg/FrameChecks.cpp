#include "FrameChecks.h"

namespace vexa {

std::uint8_t xor8(const std::uint8_t* data, std::size_t len) {
    std::uint8_t x = 0;
    for (std::size_t i = 0; i < len; ++i) x ^= data[i];
    return x;
}

}  // namespace vexa
