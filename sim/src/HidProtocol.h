#pragma once
// The USB HID coupler's frames: 0x7E, length, command, payload, XOR check, 0x7E, carried in one
// 65-byte report whose first byte is the report ID 0.
#include <optional>

#include "Coupler.h"

namespace vexa::sim::detail {

constexpr int kHidReportLength = 65;
constexpr std::size_t kHidCorruptAt = 3;  // the reply's command byte, behind the report ID

// The reply report (65 bytes) to an output report, or nothing when the coupler stays quiet.
std::optional<Bytes> hidReply(Coupler& c, const Bytes& report);

// The hello a device sends when a host connects.
std::string hidHello(const HidCouplerConfig& config);

}  // namespace vexa::sim::detail
