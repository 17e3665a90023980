#pragma once
#include <cstdint>

namespace vexa {

// One of the eight sub-module slots of a coupler, as the sub-module search reported it.
struct SubSlotRecord {
    std::uint16_t present = 0;  // serial: the entry's first byte; 0 on the other transports
    std::uint16_t address = 0;  // 0: empty
    std::uint16_t manufacturer = 0;  // value 1
    std::uint16_t type = 0;          // value 2
    std::uint16_t mode = 0;          // value 3
    std::uint16_t hardVer = 0;       // value 4
    std::uint16_t softVer = 0;       // value 5
    std::uint8_t serial[4] = {};     // in the byte order of the reply
    std::int32_t origin = 0;         // 0 Ethernet, 1 serial, 2 USB
};

constexpr int kSubSlots = 8;

enum SlotOrigin { kOriginEthernet = 0, kOriginSerial = 1, kOriginUsb = 2 };

}  // namespace vexa
