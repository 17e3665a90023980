#include "CEthTransfer.h"

#include <sys/socket.h>

#include "msg/CVEXAMsg.h"

namespace vexa {

namespace {
constexpr int kMaxDrain = 64;  // stale datagrams dropped before one request
}

int CEthTransfer::Open() {
    if (!socket_) {
        auto s = std::make_unique<Socket>();
        if (!s->Create(static_cast<unsigned>(localPort_), SOCK_DGRAM)) return 0;
        int one = 1;
        s->SetSockOpt(SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        socket_ = std::move(s);
    }
    return socket_->IsValid() ? 1 : 0;
}

int CEthTransfer::Send(CVEXAMsg& msg) {
    if (!socket_ || !socket_->IsValid()) return 0;
    // Whatever is waiting now answers an earlier request; it must not be taken for this reply.
    std::uint8_t scratch[kRecvCapacity];
    std::string from;
    unsigned fromPort;
    for (int i = 0; i < kMaxDrain && socket_->WaitReadable(0) > 0; ++i)
        if (socket_->ReceiveFrom(scratch, sizeof scratch, from, fromPort) < 0) break;
    const auto& frame = msg.sendBuffer();
    if (frame.empty()) return 0;
    int n = socket_->SendTo(frame.data(), static_cast<int>(frame.size()), static_cast<unsigned>(port_),
                            address_.empty() ? nullptr : address_.c_str());
    return n > 0 ? n : 0;
}

int CEthTransfer::Receive(CVEXAMsg& msg) {
    if (!socket_ || !socket_->IsValid()) return 0;
    // A reply is taken the moment it arrives; a silent peer costs exactly the time-out.
    if (socket_->WaitReadable(timeoutMs_ > 0 ? timeoutMs_ : 0) <= 0) {
        // The reply may still come, late, and nothing in it tells it from the answer to the
        // next request of the same kind (a block read carries no sequence). Move to a fresh
        // local port so that it lands nowhere.
        if (localPort_ == 0) {
            socket_.reset();
            Open();
        }
        return 0;
    }
    std::string from;
    unsigned fromPort = 0;
    int n = socket_->ReceiveFrom(msg.recvBuffer(), kRecvCapacity, from, fromPort);
    if (n <= 0) return 0;
    msg.setRecvLength(n);
    msg.setPeerAddress(from);
    return n;
}

int CEthTransfer::Close() {
    socket_.reset();
    return 0;
}

}  // namespace vexa
