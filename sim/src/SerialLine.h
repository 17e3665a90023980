#pragma once
// One RS-485 line on a pseudo-terminal: cuts the byte stream into frames (RTU by length or by
// a silence, ASCII by CR LF), hands each to the coupler its address names, and writes replies.
#include <optional>
#include <string>
#include <vector>

#include "Coupler.h"
#include "EventLoop.h"
#include "platform/SerialPort.h"

namespace vexa::sim::detail {

class SerialLine {
public:
    SerialLine(int number, EventLoop& loop) : number_(number), loop_(loop) {}
    ~SerialLine() { close(); }

    int number() const { return number_; }
    void add(Coupler* c) { couplers_.push_back(c); }
    const std::vector<Coupler*>& couplers() const { return couplers_; }

    bool open();
    void close();
    std::string path() const { return pty_.slavePath; }
    // The reply body for a request body (address, function, payload) as a device on this line
    // would give it; nothing when no device answers. For the Modbus TCP gateway.
    std::optional<Bytes> answer(const Bytes& body);

private:
    void onReadable();
    void cutFrames();
    void take(std::size_t n);
    void handle(const Bytes& raw);
    Coupler* owner(std::uint8_t address, bool forSub) const;
    bool looksAscii() const;

    int number_;
    EventLoop& loop_;
    vexa::Pty pty_;
    vexa::UniqueFd slave_;  // held open so the master never sees a hang-up between clients
    Bytes pending_;
    std::uint64_t generation_ = 0;
    std::vector<Coupler*> couplers_;
};

}  // namespace vexa::sim::detail
