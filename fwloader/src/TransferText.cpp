#include "TransferText.h"

#include <cstdio>

namespace fwl {

// The formats come from the shared table, so that programs can translate what is recorded.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

std::string deviceErrorText(std::uint16_t code) {
    for (const vexa::fwtext::DeviceError& e : vexa::fwtext::kDeviceErrors)
        if (e.code == code) return e.text.chinese;
    char text[48];
    std::snprintf(text, sizeof text, vexa::fwtext::kDeviceErrorCode.chinese, static_cast<unsigned>(code));
    return text;
}

std::string blockMismatchText(unsigned current, unsigned wanted) {
    char text[128];
    std::snprintf(text, sizeof text, vexa::fwtext::kBlockMismatch.chinese, current, wanted);
    return text;
}

#pragma GCC diagnostic pop

}  // namespace fwl
