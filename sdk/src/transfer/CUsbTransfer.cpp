#include "CUsbTransfer.h"

#include <cstring>

#include "platform/TestKnobs.h"
#include "msg/CVEXAMsg.h"

namespace vexa {

namespace {
constexpr int kMaxDrain = 16;
}

int CUsbTransfer::ReplyTimeoutMs() { return testSettingMs(kKnobHidTimeoutMs, kDefaultTimeoutMs); }

int CUsbTransfer::Open() {
    device_.reset();
    replyOwed_ = false;
    if (hidPath_.empty()) return 0;
    device_ = makeHidBackend()->open(hidPath_);
    return device_ ? 1 : 0;
}

int CUsbTransfer::Send(CVEXAMsg& msg) {
    if (!device_) return 0;
    const auto& frame = msg.sendBuffer();
    // A frame travels in one report; a longer one is refused rather than cut.
    if (frame.empty() || frame.size() > kReportSize - 1) return 0;
    // A report that arrived after an earlier request gave up answers that request, not this one.
    std::uint8_t stale[kReportSize];
    int drained = 0;
    while (drained < kMaxDrain && device_->read(stale, kReportSize, 0) > 0) ++drained;
    // The reply of a request that timed out may still be on its way, and nothing in a reply
    // tells which request it answers: give it one more reply time to arrive and drop it, so
    // that it is never taken for the answer to this request.
    if (replyOwed_ && drained == 0 && device_->read(stale, kReportSize, ReplyTimeoutMs()) > 0) {
        while (++drained < kMaxDrain && device_->read(stale, kReportSize, 0) > 0) {
        }
    }
    replyOwed_ = false;
    std::uint8_t report[kReportSize] = {};
    std::memcpy(report + 1, frame.data(), frame.size());
    int n = device_->write(report, kReportSize, ReplyTimeoutMs());
    return n == kReportSize ? kReportSize : 0;
}

int CUsbTransfer::Receive(CVEXAMsg& msg) {
    if (!device_) return 0;
    std::uint8_t report[kReportSize] = {};
    int n = device_->read(report, kReportSize, ReplyTimeoutMs());
    if (n == 0) replyOwed_ = true;
    if (n <= 1) return 0;
    std::memcpy(msg.recvBuffer(), report + 1, static_cast<size_t>(n - 1));
    msg.setRecvLength(n - 1);
    return n;
}

int CUsbTransfer::Close() {
    device_.reset();
    return 0;
}

}  // namespace vexa
