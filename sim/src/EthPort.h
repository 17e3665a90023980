#pragma once
// UDP for one Ethernet coupler: a socket on its own loopback address, port 8801.
#include <netinet/in.h>

#include <functional>

#include "Coupler.h"
#include "EventLoop.h"

namespace vexa::sim::detail {

// Binds a non-blocking UDP socket to address:port; invalid on failure.
vexa::UniqueFd bindUdp(std::uint32_t ipNet, int port);
// Reads every waiting datagram; `take` gets each with its sender.
void drainDatagrams(int fd, const std::function<void(const Bytes&, const sockaddr_in&)>& take);

class EthPort {
public:
    EthPort(Coupler& c, EventLoop& loop) : c_(c), loop_(loop) {}
    bool open();  // binds the coupler's address, port 8801
    void close();
    // A datagram that reached the coupler (its own socket or the hub); answered from its socket.
    void receive(const Bytes& datagram, const sockaddr_in& from, bool viaHub);
    Coupler& coupler() { return c_; }

private:
    void onReadable();
    Coupler& c_;
    EventLoop& loop_;
    vexa::UniqueFd fd_;
};

}  // namespace vexa::sim::detail
