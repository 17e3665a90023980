#pragma once
// The Ethernet coupler's UDP requests and replies.
#include <optional>

#include "Coupler.h"

namespace vexa::sim::detail {

constexpr std::size_t kEthHeaderLength = 13;
constexpr std::size_t kEthCorruptAt = 1;  // the command byte: a client takes the reply for another

bool isEthSearch(const Bytes& datagram);
// The reply to `datagram`, or nothing when the coupler stays quiet (not its MAC, too short).
std::optional<Bytes> ethReply(Coupler& c, const Bytes& datagram);

}  // namespace vexa::sim::detail
