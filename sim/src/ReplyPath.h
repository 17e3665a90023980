#pragma once
// The one way a reply leaves any coupler: through its faults, now or after a delay.
#include <functional>

#include "Coupler.h"
#include "EventLoop.h"

namespace vexa::sim::detail {

// Puts one frame on the wire; false when it could not go out (the peer is gone).
using WireSend = std::function<bool(const Bytes&)>;

// `corruptAt` is the byte whose flip makes the transport's check fail.
void sendReply(EventLoop& loop, Coupler& c, const Bytes& reply, std::size_t corruptAt, const WireSend& send);

}  // namespace vexa::sim::detail
