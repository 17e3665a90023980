#include "CVEXASub.h"

namespace vexa {

void CVEXASub::ApplyBlock(int, int, int, const std::uint8_t*, int) {}

}  // namespace vexa
