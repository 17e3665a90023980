#include "CMbSerialLink.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace vexa::mb {

bool CMbSerialLink::open() {
    if (settings_.baud <= 0) return false;
    SerialSettings s;
    s.baud = settings_.baud;
    s.dataBits = settings_.dataBits;
    s.parity = settings_.parity;
    s.stopBits = settings_.stopBits;
    s.rtsControl = settings_.ctsOutFlow ? 2 : settings_.rtsControl;
    if (!port_.open(settings_.device, s)) return false;
    port_.setTimeouts(intervalMs(settings_.baud), settings_.readTimeoutMs, kWriteTimeoutMs);
    return true;
}

void CMbSerialLink::discardInput() {
    // Input and output at once: one call per request instead of two.
    ::tcflush(port_.fd(), TCIOFLUSH);
}

int CMbSerialLink::write(const std::uint8_t* data, int len) {
    const int n = port_.write(data, len);
    notify(KMB_NOTIFY_WRITE, n > 0 ? n : 0);
    return n > 0 ? n : 0;
}

int CMbSerialLink::readSome(std::uint8_t* buf, int cap) {
    const ssize_t n = ::read(port_.fd(), buf, static_cast<size_t>(cap));
    if (n < 0) return (errno == EAGAIN || errno == EINTR) ? -1 : 0;
    return static_cast<int>(n);
}

void CMbSerialLink::notify(int direction, int bytes) const {
    if (notify_) notify_(static_cast<unsigned>(message_), direction, bytes);
}

}  // namespace vexa::mb
