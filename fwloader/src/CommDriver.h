#pragma once
// Boot frames over one device of the table:
//   0xFE, length (2, high byte first), body (length bytes), check = (length & 0xFF) ^ body bytes
// Every byte after the start byte is escaped: 0xFE -> FF 01, 0xFF -> FF 00.
#include <cstdint>
#include <deque>
#include <vector>

#include "BootLink.h"

namespace fwl {

class CCommDriver {
public:
    static constexpr std::size_t kMaxBody = 0xFFFF;

    explicit CCommDriver(CBootLink& link) : link_(link) {}

    // 1 if the plug-in took the whole frame, else 0.
    int send(const std::uint8_t* body, std::size_t n, int timeoutMs);
    // Body length (> 0) of a valid frame of at most `max` body bytes, else 0.
    int receive(std::uint8_t* buffer, std::size_t max, int timeoutMs);
    // Discards what the device still has to say.
    void drain();

    // The frame for a body, as it goes on the wire.
    static std::vector<std::uint8_t> encode(const std::uint8_t* body, std::size_t n);

private:
    // A decoded value: a byte, a frame start, or the end of what can be read.
    enum class Value { Byte, Start, Error };
    bool readByte(std::uint8_t& out, int timeoutMs);
    Value readValue(std::uint8_t& out, int timeoutMs);
    // n values into out; stops at the first start or error and returns it.
    Value readValues(std::uint8_t* out, std::size_t n, int timeoutMs);
    int receiveFrame(std::uint8_t* buffer, std::size_t max, int timeoutMs);

    CBootLink& link_;
    std::vector<std::uint8_t> tx_;
    std::deque<std::uint8_t> rx_;
    std::size_t valuesLeft_ = 0;
};

}  // namespace fwl
