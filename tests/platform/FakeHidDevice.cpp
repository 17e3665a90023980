#include "FakeHidDevice.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace vexa::test {

namespace {

UniqueFd listenAt(const std::string& path, int backlog) {
    sockaddr_un sa{};
    if (path.size() >= sizeof sa.sun_path) return {};
    UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return {};
    sa.sun_family = AF_UNIX;
    std::memcpy(sa.sun_path, path.c_str(), path.size() + 1);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd.get(), backlog) != 0)
        return {};
    return fd;
}

}  // namespace

FakeHidDevice::FakeHidDevice(std::string path, std::string hello)
    : hello_(std::move(hello)), listener_(listenAt(path, 8)), wake_(::eventfd(0, EFD_CLOEXEC)) {
    if (listener_.valid() && wake_.valid()) thread_ = std::thread([this] { run(); });
}

FakeHidDevice::~FakeHidDevice() {
    if (thread_.joinable()) {
        std::uint64_t one = 1;
        (void)!::write(wake_.get(), &one, sizeof one);
        thread_.join();
    }
}

UniqueFd FakeHidDevice::deafListener(const std::string& path) { return listenAt(path, 0); }

void FakeHidDevice::run() {
    for (;;) {
        pollfd p[2] = {{listener_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) continue;
        if (p[1].revents) return;
        UniqueFd conn(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!conn.valid()) continue;
        int fd = conn.get();
        {
            // Known as the newest before the hello goes out, so that a host that has its hello
            // always talks to its own connection.
            std::lock_guard lock(mutex_);
            conns_.push_back(std::move(conn));
        }
        if (!hello_.empty()) (void)::send(fd, hello_.data(), hello_.size(), MSG_NOSIGNAL);
    }
}

int FakeHidDevice::connections() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(conns_.size());
}

int FakeHidDevice::newest() const {
    std::lock_guard lock(mutex_);
    return conns_.empty() ? -1 : conns_.back().get();
}

bool FakeHidDevice::send(const std::vector<std::uint8_t>& report) {
    int fd = newest();
    return fd >= 0 && ::send(fd, report.data(), report.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(report.size());
}

std::vector<std::uint8_t> FakeHidDevice::receive(int timeoutMs) {
    int fd = newest();
    if (fd < 0 || waitReadable(fd, timeoutMs) <= 0) return {};
    std::vector<std::uint8_t> buf(4096);
    ssize_t n = ::recv(fd, buf.data(), buf.size(), MSG_DONTWAIT);
    buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buf;
}

void FakeHidDevice::unplug() {
    std::lock_guard lock(mutex_);
    if (!conns_.empty()) conns_.back().reset();
}

}  // namespace vexa::test
