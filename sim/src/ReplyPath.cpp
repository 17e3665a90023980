#include "ReplyPath.h"

namespace vexa::sim::detail {

void sendReply(EventLoop& loop, Coupler& c, const Bytes& reply, std::size_t corruptAt, const WireSend& send) {
    for (auto& e : c.planReply(reply, corruptAt)) {
        if (e.delayMs <= 0) {
            if (send(e.bytes)) c.countReply();
            continue;
        }
        loop.after(e.delayMs, [&c, send, bytes = std::move(e.bytes)] {
            if (send(bytes)) c.countReply();
        });
    }
}

}  // namespace vexa::sim::detail
