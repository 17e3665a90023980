#pragma once
// UDP for the Ethernet couplers: one socket per coupler on its own loopback address, and the
// hub socket that stands for the broadcast address, whose datagrams every coupler hears.
#include <netinet/in.h>

#include <vector>

#include "Coupler.h"
#include "EventLoop.h"

namespace vexa::sim::detail {

// Binds a non-blocking UDP socket to address:port; invalid on failure.
vexa::UniqueFd bindUdp(std::uint32_t ipNet, int port);

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

class EthHub {
public:
    EthHub(EventLoop& loop) : loop_(loop) {}
    bool bind(std::uint32_t ipNet);  // false when the address is taken
    bool bound() const { return fd_.valid(); }
    void start(std::vector<EthPort*> ports);
    void close();

private:
    void onReadable();
    EventLoop& loop_;
    vexa::UniqueFd fd_;
    std::vector<EthPort*> ports_;
};

}  // namespace vexa::sim::detail
