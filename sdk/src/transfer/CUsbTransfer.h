#pragma once
#include <memory>

#include "CTransfer.h"
#include "platform/HidBackend.h"

namespace vexa {

// The USB coupler's HID link: one 65-byte report (report ID 0, then the frame) each way.
class CUsbTransfer : public CTransfer {
public:
    static constexpr int kReportSize = 65;
    static constexpr int kDefaultTimeoutMs = 6000;

    ~CUsbTransfer() override { Close(); }
    int Open() override;
    int Receive(CVEXAMsg& msg) override;
    int Send(CVEXAMsg& msg) override;
    int Close() override;

    // Reply wait in ms: 6000, or VEXA_TEST_HID_TIMEOUT_MS when a test shortens it.
    static int ReplyTimeoutMs();

private:
    std::unique_ptr<HidDevice> device_;
    bool replyOwed_ = false;  // the last request timed out; its reply may still come
};

}  // namespace vexa
