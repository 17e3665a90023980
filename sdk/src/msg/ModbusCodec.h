#pragma once
// Check sums and the ASCII form of serial Modbus frames: one piece for both libraries that
// speak Modbus (the device access library to RS-485 couplers, and the Modbus master).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexa::mb {

// Modbus CRC-16 (reflected 0xA001, start 0xFFFF); sent low byte first.
std::uint16_t crc16(const std::uint8_t* data, std::size_t n);
// Two's complement of the 8-bit sum.
std::uint8_t lrc(const std::uint8_t* data, std::size_t n);
// Appends the two upper-case hex digits of `byte`.
void appendHex(std::vector<std::uint8_t>& out, std::uint8_t byte);
// Decodes pairs of hex digits (either case) into `out`; -1 on an odd length, a non-hex
// character or too little room.
int decodeHex(const std::uint8_t* text, int n, std::uint8_t* out, int cap);

}  // namespace vexa::mb
