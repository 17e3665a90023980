#pragma once
// The frame checks of the three coupler wires, written for the simulator alone: it does not use
// the wire library on purpose, so that a fault there cannot hide in tests run against it.
#include <cstddef>
#include <cstdint>

namespace vexa::sim::detail {

// Modbus RTU CRC-16 (reflected polynomial 0xA001, start 0xFFFF); sent low byte first.
std::uint16_t crc16(const std::uint8_t* data, std::size_t len);
// Modbus ASCII LRC: two's complement of the 8-bit sum.
std::uint8_t lrc(const std::uint8_t* data, std::size_t len);
// HID frame check: XOR of all bytes.
std::uint8_t xorOf(const std::uint8_t* data, std::size_t len);

}  // namespace vexa::sim::detail
