#include "HidCanOpen.h"

#include <algorithm>

#include "Coupler.h"

namespace vexa::sim::detail {

namespace {

// What the coupler's object dictionary has room for: an 8-bit I/O map count, 16 TPDOs and
// 8 RPDOs of four words, 46 SDO objects for each of 8 sub modules.
constexpr std::size_t kMaxIoWords = 255;
constexpr std::size_t kMaxTpdo = 64;
constexpr std::size_t kMaxRpdo = 32;
constexpr std::size_t kMaxSdo = 8 * 46;

enum List : std::uint8_t { kTpdo = 0, kRpdo = 1, kSdo = 2 };
// An SDO entry: list, index (2), sub-index, 4 value bytes, 2 padding bytes.
constexpr std::size_t kSdoEntryLength = 10;
// A PDO entry: list, the 6 setting bytes.
constexpr std::size_t kPdoEntryLength = 7;

template <std::size_t N>
bool append(std::vector<std::array<std::uint8_t, N>>& list, std::size_t limit, const std::uint8_t* from) {
    if (list.size() >= limit) return false;
    std::array<std::uint8_t, N> e;
    std::copy(from, from + N, e.begin());
    list.push_back(e);
    return true;
}

template <std::size_t N>
void putEntry(Bytes& body, const std::array<std::uint8_t, N>& e) {
    body.insert(body.end(), e.begin(), e.end());
}

}  // namespace

Outcome ioBegin(Coupler& c, const HidRequest&, Bytes&) {
    c.hid.state.pending.ioMap.clear();
    c.hid.state.ioDownload = true;
    return Outcome::Reply;
}

Outcome ioWord(Coupler& c, const HidRequest& r, Bytes&) {
    HidState& s = c.hid.state;
    if (!s.ioDownload || r.length != 4) return Outcome::Error;
    return append(s.pending.ioMap, kMaxIoWords, r.payload) ? Outcome::Reply : Outcome::Error;
}

Outcome ioEnd(Coupler& c, const HidRequest&, Bytes&) {
    HidState& s = c.hid.state;
    if (!s.ioDownload) return Outcome::Error;
    s.held.ioMap = std::move(s.pending.ioMap);
    s.pending.ioMap.clear();
    s.ioDownload = false;
    return Outcome::Reply;
}

// Reply: the count (byte 3).
Outcome ioLength(Coupler& c, const HidRequest&, Bytes& body) {
    body.push_back(static_cast<std::uint8_t>(c.hid.state.held.ioMap.size()));
    return Outcome::Reply;
}

// Reply: the index asked for (byte 3), the word (4..7).
Outcome ioEntry(Coupler& c, const HidRequest& r, Bytes& body) {
    const auto& map = c.hid.state.held.ioMap;
    if (r.length != 1 || r.payload[0] >= map.size()) return Outcome::Error;
    body.push_back(r.payload[0]);
    putEntry(body, map[r.payload[0]]);
    return Outcome::Reply;
}

Outcome spdoBegin(Coupler& c, const HidRequest&, Bytes&) {
    HidState& s = c.hid.state;
    s.pending.sdo.clear();
    s.pending.tpdo.clear();
    s.pending.rpdo.clear();
    s.spdoDownload = true;
    return Outcome::Reply;
}

Outcome spdoEntry(Coupler& c, const HidRequest& r, Bytes&) {
    HidState& s = c.hid.state;
    if (!s.spdoDownload || r.length < 1) return Outcome::Error;
    const std::uint8_t* entry = r.payload + 1;
    bool taken = false;
    switch (r.payload[0]) {
        case kSdo:
            // The two bytes after the 7 kept ones carry nothing and must be zero.
            taken = r.length == kSdoEntryLength && r.payload[8] == 0 && r.payload[9] == 0 &&
                    append(s.pending.sdo, kMaxSdo, entry);
            break;
        case kTpdo: taken = r.length == kPdoEntryLength && append(s.pending.tpdo, kMaxTpdo, entry); break;
        case kRpdo: taken = r.length == kPdoEntryLength && append(s.pending.rpdo, kMaxRpdo, entry); break;
        default: break;
    }
    return taken ? Outcome::Reply : Outcome::Error;
}

Outcome spdoEnd(Coupler& c, const HidRequest&, Bytes&) {
    HidState& s = c.hid.state;
    if (!s.spdoDownload) return Outcome::Error;
    s.held.sdo = std::move(s.pending.sdo);
    s.held.tpdo = std::move(s.pending.tpdo);
    s.held.rpdo = std::move(s.pending.rpdo);
    s.pending = {};
    s.spdoDownload = false;
    return Outcome::Reply;
}

// Reply: TPDO count (3..4), RPDO count (5..6), SDO count (7..8), big-endian.
Outcome spdoLengths(Coupler& c, const HidRequest&, Bytes& body) {
    const CanOpenImage& img = c.hid.state.held;
    putU16(body, static_cast<std::uint16_t>(img.tpdo.size()));
    putU16(body, static_cast<std::uint16_t>(img.rpdo.size()));
    putU16(body, static_cast<std::uint16_t>(img.sdo.size()));
    return Outcome::Reply;
}

// Request: list, index (16 bit). Reply: list (3), index (4..5), the entry from byte 6.
Outcome spdoQuery(Coupler& c, const HidRequest& r, Bytes& body) {
    if (r.length != 3) return Outcome::Error;
    const CanOpenImage& img = c.hid.state.held;
    std::size_t index = getU16(r.payload + 1);
    body.assign(r.payload, r.payload + 3);
    switch (r.payload[0]) {
        case kSdo:
            if (index >= img.sdo.size()) return Outcome::Error;
            putEntry(body, img.sdo[index]);
            return Outcome::Reply;
        case kTpdo:
            if (index >= img.tpdo.size()) return Outcome::Error;
            putEntry(body, img.tpdo[index]);
            return Outcome::Reply;
        case kRpdo:
            if (index >= img.rpdo.size()) return Outcome::Error;
            putEntry(body, img.rpdo[index]);
            return Outcome::Reply;
        default: return Outcome::Error;
    }
}

}  // namespace vexa::sim::detail
