#include "CMbLink.h"

#include <algorithm>
#include <cstring>

#include "CMbMsg.h"
#include "platform/Net.h"

namespace vexa::mb {

int CMbLink::send(const CMbMsg& msg) {
    pendingLen_ = 0;
    discardInput();
    const auto& bytes = msg.sendBuffer();
    if (bytes.empty()) return 0;
    return write(bytes.data(), static_cast<int>(bytes.size()));
}

int CMbLink::receive(CMbMsg& msg) {
    std::uint8_t* buf = msg.receiveBuffer();
    constexpr int cap = CMbMsg::kReceiveCapacity;
    int got = std::min(pendingLen_, cap);
    std::memcpy(buf, pending_, static_cast<size_t>(got));
    pendingLen_ = 0;

    const auto deadline = Clock::now() + std::chrono::milliseconds(replyTimeoutMs());
    for (;;) {
        const int want = msg.frameLength(buf, got);
        if ((want > 0 && got >= want) || got >= cap) break;
        int wait = msUntil(deadline);
        if (got > 0 && idleGapMs() > 0) wait = std::min(wait, idleGapMs());
        if (wait <= 0 || waitReadable(fd(), wait) <= 0) break;
        const int n = readSome(buf + got, cap - got);
        if (n == 0) break;
        if (n > 0) got += n;
    }

    const int want = msg.frameLength(buf, got);
    if (want > 0 && got > want) {
        pendingLen_ = got - want;
        std::memcpy(pending_, buf + want, static_cast<size_t>(pendingLen_));
        got = want;
    }
    msg.setReceivedLength(got);
    received(got);
    return got;
}

}  // namespace vexa::mb
