#pragma once
// Modbus TCP link: a stream socket.
#include <string>

#include "CMbLink.h"
#include "platform/Socket.h"

namespace vexa::mb {

class CMbTcpLink final : public CMbLink {
public:
    static constexpr int kConnectTimeoutMs = 3000;
    static constexpr int kReplyTimeoutMs = 100;

    CMbTcpLink(std::string address, int port) : address_(std::move(address)), port_(port) {}
    bool open() override;
    void close() override { socket_.Close(); }

protected:
    int fd() const override { return socket_.GetSocketHandle(); }
    int replyTimeoutMs() const override { return kReplyTimeoutMs; }
    void discardInput() override;
    int write(const std::uint8_t* data, int len) override;
    int readSome(std::uint8_t* buf, int cap) override;

private:
    Socket socket_;
    std::string address_;
    int port_;
};

}  // namespace vexa::mb
