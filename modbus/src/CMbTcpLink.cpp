#include "CMbTcpLink.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <cerrno>

namespace vexa::mb {

bool CMbTcpLink::open() {
    if (!socket_.IsValid() && !socket_.Create(0, SOCK_STREAM)) return false;
    if (!socket_.Connect(address_.c_str(), static_cast<unsigned>(port_)) || !socket_.WaitConnect(kConnectTimeoutMs)) {
        socket_.Close();
        return false;
    }
    // One small request at a time: nothing is gained by holding it back.
    int one = 1;
    socket_.SetSockOpt(IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return true;
}

void CMbTcpLink::discardInput() {
    // A reply that came after its request timed out must not answer the next request.
    std::uint8_t scratch[1024];
    while (socket_.BytesWaiting() > 0 && socket_.Receive(scratch, sizeof scratch) > 0) {
    }
}

int CMbTcpLink::write(const std::uint8_t* data, int len) {
    const int n = socket_.Send(data, len);
    return n > 0 ? n : 0;
}

int CMbTcpLink::readSome(std::uint8_t* buf, int cap) {
    const int n = socket_.Receive(buf, cap);
    if (n < 0) return (socket_.GetLastError() == EAGAIN || socket_.GetLastError() == EINTR) ? -1 : 0;
    return n;
}

}  // namespace vexa::mb
