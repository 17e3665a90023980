#include "platform/Net.h"

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vexa {

UniqueFd& UniqueFd::operator=(UniqueFd&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
}

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

int msUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    // Round up so that a wait never ends a fraction of a millisecond early.
    return static_cast<int>(left) + 1;
}

namespace {
int waitFor(int fd, short events, int timeoutMs) {
    if (fd < 0) return -1;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        pollfd p{fd, events, 0};
        int wait = timeoutMs < 0 ? -1 : (timeoutMs == 0 ? 0 : msUntil(deadline));
        int r = ::poll(&p, 1, wait);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) return 0;
        if (p.revents & events) return 1;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return -1;
        return 0;
    }
}
}  // namespace

int waitReadable(int fd, int timeoutMs) { return waitFor(fd, POLLIN, timeoutMs); }
int waitWritable(int fd, int timeoutMs) { return waitFor(fd, POLLOUT, timeoutMs); }

bool parseIPv4(const std::string& text, std::uint32_t& netOrder) {
    in_addr a{};
    if (::inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    netOrder = a.s_addr;
    return true;
}

std::string formatIPv4(std::uint32_t netOrder) {
    char buf[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = netOrder;
    ::inet_ntop(AF_INET, &a, buf, sizeof buf);
    return buf;
}

std::string ethBroadcastAddress() {
    const char* env = std::getenv("VEXA_ETH_BROADCAST");
    return (env && *env) ? std::string(env) : std::string("255.255.255.255");
}

}  // namespace vexa
