#include "EthPort.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "EthProtocol.h"
#include "ReplyPath.h"

namespace vexa::sim::detail {

void drainDatagrams(int fd, const std::function<void(const Bytes&, const sockaddr_in&)>& take) {
    constexpr std::size_t kMaxDatagram = 2048;
    for (;;) {
        std::uint8_t buf[kMaxDatagram];
        sockaddr_in from{};
        socklen_t flen = sizeof from;
        ssize_t n = ::recvfrom(fd, buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &flen);
        if (n < 0) return;
        take(Bytes(buf, buf + n), from);
    }
}

vexa::UniqueFd bindUdp(std::uint32_t ipNet, int port) {
    vexa::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return {};
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    sa.sin_addr.s_addr = ipNet;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return {};
    return fd;
}

bool EthPort::open() {
    fd_ = bindUdp(c_.eth.ipNet, kEthPort);
    if (!fd_.valid()) return false;
    loop_.watch(fd_.get(), [this](short) { onReadable(); });
    return true;
}

void EthPort::close() {
    if (fd_.valid()) loop_.unwatch(fd_.get());
    fd_.reset();
}

void EthPort::onReadable() {
    drainDatagrams(fd_.get(), [this](const Bytes& d, const sockaddr_in& from) { receive(d, from, false); });
}

void EthPort::receive(const Bytes& datagram, const sockaddr_in& from, bool viaHub) {
    // The hub is a shared medium: a coupler takes from it only searches and frames for its MAC.
    auto reply = ethReply(c_, datagram);
    if (viaHub && !reply) return;
    c_.logRequest(datagram);
    if (!reply) return;
    int fd = fd_.get();
    sendReply(loop_, c_, *reply, kEthCorruptAt, [fd, from](const Bytes& b) {
        return ::sendto(fd, b.data(), b.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&from), sizeof from) ==
               static_cast<ssize_t>(b.size());
    });
}

}  // namespace vexa::sim::detail
