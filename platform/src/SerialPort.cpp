#include "platform/SerialPort.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "platform/Net.h"

namespace vexa {

namespace {

struct BaudEntry {
    int baud;
    speed_t code;
};
constexpr BaudEntry kBauds[] = {
    {50, B50},         {75, B75},         {110, B110},         {134, B134},         {150, B150},
    {200, B200},       {300, B300},       {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool speedFor(int baud, speed_t& out) {
    for (auto& e : kBauds)
        if (e.baud == baud) {
            out = e.code;
            return true;
        }
    return false;
}

bool applySettings(int fd, const SerialSettings& s) {
    speed_t speed;
    if (s.baud <= 0 || !speedFor(s.baud, speed)) return false;
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return false;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~CSIZE;
    switch (s.dataBits) {
        case 5: tio.c_cflag |= CS5; break;
        case 6: tio.c_cflag |= CS6; break;
        case 7: tio.c_cflag |= CS7; break;
        case 8: tio.c_cflag |= CS8; break;
        default: return false;
    }
    tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (s.parity) {
        case 0: break;
        case 1: tio.c_cflag |= PARENB | PARODD; break;
        case 2: tio.c_cflag |= PARENB; break;
        case 3: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
        case 4: tio.c_cflag |= PARENB | CMSPAR; break;
        default: return false;
    }
    if (s.stopBits == 0)
        tio.c_cflag &= ~CSTOPB;
    else if (s.stopBits == 1 || s.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    else
        return false;
    if (s.rtsControl == 2 || s.dtrControl == 2)
        tio.c_cflag |= CRTSCTS;
    else
        tio.c_cflag &= ~CRTSCTS;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return false;

    // Modem lines: a pseudo-terminal has none, so failures here are not errors.
    int lines = 0;
    if (s.dtrControl == 1) lines |= TIOCM_DTR;
    if (s.rtsControl == 1) lines |= TIOCM_RTS;
    int clear = (s.dtrControl == 0 ? TIOCM_DTR : 0) | (s.rtsControl == 0 ? TIOCM_RTS : 0);
    if (lines) (void)::ioctl(fd, TIOCMBIS, &lines);
    if (clear) (void)::ioctl(fd, TIOCMBIC, &clear);
    return true;
}

}  // namespace

std::string SerialPort::devicePath(const std::string& name) {
    std::string n = name;
    if (n.rfind("\\\\.\\", 0) == 0) n = n.substr(4);
    if (n.size() > 3 && ::strncasecmp(n.c_str(), "COM", 3) == 0) {
        int num = 0;
        const char* first = n.data() + 3;
        const char* last = n.data() + n.size();
        auto [end, ec] = std::from_chars(first, last, num);
        // Only "COM" plus a decimal number from 1 up is a port name; anything else, an overflow
        // included, stays a device path.
        if (ec == std::errc() && end == last && num >= 1) return "/dev/ttyS" + std::to_string(num - 1);
    }
    return n;
}

bool SerialPort::open(const std::string& name, const SerialSettings& settings) {
    close();
    if (settings.baud <= 0) return false;
    std::string path = devicePath(name);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // Not shared: a second opener of the same port is refused, as on the desktop platform.
    if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
        ::close(fd);
        return false;
    }
    if (!::isatty(fd) || !applySettings(fd, settings)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    purgeInput();
    return true;
}

void SerialPort::close() {
    if (fd_ >= 0) {
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }
    fd_ = -1;
}

void SerialPort::setTimeouts(int intervalMs, int totalMs, int writeTotalMs) {
    intervalMs_ = intervalMs < 0 ? 0 : intervalMs;
    totalMs_ = totalMs < 0 ? 0 : totalMs;
    writeTotalMs_ = writeTotalMs < 0 ? 0 : writeTotalMs;
}

int SerialPort::write(const std::uint8_t* data, int len) {
    if (fd_ < 0 || !data || len < 0) return -1;
    auto deadline = Clock::now() + std::chrono::milliseconds(writeTotalMs_);
    int done = 0;
    while (done < len) {
        ssize_t n = ::write(fd_, data + done, static_cast<size_t>(len - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return done > 0 ? done : -1;
        int wait = writeTotalMs_ ? msUntil(deadline) : -1;
        if (writeTotalMs_ && wait == 0) break;
        if (waitWritable(fd_, wait) <= 0) break;
    }
    return done;
}

int SerialPort::read(std::uint8_t* buf, int cap) {
    if (fd_ < 0 || !buf || cap <= 0) return -1;
    auto deadline = Clock::now() + std::chrono::milliseconds(totalMs_);
    int got = 0;
    while (got < cap) {
        int left = msUntil(deadline);
        // Before the first byte wait for the whole budget; after it, only for an idle gap.
        int wait = got == 0 ? left : std::min(left, intervalMs_ > 0 ? intervalMs_ : left);
        if (wait <= 0 && got > 0) break;
        int r = waitReadable(fd_, wait);
        if (r == 0) break;
        // A line that is gone (hang-up, device removed) is an error, not a quiet line, unless
        // some bytes came first: those are returned and the next read reports the error.
        if (r < 0) return got > 0 ? got : -1;
        ssize_t n = ::read(fd_, buf + got, static_cast<size_t>(cap - got));
        if (n > 0) {
            got += static_cast<int>(n);
            continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        return got > 0 ? got : -1;
    }
    return got;
}

void SerialPort::purgeInput() {
    if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

void SerialPort::purgeOutput() {
    if (fd_ >= 0) ::tcflush(fd_, TCOFLUSH);
}

bool openPty(Pty& out) {
    int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0) return false;
    if (::grantpt(m) != 0 || ::unlockpt(m) != 0) {
        ::close(m);
        return false;
    }
    char name[128];
    if (::ptsname_r(m, name, sizeof name) != 0) {
        ::close(m);
        return false;
    }
    termios tio{};
    if (::tcgetattr(m, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m, TCSANOW, &tio);
    }
    // The slave side stays raw too, whoever opens it.
    int s = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s >= 0) {
        if (::tcgetattr(s, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(s, TCSANOW, &tio);
        }
        ::close(s);
    }
    int fl = ::fcntl(m, F_GETFL);
    ::fcntl(m, F_SETFL, fl | O_NONBLOCK);
    out.master = m;
    out.slavePath = name;
    return true;
}

void closePty(Pty& pty) {
    if (pty.master >= 0) ::close(pty.master);
    pty.master = -1;
    pty.slavePath.clear();
}

}  // namespace vexa
