#pragma once
// What the searches collect about each coupler found.
#include <cstdint>
#include <string>

namespace vexa {

struct EthSearchRecord {
    std::string address;  // the sender of the reply
    std::string mac;      // "%02X:..." of reply bytes 4..9
    int hardVer = 0;      // reply 16..17
    int type = 0;         // reply 11..12
    int mode = 0;         // reply 13..14
    int flags = 0;        // reply byte 15
    int extra = 0;        // reply 22..23
    std::uint8_t reply[24] = {};
};

// Station search (RS-485) and identify (HID) report the same five numbers and a serial code.
struct IdentityRecord {
    std::uint16_t manufacturer = 0;  // value 1
    std::uint16_t type = 0;          // value 2
    std::uint16_t mode = 0;          // value 3
    std::uint16_t hardVer = 0;       // value 4
    std::uint16_t softVer = 0;       // value 5
    std::uint8_t serial[4] = {};     // as received
};

struct RsSearchRecord {
    std::uint8_t station = 0;
    IdentityRecord id;
};

constexpr int kHidPathMax = 200;  // the caller's buffer, terminator included

struct HidSearchRecord {
    std::string path;  // shorter than kHidPathMax
    int inputReportLength = 0;
    int outputReportLength = 0;
    IdentityRecord id;
};

}  // namespace vexa
