#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Net.h"

namespace vexa {

Socket::~Socket() {
    if (fd_ >= 0) ::close(fd_);
}

bool Socket::Create(unsigned port, int type, const char* address) {
    if (fd_ >= 0) return true;
    int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    if (address && *address) {
        uint32_t a;
        if (!parseIPv4(address, a)) {
            ::close(fd);
            lastError_ = EINVAL;
            return false;
        }
        sa.sin_addr.s_addr = a;
    }
    if (port != 0) {
        int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        lastError_ = errno;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    connecting_ = false;
    lastError_ = 0;
    return true;
}

void Socket::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    connecting_ = false;
}

bool Socket::resolve(const char* address, unsigned port, sockaddr_in& out) {
    out = {};
    out.sin_family = AF_INET;
    out.sin_port = htons(static_cast<uint16_t>(port));
    std::string host = (address && *address) ? address : ethBroadcastAddress();
    uint32_t a;
    if (parseIPv4(host, a)) {
        out.sin_addr.s_addr = a;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* res = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) {
        lastError_ = EINVAL;  // a name that does not resolve is an invalid argument
        return false;
    }
    out.sin_addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
    ::freeaddrinfo(res);
    return true;
}

bool Socket::Connect(const char* address, unsigned port) {
    if (fd_ < 0) {
        lastError_ = EBADF;
        return false;
    }
    sockaddr_in sa;
    if (!resolve(address, port, sa)) return false;
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
        connecting_ = false;
        return true;
    }
    if (errno == EINPROGRESS) {
        connecting_ = true;
        return true;
    }
    lastError_ = errno;
    return false;
}

bool Socket::WaitConnect(int timeoutMs) {
    if (fd_ < 0) return false;
    if (!connecting_) return true;
    int r = waitWritable(fd_, timeoutMs);
    if (r <= 0) {
        // Still pending, or a hang-up: the outcome is in SO_ERROR either way.
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
        lastError_ = err ? err : ETIMEDOUT;
        if (err) connecting_ = false;
        return false;
    }
    int err = 0;
    socklen_t len = sizeof err;
    ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
    connecting_ = false;
    lastError_ = err;
    return err == 0;
}

int Socket::SendTo(const void* buf, int len, unsigned port, const char* address) {
    if (fd_ < 0 || !buf || len < 0) return -1;
    sockaddr_in sa;
    if (!resolve(address, port, sa)) return -1;
    ssize_t n = sa.sin_addr.s_addr == htonl(INADDR_BROADCAST)
                    ? vexa::sendBroadcastEveryInterface(fd_, buf, static_cast<size_t>(len), ntohs(sa.sin_port))
                    : ::sendto(fd_, buf, static_cast<size_t>(len), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sa),
                               sizeof sa);
    if (n < 0) {
        lastError_ = errno;
        return -1;
    }
    return static_cast<int>(n);
}

int Socket::ReceiveFrom(void* buf, int len, std::string& address, unsigned& port) {
    if (fd_ < 0 || !buf || len <= 0) return -1;
    sockaddr_in sa{};
    socklen_t sl = sizeof sa;
    ssize_t n = ::recvfrom(fd_, buf, static_cast<size_t>(len), 0, reinterpret_cast<sockaddr*>(&sa), &sl);
    if (n < 0) {
        lastError_ = errno;
        return -1;
    }
    address = formatIPv4(sa.sin_addr.s_addr);
    port = ntohs(sa.sin_port);
    return static_cast<int>(n);
}

int Socket::Send(const void* buf, int len) {
    if (fd_ < 0 || !buf || len < 0) return -1;
    int done = 0;
    while (done < len) {
        ssize_t n = ::send(fd_, static_cast<const char*>(buf) + done, static_cast<size_t>(len - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN && waitWritable(fd_, 1000) > 0) continue;
        lastError_ = errno;
        return done > 0 ? done : -1;
    }
    return done;
}

int Socket::Receive(void* buf, int len) {
    if (fd_ < 0 || !buf || len <= 0) return -1;
    ssize_t n = ::recv(fd_, buf, static_cast<size_t>(len), 0);
    if (n < 0) {
        lastError_ = errno;
        return -1;
    }
    return static_cast<int>(n);
}

int Socket::WaitReadable(int timeoutMs) const { return waitReadable(fd_, timeoutMs); }

int Socket::BytesWaiting() const {
    if (fd_ < 0) return -1;
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0) return -1;
    return n;
}

bool Socket::SetSockOpt(int level, int name, const void* value, socklen_t len) {
    if (fd_ < 0 || ::setsockopt(fd_, level, name, value, len) != 0) {
        lastError_ = errno;
        return false;
    }
    return true;
}

}  // namespace vexa
