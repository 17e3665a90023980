#pragma once
// The hub socket that stands for the Ethernet broadcast address: every coupler of the rack
// hears its datagrams and answers from its own socket.
#include <vector>

#include "EthPort.h"

namespace vexa::sim::detail {

class EthHub {
public:
    explicit EthHub(EventLoop& loop) : loop_(loop) {}
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
