#include "BootPortKit.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace vexa::bootport {

bool copyPortText(const char* text, PortText& out) {
    if (!text) return false;
    const std::size_t n = ::strnlen(text, kPortTextSize);
    if (n == kPortTextSize) return false;
    std::memcpy(out.data(), text, n + 1);
    return true;
}

void pause(int ms) {
    const char* pacing = std::getenv("VEXA_BOOT_PACING");
    if (ms <= 0 || (pacing && std::strcmp(pacing, "0") == 0)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace vexa::bootport
