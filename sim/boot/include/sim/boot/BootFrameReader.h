#pragma once
// The device side of boot frame reception: bytes in, whole frame bodies out.
//   0xFE | length hi | length lo | body | check ((length & 0xFF) ^ body bytes)
// after the start byte, FF 00 stands for 0xFF, FF 01 for 0xFE, and FF FE for a new start.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexa::sim {

class BootFrameReader {
public:
    enum class Event { None, Frame, BadFrame };

    explicit BootFrameReader(std::size_t maxBody) : maxBody_(maxBody) {}

    // A start byte always begins a new frame, dropping a partial one.
    Event feed(std::uint8_t byte);
    const std::vector<std::uint8_t>& body() const { return body_; }
    bool inFrame() const { return state_ != State::Hunt; }
    void reset();

private:
    enum class State { Hunt, LengthHigh, LengthLow, Body, Check };
    Event take(std::uint8_t value);

    std::size_t maxBody_;
    State state_ = State::Hunt;
    bool escaped_ = false;
    std::size_t length_ = 0;
    std::vector<std::uint8_t> body_;
};

// The frame for a body, as the device sends it.
std::vector<std::uint8_t> encodeBootFrame(const std::vector<std::uint8_t>& body);

}  // namespace vexa::sim
