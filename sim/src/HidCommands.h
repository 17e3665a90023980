#pragma once
// What the USB coupler's command handlers share: the request as it arrived, the outcome, and
// the state a coupler keeps beyond its property block.
#include <cstddef>
#include <cstdint>
#include <deque>

#include "sim/SimRack.h"

namespace vexa::sim::detail {

class Coupler;

// A frame is at most 64 bytes: 0x7E, length, command, payload, check, 0x7E.
constexpr std::size_t kHidMaxPayload = 64 - 5;

enum class Outcome { Reply, Error, Quiet };

struct HidRequest {
    std::uint8_t command;
    const std::uint8_t* payload;
    std::size_t length;
};

// A handler fills the reply's payload (after the command byte).
using HidHandler = Outcome (*)(Coupler&, const HidRequest&, Bytes& body);

// The CANopen object image with the downloads in progress, the firmware coming in, and the
// answers a test scripted.
struct HidState {
    CanOpenImage held;
    CanOpenImage pending;  // taken over by the download's end request
    bool ioDownload = false;
    bool spdoDownload = false;
    struct Update {
        bool active = false;
        bool lastPieceIn = false;
        std::size_t nextPiece = 0;
        Bytes incoming;
        Bytes image;  // the last completed one
        std::size_t completed = 0;
    } update;
    std::deque<HidScript> scripts;
};

}  // namespace vexa::sim::detail
