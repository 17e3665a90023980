#include "CComTransfer.h"

#include <cstdlib>

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

int CComTransfer::StationOf(const std::vector<std::uint8_t>& frame) {
    if (frame.empty()) return -1;
    if (frame[0] != ':') return frame[0];
    // ASCII: the first two hex digits.
    if (frame.size() < 3) return -1;
    char hex[3] = {static_cast<char>(frame[1]), static_cast<char>(frame[2]), 0};
    char* end = nullptr;
    long v = std::strtol(hex, &end, 16);
    return end == hex + 2 ? static_cast<int>(v) : -1;
}

int CComTransfer::Open() {
    port_.close();
    owedStation_ = -1;
    if (line_.baud <= 0) return 0;
    SerialSettings s = line_;
    s.dtrControl &= 3;
    s.rtsControl &= 3;
    if (!port_.open(serialPort_, s)) return 0;
    // The caller's time-out argument does not change these.
    port_.setTimeouts(ReadIntervalMs(line_.baud), kReadTotalMs, 0);
    return 1;
}

int CComTransfer::Send(CVEXAMsg& msg) {
    if (!port_.isOpen()) return 0;
    const auto& frame = msg.sendBuffer();
    if (frame.empty()) return 0;
    // The reply of a request that timed out may still be on its way. A reply names its station,
    // but nothing else tells which request of that station it answers: before asking the same
    // station again, wait one read time for the owed reply and drop it.
    const int station = StationOf(frame);
    if (owedStation_ >= 0 && owedStation_ == station) {
        std::uint8_t late[kRecvCapacity];
        port_.read(late, kRecvCapacity);
    }
    owedStation_ = -1;
    lastStation_ = station;
    port_.purgeInput();
    int n = port_.write(frame.data(), static_cast<int>(frame.size()));
    return n > 0 ? n : 0;
}

int CComTransfer::Receive(CVEXAMsg& msg) {
    if (!port_.isOpen()) return 0;
    int n = port_.read(msg.recvBuffer(), kRecvCapacity);
    if (n == 0) owedStation_ = lastStation_;
    if (n <= 0) return 0;
    msg.setRecvLength(n);
    return n;
}

int CComTransfer::Close() {
    port_.close();
    return 0;
}

}  // namespace vexa
