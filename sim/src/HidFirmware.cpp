#include "HidFirmware.h"

#include <algorithm>

#include "Coupler.h"

namespace vexa::sim::detail {

namespace {

enum Step : std::uint8_t { kBegin = 0x55, kPiece = 0xAA, kEnd = 0x5A };
constexpr std::size_t kPieceBytes = 32;
constexpr std::size_t kPieceRequest = 3 + kPieceBytes;  // step, number, data
constexpr std::uint16_t kLastPiece = 0xFFFF;
constexpr std::size_t kMaxPieces = kLastPiece;

using Update = HidState::Update;

Outcome begin(Update& u) {
    u.active = true;
    u.lastPieceIn = false;
    u.nextPiece = 0;
    u.incoming.clear();
    return Outcome::Reply;
}

// Pieces come in order; a repeat (the host retrying after a lost reply) overwrites its place,
// a gap or anything after the last piece is refused.
Outcome piece(Update& u, const HidRequest& r, Bytes& body) {
    if (!u.active || r.length != kPieceRequest) return Outcome::Error;
    std::uint16_t number = getU16(r.payload + 1);
    std::size_t at;
    if (number == kLastPiece) {
        at = u.lastPieceIn ? u.nextPiece - 1 : u.nextPiece;
    } else {
        if (u.lastPieceIn || number > u.nextPiece) return Outcome::Error;
        at = number;
    }
    if (at >= kMaxPieces) return Outcome::Error;
    if (u.incoming.size() < (at + 1) * kPieceBytes) u.incoming.resize((at + 1) * kPieceBytes);
    std::copy(r.payload + 3, r.payload + 3 + kPieceBytes, u.incoming.begin() + static_cast<std::ptrdiff_t>(at * kPieceBytes));
    if (at == u.nextPiece) ++u.nextPiece;
    if (number == kLastPiece) u.lastPieceIn = true;
    body.insert(body.end(), r.payload + 1, r.payload + 3);
    return Outcome::Reply;
}

// An end after pieces but without the last one means the host lost track: refused.
Outcome end(Update& u) {
    if (!u.active || (u.nextPiece > 0 && !u.lastPieceIn)) return Outcome::Error;
    u.image = std::move(u.incoming);
    u.incoming.clear();
    u.active = false;
    ++u.completed;
    return Outcome::Reply;
}

}  // namespace

// Reply: the step (3), for a piece its number (4..5).
Outcome firmwareUpdate(Coupler& c, const HidRequest& r, Bytes& body) {
    if (r.length < 1) return Outcome::Error;
    Update& u = c.hid.state.update;
    body.push_back(r.payload[0]);
    switch (r.payload[0]) {
        case kBegin: return r.length == 1 ? begin(u) : Outcome::Error;
        case kPiece: return piece(u, r, body);
        case kEnd: return r.length == 1 ? end(u) : Outcome::Error;
        default: return Outcome::Error;
    }
}

}  // namespace vexa::sim::detail
