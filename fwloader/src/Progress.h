#pragma once
// Upgrade progress in hundredths of a percent.
#include <cstdint>

namespace fwl {

// count * 10000 / total in 64 bits (a 32-bit product wraps above ~430 kB and runs backwards);
// 10000 when nothing is counted, when total is 0 or once count has passed total.
constexpr int progressPermyriad(bool counting, std::uint32_t count, std::uint32_t total) {
    if (!counting || total == 0 || count > total) return 10000;
    return static_cast<int>(std::uint64_t{count} * 10000u / total);
}

}  // namespace fwl
