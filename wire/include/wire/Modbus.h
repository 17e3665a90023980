#pragma once
// Modbus serial framing: check sums, the ASCII hex form, and the one rule by which a received
// RTU or ASCII frame is taken or refused.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexa::wire {

// Modbus CRC-16 (reflected 0xA001, start 0xFFFF); sent low byte first.
std::uint16_t crc16(const std::uint8_t* data, std::size_t n);
// Two's complement of the 8-bit sum.
std::uint8_t lrc(const std::uint8_t* data, std::size_t n);
// Appends the two upper-case hex digits of `byte`.
void appendHex(std::vector<std::uint8_t>& out, std::uint8_t byte);
// Decodes pairs of hex digits (either case) into `out`; -1 on an odd length, a non-hex
// character or too little room.
int decodeHex(const std::uint8_t* text, int n, std::uint8_t* out, int cap);

enum class SerialMode { Rtu, Ascii };

// The frame of `head` then `body` (address, function, payload): RTU appends the CRC, ASCII
// writes ':' , the hex digits of every byte and of the LRC, CR LF. Replaces `out`.
void frameSerial(SerialMode mode, const std::uint8_t* head, std::size_t headLen, const std::uint8_t* body,
                 std::size_t bodyLen, std::vector<std::uint8_t>& out);

enum class FrameCheck {
    Ok,
    Short,  // too few bytes for an address, a function and the check
    Bad,    // wrong CRC/LRC, delimiters or digits
};

// Checks a received serial frame. RTU: the CRC over all but the last two bytes. ASCII: ':'
// first and CR LF last, an even number of hex digits (either case) between, the last decoded
// byte the LRC of the others. On Ok, `data`/`len` give the frame without its check (address
// first, at least address and function): into `frame` for RTU, into `scratch` for ASCII.
FrameCheck unframeSerial(SerialMode mode, const std::uint8_t* frame, std::size_t n, std::uint8_t* scratch,
                         std::size_t cap, const std::uint8_t*& data, std::size_t& len);

}  // namespace vexa::wire
