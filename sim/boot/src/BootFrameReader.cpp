#include "sim/boot/BootFrameReader.h"

namespace vexa::sim {

namespace {
constexpr std::uint8_t kStart = 0xFE;
constexpr std::uint8_t kEscape = 0xFF;
}  // namespace

void BootFrameReader::reset() {
    state_ = State::Hunt;
    escaped_ = false;
    body_.clear();
}

BootFrameReader::Event BootFrameReader::feed(std::uint8_t byte) {
    if (byte == kStart) {  // plain or escaped, a start is a start
        reset();
        state_ = State::LengthHigh;
        return Event::None;
    }
    if (state_ == State::Hunt) return Event::None;
    if (escaped_) {
        escaped_ = false;
        if (byte > 0x01) {
            reset();
            return Event::BadFrame;
        }
        return take(byte == 0x00 ? 0xFF : 0xFE);
    }
    if (byte == kEscape) {
        escaped_ = true;
        return Event::None;
    }
    return take(byte);
}

BootFrameReader::Event BootFrameReader::take(std::uint8_t value) {
    switch (state_) {
        case State::LengthHigh:
            length_ = static_cast<std::size_t>(value) << 8;
            state_ = State::LengthLow;
            return Event::None;
        case State::LengthLow:
            length_ |= value;
            if (length_ > maxBody_) {
                reset();
                return Event::BadFrame;
            }
            state_ = length_ ? State::Body : State::Check;
            return Event::None;
        case State::Body:
            body_.push_back(value);
            if (body_.size() == length_) state_ = State::Check;
            return Event::None;
        case State::Check: {
            std::uint8_t check = static_cast<std::uint8_t>(length_);
            for (std::uint8_t b : body_) check ^= b;
            state_ = State::Hunt;
            return check == value ? Event::Frame : Event::BadFrame;
        }
        case State::Hunt:
            break;
    }
    return Event::None;
}

std::vector<std::uint8_t> encodeBootFrame(const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> out{kStart};
    auto put = [&out](std::uint8_t b) {
        if (b >= kStart) {
            out.push_back(kEscape);
            out.push_back(b == kStart ? 0x01 : 0x00);
        } else {
            out.push_back(b);
        }
    };
    const std::size_t n = body.size();
    put(static_cast<std::uint8_t>(n >> 8));
    put(static_cast<std::uint8_t>(n));
    std::uint8_t check = static_cast<std::uint8_t>(n);
    for (std::uint8_t b : body) {
        put(b);
        check ^= b;
    }
    put(check);
    return out;
}

}  // namespace vexa::sim
