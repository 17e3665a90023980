#include "ModbusTcpGateway.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vexa::sim::detail {

namespace {

constexpr std::size_t kHeader = 7;        // transaction, protocol, length (2 each), unit
constexpr std::size_t kMaxLength = 260;   // the largest length field a Modbus TCP frame has
constexpr std::uint8_t kGatewayNoAnswer = 0x0B;  // "gateway target device failed to respond"

}  // namespace

bool ModbusTcpGateway::open(std::uint32_t address) {
    vexa::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid()) return false;
    int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = address;
    a.sin_port = 0;
    socklen_t len = sizeof a;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd.get(), 8) != 0 ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return false;
    address_ = address;
    port_ = ntohs(a.sin_port);
    listen_ = std::move(fd);
    loop_.watch(listen_.get(), [this](short) { accept(); });
    return true;
}

void ModbusTcpGateway::close() {
    for (auto& [fd, pending] : clients_) {
        loop_.unwatch(fd);
        ::close(fd);
    }
    clients_.clear();
    if (listen_.valid()) loop_.unwatch(listen_.get());
    listen_.reset();
    port_ = 0;
}

std::string ModbusTcpGateway::endpoint() const {
    return port_ ? vexa::formatIPv4(address_) + ":" + std::to_string(port_) : std::string();
}

void ModbusTcpGateway::accept() {
    const int fd = ::accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    clients_[fd] = {};
    loop_.watch(fd, [this, fd](short) { onReadable(fd); });
}

void ModbusTcpGateway::drop(int fd) {
    loop_.unwatch(fd);
    ::close(fd);
    clients_.erase(fd);
}

void ModbusTcpGateway::onReadable(int fd) {
    std::uint8_t buf[512];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) {
        drop(fd);
        return;
    }
    Bytes& pending = clients_[fd];
    pending.insert(pending.end(), buf, buf + n);
    while (pending.size() >= kHeader) {
        const std::size_t length = static_cast<std::size_t>(pending[4] << 8 | pending[5]);
        // A length no Modbus frame has, or another protocol: the peer is not speaking Modbus.
        if (length < 2 || length > kMaxLength || pending[2] != 0 || pending[3] != 0) {
            drop(fd);
            return;
        }
        if (pending.size() < 6 + length) break;
        const Bytes mbap(pending.begin(), pending.begin() + 6);
        const Bytes body(pending.begin() + 6, pending.begin() + 6 + static_cast<std::ptrdiff_t>(length));
        pending.erase(pending.begin(), pending.begin() + 6 + static_cast<std::ptrdiff_t>(length));
        Bytes reply;
        if (auto answer = line_.answer(body))
            reply = std::move(*answer);
        else
            reply = {body[0], static_cast<std::uint8_t>(body[1] | 0x80), kGatewayNoAnswer};
        Bytes frame(mbap.begin(), mbap.begin() + 4);
        frame.push_back(static_cast<std::uint8_t>(reply.size() >> 8));
        frame.push_back(static_cast<std::uint8_t>(reply.size() & 0xFF));
        frame.insert(frame.end(), reply.begin(), reply.end());
        if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
            drop(fd);
            return;
        }
    }
}

}  // namespace vexa::sim::detail
