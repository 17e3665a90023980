#include "platform/HidBackend.h"

#include <cstdlib>
#include <cstring>

namespace vexa {

std::unique_ptr<HidBackend> makeHidBackend() {
    const char* env = std::getenv("VEXA_HID");
    if (env && std::strncmp(env, "sim:", 4) == 0) return makeSimHidBackend(env + 4);
    return makeHidapiBackend();
}

}  // namespace vexa
