#pragma once
// Serial Modbus link on a termios port (real port or pseudo-terminal).
#include <string>

#include "CMbLink.h"
#include "platform/SerialPort.h"

namespace vexa::mb {

struct SerialLinkSettings {
    std::string device;  // as the caller named it, with the desktop device prefix
    int baud = 9600;
    int dataBits = 8;
    int parity = 0;
    int stopBits = 0;
    int rtsControl = 1;
    int ctsOutFlow = 0;
    int dsrOutFlow = 0;  // no termios counterpart; kept for the record
    int readTimeoutMs = 1000;
};

class CMbSerialLink final : public CMbLink {
public:
    static constexpr int kWriteTimeoutMs = 3000;

    explicit CMbSerialLink(SerialLinkSettings s) : settings_(std::move(s)) {}
    bool open() override;
    void close() override { port_.close(); }
    void setNotify(KMB_NotifyProc proc, int message) override {
        notify_ = proc;
        message_ = message;
    }

    // Quiet time that ends a frame: about 4.6 characters, at least 1 ms.
    static int intervalMs(int baud) { return (baud <= 0 || baud > 400000) ? 1 : 400000 / baud; }

protected:
    int fd() const override { return port_.fd(); }
    int replyTimeoutMs() const override { return settings_.readTimeoutMs; }
    int idleGapMs() const override { return intervalMs(settings_.baud); }
    void discardInput() override;
    int write(const std::uint8_t* data, int len) override;
    int readSome(std::uint8_t* buf, int cap) override;
    void received(int bytes) override { notify(KMB_NOTIFY_READ, bytes); }

private:
    void notify(int direction, int bytes) const;

    SerialLinkSettings settings_;
    SerialPort port_;
    KMB_NotifyProc notify_ = nullptr;
    int message_ = 0;
};

}  // namespace vexa::mb
