#include "CComTransfer.h"

#include "msg/CVEXAMsg.h"

namespace vexa {

namespace {
constexpr int kReadTotalMs = 1000;
}

int CComTransfer::ReadIntervalMs(int baud) {
    if (baud <= 0) return 0;
    int ms = 800000 / baud;
    return ms < 20 ? 20 : ms;
}

int CComTransfer::Open() {
    port_.close();
    replyOwed_ = false;
    if (baud_ <= 0) return 0;
    SerialSettings s;
    s.baud = baud_;
    s.dataBits = dataBits_;
    s.parity = parity_;
    s.stopBits = stopBits_;
    s.dtrControl = dtr_ & 3;
    s.rtsControl = rts_ & 3;
    if (!port_.open(serialPort_, s)) return 0;
    // The caller's time-out argument does not change these.
    port_.setTimeouts(ReadIntervalMs(baud_), kReadTotalMs, 0);
    return 1;
}

int CComTransfer::Send(CVEXAMsg& msg) {
    if (!port_.isOpen()) return 0;
    const auto& frame = msg.sendBuffer();
    if (frame.empty()) return 0;
    // The reply of a request that timed out may still be on its way, and a reply does not say
    // which request it answers: wait one read time for it and drop it before asking again.
    if (replyOwed_) {
        std::uint8_t late[kRecvCapacity];
        port_.read(late, kRecvCapacity);
        replyOwed_ = false;
    }
    port_.purgeInput();
    int n = port_.write(frame.data(), static_cast<int>(frame.size()));
    return n > 0 ? n : 0;
}

int CComTransfer::Receive(CVEXAMsg& msg) {
    if (!port_.isOpen()) return 0;
    int n = port_.read(msg.recvBuffer(), kRecvCapacity);
    if (n == 0) replyOwed_ = true;
    if (n <= 0) return 0;
    msg.setRecvLength(n);
    return n;
}

int CComTransfer::Close() {
    port_.close();
    return 0;
}

}  // namespace vexa
