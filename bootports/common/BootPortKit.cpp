#include "BootPortKit.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/TestKnobs.h"

namespace vexa::bootport {

bool copyPortText(const char* text, PortText& out) {
    if (!text) return false;
    const std::size_t n = ::strnlen(text, kPortTextSize);
    if (n == kPortTextSize) return false;
    std::memcpy(out.data(), text, n + 1);
    return true;
}

void pause(int ms) {
    if (ms <= 0 || !bootPacing()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace vexa::bootport
