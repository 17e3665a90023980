#pragma once
// What the Modbus reply targets share: a request built from the input's first bytes, then the
// rest as the reply, checked the way a link hands it over (frame length first, then parse).
//
// Input: function selector, count (two bytes, big-endian), then the reply bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "CMbMsg.h"

namespace vexa::mb::fuzz {

constexpr int kHeader = 3;

inline void exchange(CMbMsg& msg, const std::uint8_t* data, std::size_t size) {
    static constexpr int kFunctions[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0F, 0x10, 0x00};
    if (size < kHeader) return;
    const int function = kFunctions[data[0] % std::size(kFunctions)];
    const int count = (data[1] << 8 | data[2]) % 2001 + 1;
    // Room for the largest read (2000 coils, 125 registers) and its values for writes.
    static unsigned char bits[2000];
    static short regs[125];
    const int unit = data[0] >> 4;
    switch (function) {
        case 0x01: case 0x02: msg.buildRead(function, unit, 0, count, bits, 0x1234); break;
        case 0x03: case 0x04: msg.buildRead(function, unit, 0, count % 125 + 1, regs, 0x1234); break;
        case 0x05: case 0x06: msg.buildWriteSingle(function, unit, count, count, 0x1234); break;
        case 0x0F: msg.buildWriteMultiple(function, unit, 0, count % 1968 + 1, bits, 0x1234); break;
        case 0x10: msg.buildWriteMultiple(function, unit, 0, count % 123 + 1, regs, 0x1234); break;
        default: msg.buildRaw(data, kHeader); break;
    }
    std::size_t n = size - kHeader;
    if (n > static_cast<std::size_t>(CMbMsg::kReceiveCapacity)) n = CMbMsg::kReceiveCapacity;
    std::memcpy(msg.receiveBuffer(), data + kHeader, n);
    const int got = static_cast<int>(n);
    const int want = msg.frameLength(msg.receiveBuffer(), got);
    if (want < 0 || want > CMbMsg::kReceiveCapacity) __builtin_trap();
    msg.setReceivedLength(want > 0 && want < got ? want : got);
    msg.parse();
    const std::uint8_t* raw = nullptr;
    int rawLen = 0;
    if (msg.rawReply(raw, rawLen) && (rawLen < 0 || rawLen > got)) __builtin_trap();
}

}  // namespace vexa::mb::fuzz
