#pragma once
// A Modbus TCP endpoint in front of one RS-485 line, as a gateway on site would be: each
// request's unit id is the station it is for; the coupler or sub module at that station answers
// as it would on the line. It listens on the rack's hub address and a free port.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "EventLoop.h"
#include "SerialLine.h"
#include "platform/Net.h"

namespace vexa::sim::detail {

class ModbusTcpGateway {
public:
    ModbusTcpGateway(EventLoop& loop, SerialLine& line) : loop_(loop), line_(line) {}
    ~ModbusTcpGateway() { close(); }

    bool open(std::uint32_t address);  // network order; a free port
    void close();
    // "127.a.b.1:PORT"; "" when not open.
    std::string endpoint() const;
    int lineNumber() const { return line_.number(); }

private:
    void accept();
    void onReadable(int fd);
    void drop(int fd);

    EventLoop& loop_;
    SerialLine& line_;
    vexa::UniqueFd listen_;
    std::uint32_t address_ = 0;
    int port_ = 0;
    std::map<int, Bytes> clients_;  // fd -> bytes received and not yet a whole request
};

}  // namespace vexa::sim::detail
