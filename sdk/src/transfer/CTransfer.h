#pragma once
// Moves one built frame to a coupler and brings one reply back into the same message.
// One subclass per transport; every exchange is request, then one reply, on the calling thread.
#include <string>

#include "platform/SerialPort.h"

namespace vexa {

class CVEXAMsg;

enum TransferKind { kTransferEthernet = 0, kTransferSerial = 1, kTransferHid = 2 };

class CTransfer {
public:
    virtual ~CTransfer() = default;
    CTransfer() = default;
    CTransfer(const CTransfer&) = delete;
    CTransfer& operator=(const CTransfer&) = delete;

    virtual int Open() = 0;                  // non-zero on success
    virtual int Receive(CVEXAMsg& msg) = 0;  // bytes received; 0 when nothing arrived
    virtual int Send(CVEXAMsg& msg) = 0;     // bytes sent; 0 on failure
    virtual int Close() = 0;                 // 0

    void SetEthernet(int kind, const std::string& address, int port, int localPort, int timeoutMs) {
        kind_ = kind;
        address_ = address;
        port_ = port;
        localPort_ = localPort;
        timeoutMs_ = timeoutMs;
    }
    void SetSerial(int kind, const std::string& port, const SerialSettings& line, int timeoutMs) {
        kind_ = kind;
        serialPort_ = port;
        line_ = line;
        timeoutMs_ = timeoutMs;
    }
    void SetHid(int kind, const std::string& path, int timeoutMs) {
        kind_ = kind;
        hidPath_ = path;
        timeoutMs_ = timeoutMs;
    }

    int kind() const { return kind_; }
    int timeoutMs() const { return timeoutMs_; }
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }

protected:
    int kind_ = 0;
    // Ethernet
    std::string address_;  // empty: broadcast
    int port_ = 0;
    int localPort_ = 0;
    // Serial
    std::string serialPort_;
    SerialSettings line_;
    // HID
    std::string hidPath_;
    int timeoutMs_ = 0;
};

}  // namespace vexa
