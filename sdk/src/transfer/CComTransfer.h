#pragma once
#include "CTransfer.h"
#include "platform/SerialPort.h"

namespace vexa {

// A serial line to the RS-485 coupler.
class CComTransfer : public CTransfer {
public:
    ~CComTransfer() override { Close(); }
    int Open() override;
    int Receive(CVEXAMsg& msg) override;
    int Send(CVEXAMsg& msg) override;
    int Close() override;

    // Idle gap that ends a reply: max(20, 800000 / baud) ms; 0 for a baud rate that is no rate.
    static int ReadIntervalMs(int baud);

private:
    SerialPort port_;
    bool replyOwed_ = false;  // the last request timed out; its reply may still come
};

}  // namespace vexa
