#pragma once
// What both boot plug-ins share: the bounded copy of a port text, the pauses between transport
// attempts, and the guard that keeps exceptions inside an export.
#include <array>
#include <cstddef>

namespace vexa::bootport {

// Room for a port text in a plug-in's own buffer, terminating zero included.
constexpr std::size_t kPortTextSize = 64;
using PortText = std::array<char, kPortTextSize>;

// Copies `text` into `out`; false (out untouched) for a null text or one that does not fit.
bool copyPortText(const char* text, PortText& out);

// Sleeps for ms, unless the environment sets VEXA_BOOT_PACING=0: then the fixed pauses that
// give a slow line or device time are skipped (benchmarks, fast simulated lines). Waits for a
// reply are the transport's and stay.
void pause(int ms);

// Runs an export's body; any exception ends it with `failure`.
template <typename Fn>
int guarded(int failure, Fn&& fn) noexcept {
    try {
        return fn();
    } catch (...) {
        return failure;
    }
}

}  // namespace vexa::bootport
