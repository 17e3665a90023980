#include "HidProtocol.h"

#include <algorithm>

#include "Checks.h"
#include "HidCanOpen.h"
#include "HidFirmware.h"

namespace vexa::sim::detail {

namespace {

constexpr std::uint8_t kFlag = 0x7E;
constexpr std::uint8_t kErrorCommand = 0xFF;
constexpr std::size_t kFrameOverhead = 5;  // 7E, length, command, check, 7E
constexpr std::size_t kMaxFrame = 64;
constexpr std::size_t kMaxPage = 48;
constexpr std::uint8_t kLastPiece = 255;
constexpr int kMainBlock = 2;

Outcome identify(Coupler& c, const HidRequest&, Bytes& body) {
    if (!c.hid.config.answerIdentify) return Outcome::Quiet;
    const Identity& id = c.identity();
    putU16(body, id.manufacturer);
    putU16(body, id.mode);  // mode before type on this wire
    putU16(body, id.type);
    putU16(body, id.hardVer);
    putU16(body, id.softVer);
    body.insert(body.end(), id.serial.begin(), id.serial.end());
    return Outcome::Reply;
}

// Block 2: CANopen address (0), CAN baud index (1), user CAN baud (2..5, kept big-endian and
// sent little-endian).
Outcome mainBlock(Coupler& c, const HidRequest& r, Bytes& body) {
    std::uint8_t* block = c.blockAt(c.blockBase(kMainBlock));
    if (r.length == 1) {
        block[0] = r.payload[0];
    } else if (r.length == 4) {
        std::copy(r.payload, r.payload + 4, block + 2);
    } else if (r.length != 0) {
        return Outcome::Error;
    }
    body.push_back(block[0]);
    body.push_back(block[1]);
    for (int i = 5; i >= 2; --i) body.push_back(block[i]);
    return Outcome::Reply;
}

// Sub modules whose boot loader took an image whole start their new firmware.
void restartUpgradedSubs(Coupler& c) {
    for (int p = 1; p <= kMaxSubModules; ++p)
        if (SubModule* m = c.sub(p)) m->leaveFinishedBootLoader();
}

Outcome reboot(Coupler& c, const HidRequest&, Bytes&) {
    ++c.reboots;
    restartUpgradedSubs(c);
    return Outcome::Reply;
}

// The host announces a sub-module upgrade (0x83) and its end (0x84); the reply echoes the
// command with no payload. Payload bytes are ignored, as the coupler does.
Outcome subUpgradeStarts(Coupler&, const HidRequest&, Bytes&) { return Outcome::Reply; }
Outcome subUpgradeEnds(Coupler& c, const HidRequest&, Bytes&) {
    restartUpgradedSubs(c);
    return Outcome::Reply;
}

Outcome subSlot(Coupler& c, const HidRequest& r, Bytes& body) {
    if (r.length < 1 || r.payload[0] < 1 || r.payload[0] > kMaxSubModules) return Outcome::Error;
    int position = r.payload[0];
    const SubModule* m = c.sub(position);
    body.push_back(m ? static_cast<std::uint8_t>(position) : 0);
    putIdentity(body, m ? m->reported() : Identity{0, 0, 0, 0, 0, {}});
    return Outcome::Reply;
}

Outcome readSub(Coupler& c, const HidRequest& r, Bytes& body) {
    if (r.length < 3) return Outcome::Error;
    int count = r.payload[2];
    if (kFrameOverhead + 3 + static_cast<std::size_t>(count) * 2 > kMaxFrame) return Outcome::Error;
    body.assign(r.payload, r.payload + 3);
    body.resize(3 + static_cast<std::size_t>(count) * 2);
    return c.readSub(r.payload[0], r.payload[1], count, body.data() + 3) == SubAccess::Ok ? Outcome::Reply
                                                                                          : Outcome::Error;
}

Outcome writeSub(Coupler& c, const HidRequest& r, Bytes& body, bool property) {
    if (r.length < 3) return Outcome::Error;
    int count = r.payload[2];
    if (count == 0 || r.length != 3 + static_cast<std::size_t>(count) * 2) return Outcome::Error;
    if (c.writeSub(r.payload[0], r.payload[1], r.payload + 3, count * 2, property) != SubAccess::Ok)
        return Outcome::Error;
    body.assign(r.payload, r.payload + 3);
    return Outcome::Reply;
}

Outcome writeSubData(Coupler& c, const HidRequest& r, Bytes& body) { return writeSub(c, r, body, false); }
Outcome writeSubProperty(Coupler& c, const HidRequest& r, Bytes& body) { return writeSub(c, r, body, true); }

// Pieces of one write share sub address and start register; the last (255) writes them all.
Outcome writeByAddress(Coupler& c, const HidRequest& r, Bytes& body) {
    if (r.length < 3) return Outcome::Error;
    std::uint8_t seq = r.payload[0];
    int position = r.payload[1], start = r.payload[2];
    bool sameTransfer = seq != 0 && position == c.pieceSub && start == c.pieceStart;
    if (!sameTransfer) c.pieces.clear();
    c.pieceSub = position;
    c.pieceStart = start;
    c.pieces.insert(c.pieces.end(), r.payload + 3, r.payload + r.length);
    if (seq == kLastPiece) {
        Bytes all;
        all.swap(c.pieces);
        if (all.empty() || c.writeSub(position, start, all.data(), static_cast<int>(all.size()), false) != SubAccess::Ok)
            return Outcome::Error;
    }
    body = {seq, static_cast<std::uint8_t>(position)};
    return Outcome::Reply;
}

Outcome readByAddress(Coupler& c, const HidRequest& r, Bytes& body) {
    if (r.length < 3) return Outcome::Error;
    int count = r.payload[2];
    Bytes regs(static_cast<std::size_t>(count) * 2);
    if (count == 0 || c.readSub(r.payload[0], r.payload[1], count, regs.data()) != SubAccess::Ok) return Outcome::Error;
    c.page = std::move(regs);
    body.push_back(static_cast<std::uint8_t>(count));
    return Outcome::Reply;
}

Outcome readPage(Coupler& c, const HidRequest& r, Bytes& body) {
    if (r.length < 3) return Outcome::Error;
    std::size_t offset = getU16(r.payload), len = r.payload[2];
    if (len > kMaxPage || offset > c.page.size()) return Outcome::Error;
    len = std::min(len, c.page.size() - offset);
    body.assign(c.page.begin() + static_cast<std::ptrdiff_t>(offset),
                c.page.begin() + static_cast<std::ptrdiff_t>(offset + len));
    return Outcome::Reply;
}

constexpr struct {
    std::uint8_t command;
    HidHandler handler;
} kHidCommands[] = {
    {0x01, identify},     {0x02, mainBlock},        {0x04, reboot},         {0x10, subSlot},
    {0x11, readSub},      {0x12, writeSubData},     {0x13, writeSubProperty}, {0x80, writeByAddress},
    {0x81, readByAddress}, {0x82, readPage},       {0x83, subUpgradeStarts}, {0x84, subUpgradeEnds},
    {0x20, spdoBegin},    {0x21, spdoEntry},        {0x22, spdoEnd},        {0x23, spdoLengths},
    {0x24, spdoQuery},    {0x30, ioBegin},          {0x31, ioWord},         {0x32, ioEnd},
    {0x33, ioLength},     {0x34, ioEntry},          {0xA5, firmwareUpdate},
};

Bytes frame(std::uint8_t command, const Bytes& body) {
    Bytes f;
    f.reserve(body.size() + kFrameOverhead);
    f.push_back(kFlag);
    f.push_back(static_cast<std::uint8_t>(body.size() + kFrameOverhead));
    f.push_back(command);
    for (std::uint8_t b : body) f.push_back(b);
    f.push_back(xorOf(f.data(), f.size()));
    f.push_back(kFlag);
    return f;
}

Bytes report(const Bytes& frameBytes) {
    Bytes r(kHidReportLength, 0);
    std::copy(frameBytes.begin(), frameBytes.begin() + static_cast<std::ptrdiff_t>(std::min(frameBytes.size(), kMaxFrame)),
              r.begin() + 1);
    return r;
}

// The first script a test queued for this request, taken off the queue.
std::optional<HidScript> takeScript(Coupler& c, const HidRequest& r) {
    auto& scripts = c.hid.state.scripts;
    for (auto it = scripts.begin(); it != scripts.end(); ++it) {
        if (it->command != r.command || it->payloadPrefix.size() > r.length ||
            !std::equal(it->payloadPrefix.begin(), it->payloadPrefix.end(), r.payload))
            continue;
        HidScript s = std::move(*it);
        scripts.erase(it);
        return s;
    }
    return std::nullopt;
}

// The sub-module reboot travels unframed: A1 07 00 address 00 00 0A.
bool isSubReboot(const Bytes& rep) { return rep.size() >= 5 && rep[1] == 0xA1 && rep[2] == 0x07; }

}  // namespace

std::optional<Bytes> hidReply(Coupler& c, const Bytes& rep) {
    if (isSubReboot(rep)) {
        ++c.subReboots;
        return report(frame(0x07, {}));
    }
    // rep[0] is the report ID; the frame follows.
    std::size_t len = rep.size() >= 3 ? rep[2] : 0;
    bool framed = rep.size() >= 1 + kFrameOverhead && rep[1] == kFlag && len >= kFrameOverhead && len <= kMaxFrame &&
                  1 + len <= rep.size() && rep[len] == kFlag && xorOf(&rep[1], len - 2) == rep[len - 1];
    if (!framed) return report(frame(kErrorCommand, {}));
    HidRequest r{rep[3], &rep[4], len - kFrameOverhead};
    if (auto script = takeScript(c, r)) {
        switch (script->kind) {
            case HidScriptKind::Refuse: return report(frame(kErrorCommand, {}));
            case HidScriptKind::Lose: return std::nullopt;
            case HidScriptKind::Reply: return report(frame(r.command, script->body));
        }
    }
    for (const auto& cmd : kHidCommands)
        if (cmd.command == r.command) {
            Bytes body;
            switch (cmd.handler(c, r, body)) {
                case Outcome::Reply: return report(frame(r.command, body));
                case Outcome::Quiet: return std::nullopt;
                case Outcome::Error: return report(frame(kErrorCommand, {}));
            }
        }
    return report(frame(kErrorCommand, {}));
}

std::string hidHello(const HidCouplerConfig& config) {
    return "manufacturer=" + config.manufacturer + "\nproduct=" + config.product + "\ninput=" +
           std::to_string(kHidReportLength) + "\noutput=" + std::to_string(kHidReportLength) + "\n";
}

}  // namespace vexa::sim::detail
