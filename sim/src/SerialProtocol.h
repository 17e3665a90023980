#pragma once
// The RS-485 coupler's Modbus frames: RTU and ASCII framing, the private functions 0x46/0x47
// ("KVMB") and the standard register functions 0x03/0x10 for sub-module data.
#include <optional>

#include "Coupler.h"

namespace vexa::sim::detail {

// A frame as it came off the line: `body` is address, function and payload without the check.
struct SerialFrame {
    SerialFraming framing = SerialFraming::Rtu;
    Bytes body;
    bool checkOk = false;
};

constexpr std::size_t kSerialCorruptAt = 1;  // inside the checked part in both framings

// Nothing when `raw` does not even carry an address byte.
std::optional<SerialFrame> decodeSerial(const Bytes& raw);
Bytes encodeSerial(const Bytes& body, SerialFraming framing);

// Who on the line a request is for: the coupler at the station address, or a sub module at
// station + position - 1.
enum class SerialTarget { Coupler, Sub };
SerialTarget serialTarget(const Bytes& body);

// The expected length of an RTU frame from its first bytes, or 0 while it cannot be told.
std::size_t rtuFrameLength(const Bytes& raw);

// The reply body for a request addressed to `c` (position 0 for the coupler itself).
std::optional<Bytes> serialReply(Coupler& c, int position, const Bytes& body);

}  // namespace vexa::sim::detail
