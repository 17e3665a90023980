#pragma once
// The USB coupler's firmware download (command 0xA5): begin (0x55), numbered 32-byte pieces
// (0xAA, number, data; the last numbered 0xFFFF), end (0x5A). The image is kept as it came.
#include "HidCommands.h"

namespace vexa::sim::detail {

Outcome firmwareUpdate(Coupler& c, const HidRequest& r, Bytes& body);

}  // namespace vexa::sim::detail
