#pragma once
#include <cstdint>
#include <vector>

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
    // Station a built frame (RTU or ASCII) is addressed to; -1 when it names none.
    static int StationOf(const std::vector<std::uint8_t>& frame);

private:
    SerialPort port_;
    int lastStation_ = -1;  // station the last request went to
    int owedStation_ = -1;  // station whose last request timed out: its reply may still come
};

}  // namespace vexa
