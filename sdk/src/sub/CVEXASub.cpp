#include "CVEXASub.h"

namespace vexa {

void CVEXASub::ApplyBlock(int, int, int, const std::uint8_t*, int) {}

void CVEXASub::GetIoChannels(IoMapRecord*, int, int* count) {
    if (count) *count = 0;
}

}  // namespace vexa
