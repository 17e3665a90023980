#include "CommDriver.h"

#include <algorithm>

namespace fwl {

namespace {

constexpr std::uint8_t kStart = 0xFE;
constexpr std::uint8_t kEscape = 0xFF;
constexpr std::uint32_t kReadPiece = 200;
// Bytes before a frame start that reception skips.
constexpr std::size_t kMaxHunt = 2000;
constexpr int kDrainTimeoutMs = 300;
constexpr std::size_t kDrainBuffer = 200;
// A device that keeps sending frames cannot hold drain() forever.
constexpr int kMaxDrainedFrames = 32;

void putEscaped(std::vector<std::uint8_t>& out, std::uint8_t b) {
    if (b == kStart) {
        out.push_back(kEscape);
        out.push_back(0x01);
    } else if (b == kEscape) {
        out.push_back(kEscape);
        out.push_back(0x00);
    } else {
        out.push_back(b);
    }
}

}  // namespace

std::vector<std::uint8_t> CCommDriver::encode(const std::uint8_t* body, std::size_t n) {
    std::vector<std::uint8_t> frame;
    frame.reserve(2 * n + 7);
    frame.push_back(kStart);
    putEscaped(frame, static_cast<std::uint8_t>(n >> 8));
    putEscaped(frame, static_cast<std::uint8_t>(n));
    std::uint8_t check = static_cast<std::uint8_t>(n);
    for (std::size_t i = 0; i < n; ++i) {
        putEscaped(frame, body[i]);
        check ^= body[i];
    }
    putEscaped(frame, check);
    return frame;
}

int CCommDriver::send(const std::uint8_t* body, std::size_t n, int timeoutMs) {
    if (n > kMaxBody || (n > 0 && !body)) return 0;
    tx_ = encode(body, n);
    const int r = link_.write(tx_.data(), static_cast<std::uint32_t>(tx_.size()), timeoutMs);
    return r == static_cast<int>(tx_.size()) ? 1 : 0;
}

bool CCommDriver::readByte(std::uint8_t& out, int timeoutMs) {
    if (rx_.empty()) {
        std::uint8_t piece[kReadPiece];
        const int r = link_.read(piece, kReadPiece, timeoutMs);
        if (r <= 0 || r > static_cast<int>(kReadPiece)) return false;
        rx_.insert(rx_.end(), piece, piece + r);
    }
    out = rx_.front();
    rx_.pop_front();
    return true;
}

CCommDriver::Value CCommDriver::readValue(std::uint8_t& out, int timeoutMs) {
    // Every value counts against the budget, so a babbling device ends reception too.
    if (valuesLeft_ == 0) return Value::Error;
    --valuesLeft_;
    std::uint8_t b = 0;
    if (!readByte(b, timeoutMs)) return Value::Error;
    if (b == kStart) return Value::Start;
    if (b != kEscape) {
        out = b;
        return Value::Byte;
    }
    if (!readByte(b, timeoutMs)) return Value::Error;
    switch (b) {
        case 0x00: out = 0xFF; return Value::Byte;
        case 0x01: out = 0xFE; return Value::Byte;
        case kStart: return Value::Start;
        default: return Value::Error;
    }
}

int CCommDriver::receive(std::uint8_t* buffer, std::size_t max, int timeoutMs) {
    if (!buffer && max > 0) return 0;
    rx_.clear();
    // Skipped bytes before a start, then room for one aborted frame and one whole one.
    valuesLeft_ = kMaxHunt + 2 * (max + 3);
    std::uint8_t b = 0;
    Value v = Value::Byte;
    for (std::size_t skipped = 0; (v = readValue(b, timeoutMs)) == Value::Byte; ++skipped)
        if (skipped >= kMaxHunt) return 0;
    if (v == Value::Error) return 0;
    return receiveFrame(buffer, max, timeoutMs);
}

CCommDriver::Value CCommDriver::readValues(std::uint8_t* out, std::size_t n, int timeoutMs) {
    for (std::size_t i = 0; i < n; ++i)
        if (const Value v = readValue(out[i], timeoutMs); v != Value::Byte) return v;
    return Value::Byte;
}

int CCommDriver::receiveFrame(std::uint8_t* buffer, std::size_t max, int timeoutMs) {
    // Each pass begins just after a start value; a start anywhere in a frame begins a new one
    // from the start of the buffer.
    for (;;) {
        std::uint8_t length[2];
        Value v = readValues(length, 2, timeoutMs);
        if (v == Value::Start) continue;
        if (v == Value::Error) return 0;
        const std::size_t n = static_cast<std::size_t>(length[0]) << 8 | length[1];
        if (n > max) return 0;
        v = readValues(buffer, n, timeoutMs);
        if (v == Value::Start) continue;
        if (v == Value::Error) return 0;
        std::uint8_t stored = 0;
        v = readValues(&stored, 1, timeoutMs);
        if (v == Value::Start) continue;
        if (v == Value::Error) return 0;
        std::uint8_t check = length[1];
        for (std::size_t i = 0; i < n; ++i) check ^= buffer[i];
        return stored == check ? static_cast<int>(n) : 0;
    }
}

void CCommDriver::drain() {
    std::uint8_t scratch[kDrainBuffer];
    for (int i = 0; i < kMaxDrainedFrames && receive(scratch, sizeof scratch, kDrainTimeoutMs) > 0; ++i) {
    }
}

}  // namespace fwl
