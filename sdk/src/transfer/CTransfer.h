#pragma once
// Moves one built frame to a coupler and brings one reply back into the same message.
// One subclass per transport; every exchange is request, then one reply, on the calling thread.
#include <string>

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

    void SetEthernet(int kind, int datagram, const std::string& address, int port, int localPort, int timeoutMs) {
        kind_ = kind;
        datagram_ = datagram;
        address_ = address;
        port_ = port;
        localPort_ = localPort;
        timeoutMs_ = timeoutMs;
    }
    void SetSerial(int kind, const std::string& port, int baud, int dataBits, int parity, int stopBits, int dtr,
                   int rts, int reserved1, int reserved2, int timeoutMs) {
        kind_ = kind;
        serialPort_ = port;
        baud_ = baud;
        dataBits_ = dataBits;
        parity_ = parity;
        stopBits_ = stopBits;
        dtr_ = dtr;
        rts_ = rts;
        reserved1_ = reserved1;
        reserved2_ = reserved2;
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
    int datagram_ = 1;
    std::string address_;  // empty: broadcast
    int port_ = 0;
    int localPort_ = 0;
    // Serial
    std::string serialPort_;
    int baud_ = 9600, dataBits_ = 8, parity_ = 0, stopBits_ = 0, dtr_ = 0, rts_ = 0;
    int reserved1_ = 0, reserved2_ = 0;
    // HID
    std::string hidPath_;
    int timeoutMs_ = 0;
};

}  // namespace vexa
