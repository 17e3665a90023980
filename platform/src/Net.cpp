#include "platform/Net.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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

std::vector<unsigned> broadcastInterfaces() {
    std::vector<unsigned> out;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return out;
    for (const ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
        const unsigned flags = a->ifa_flags;
        if (!(flags & IFF_UP) || !(flags & IFF_BROADCAST) || (flags & IFF_LOOPBACK)) continue;
        unsigned index = ::if_nametoindex(a->ifa_name);
        if (index != 0 && std::find(out.begin(), out.end(), index) == out.end()) out.push_back(index);
    }
    ::freeifaddrs(list);
    return out;
}

long sendBroadcastEveryInterface(int fd, const void* buf, std::size_t len, std::uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    const std::vector<unsigned> interfaces = broadcastInterfaces();
    if (interfaces.empty())
        return ::sendto(fd, buf, len, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    int sent = 0, firstError = 0;
    for (unsigned index : interfaces) {
        // The outgoing interface named per datagram: no privilege needed, unlike SO_BINDTODEVICE.
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        iovec iov{const_cast<void*>(buf), len};
        msghdr msg{};
        msg.msg_name = &to;
        msg.msg_namelen = sizeof to;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(index);
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
        if (::sendmsg(fd, &msg, MSG_NOSIGNAL) >= 0)
            ++sent;
        else if (firstError == 0)
            firstError = errno;
    }
    if (sent > 0) return static_cast<long>(len);
    errno = firstError;
    return -1;
}

}  // namespace vexa
