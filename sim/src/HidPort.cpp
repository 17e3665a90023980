#include "HidPort.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "HidProtocol.h"
#include "ReplyPath.h"

namespace vexa::sim::detail {

namespace {
std::atomic<unsigned> gBindCounter{0};
constexpr std::size_t kMaxReport = 1024;
}  // namespace

bool HidPort::open(int dirFd, const std::string& folder, const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") return false;
    listen_.reset(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listen_.valid()) return false;
    // Bind through /proc/self/fd so the folder's length does not count against the 108 bytes
    // of a socket address, then give the socket its name once it listens.
    std::string tmp = ".bind-" + std::to_string(::getpid()) + "-" + std::to_string(gBindCounter++);
    std::string via = "/proc/self/fd/" + std::to_string(dirFd) + "/" + tmp;
    sockaddr_un sa{};
    sa.sun_family = AF_UNIX;
    if (via.size() >= sizeof sa.sun_path) return false;
    std::memcpy(sa.sun_path, via.c_str(), via.size() + 1);
    if (::bind(listen_.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(listen_.get(), 16) != 0 ||
        ::renameat(dirFd, tmp.c_str(), dirFd, name.c_str()) != 0) {
        ::unlinkat(dirFd, tmp.c_str(), 0);
        listen_.reset();
        return false;
    }
    path_ = folder + "/" + name;
    loop_.watch(listen_.get(), [this](short) { onAccept(); });
    return true;
}

void HidPort::close() {
    for (auto& conn : conns_) {
        loop_.unwatch(conn->fd.get());
        conn->open = false;
        conn->fd.reset();
    }
    conns_.clear();
    if (listen_.valid()) {
        loop_.unwatch(listen_.get());
        listen_.reset();
        ::unlink(path_.c_str());
    }
}

void HidPort::onAccept() {
    for (;;) {
        int fd = ::accept4(listen_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        auto conn = std::make_shared<Connection>();
        conn->fd.reset(fd);
        if (c_.hid.config.sendHello) {
            std::string hello = hidHello(c_.hid.config);
            (void)::send(fd, hello.data(), hello.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        conns_.push_back(conn);
        loop_.watch(fd, [this, conn](short) { onMessage(conn); });
    }
}

void HidPort::drop(const std::shared_ptr<Connection>& conn) {
    loop_.unwatch(conn->fd.get());
    conn->open = false;
    conn->fd.reset();
    std::erase(conns_, conn);
}

void HidPort::onMessage(std::shared_ptr<Connection> conn) {
    for (;;) {
        if (!conn->open) return;
        std::uint8_t buf[kMaxReport];
        ssize_t n = ::recv(conn->fd.get(), buf, sizeof buf, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) {  // the host closed the device
            drop(conn);
            return;
        }
        Bytes report(buf, buf + n);
        c_.logRequest(report);
        auto reply = hidReply(c_, report);
        if (!reply) continue;
        sendReply(loop_, c_, *reply, kHidCorruptAt, [conn](const Bytes& b) {
            return conn->open && ::send(conn->fd.get(), b.data(), b.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
                                     static_cast<ssize_t>(b.size());
        });
    }
}

}  // namespace vexa::sim::detail
