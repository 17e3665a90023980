#include "EthHub.h"

namespace vexa::sim::detail {

bool EthHub::bind(std::uint32_t ipNet) {
    fd_ = bindUdp(ipNet, kEthPort);
    return fd_.valid();
}

void EthHub::start(std::vector<EthPort*> ports) {
    ports_ = std::move(ports);
    if (fd_.valid()) loop_.watch(fd_.get(), [this](short) { onReadable(); });
}

void EthHub::close() {
    if (fd_.valid()) loop_.unwatch(fd_.get());
    fd_.reset();
    ports_.clear();
}

void EthHub::onReadable() {
    drainDatagrams(fd_.get(), [this](const Bytes& d, const sockaddr_in& from) {
        for (EthPort* p : ports_) p->receive(d, from, true);
    });
}

}  // namespace vexa::sim::detail
