#include "platform/TestKnobs.h"

#include <cstdlib>
#include <cstring>

namespace vexa {

int testSettingMs(const char* name, int fallback, int min, int max) {
    const char* env = name ? std::getenv(name) : nullptr;
    if (!env) return fallback;
    const int ms = std::atoi(env);
    return ms >= min && ms <= max ? ms : fallback;
}

bool bootPacing() {
    const char* pacing = std::getenv("VEXA_BOOT_PACING");
    return !(pacing && std::strcmp(pacing, "0") == 0);
}

}  // namespace vexa
