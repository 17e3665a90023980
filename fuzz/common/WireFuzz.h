#pragma once
// What the coupler-reply targets share: the input layout, a rack of sub-module slots so that
// sub-module replies have somewhere to land, placing a parsed reply as the library does, and a
// pass over every text a caller could read.
//
// Input: byte 0 picks the request whose reply is parsed, byte 1 is its parameter (sub-module
// address, block, slot), the rest is the reply as it came off the wire.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "main/CVEXAMain.h"
#include "msg/CVEXAMsg.h"
#include "sub/CVEXASubMgr.h"

namespace vexa::fuzz {

struct WireInput {
    int request = 0;
    int param = 0;
    const std::uint8_t* reply = nullptr;
    int replyLen = 0;
};

inline bool splitInput(const std::uint8_t* data, std::size_t size, int header, WireInput& in) {
    if (size < static_cast<std::size_t>(header)) return false;
    in.request = data[0];
    in.param = header > 1 ? data[1] : 0;
    in.reply = data + header;
    std::size_t n = size - static_cast<std::size_t>(header);
    in.replyLen = static_cast<int>(n > static_cast<std::size_t>(kRecvCapacity) ? kRecvCapacity : n);
    return true;
}

inline void putReply(CVEXAMsg& msg, const WireInput& in) {
    std::memcpy(msg.recvBuffer(), in.reply, static_cast<std::size_t>(in.replyLen));
    msg.setRecvLength(in.replyLen);
}

// Eight occupied slots of the sub-module types the rack knows, at addresses 1..8.
inline void fillSlots(CVEXAMain& m, int origin) {
    static constexpr std::uint16_t kTypes[] = {0x4017, 0x2808, 0x1804, 0x3800, 0x4400, 0x5508, 0x4018, 0x9999};
    Reply search;
    for (int i = 0; i < kSubSlots; ++i) {
        SubSlotRecord r;
        r.address = static_cast<std::uint16_t>(i + 1);
        r.type = kTypes[i];
        r.hardVer = 0x0100;
        r.origin = origin;
        search.slots.push_back({i, r});
    }
    m.PlaceSlots(search);
}

// Parses the reply as the library would after the request built (param as below) and places
// what it carried: a coupler block into the coupler, slots into the slot table, register bytes
// into the object of the module at `param` (1..8). A reply never hands on more than arrived.
inline void parseAndPlace(CVEXAMain& m, CVEXASubMgr& subs, int param, int replyLen) {
    m.TakeBlockReply();
    Reply r;
    if (m.msg().ParseReply(&r) != RC_OK) return;
    if (static_cast<int>(r.data.size()) > replyLen) __builtin_trap();
    m.PlaceSlots(r);
    if (CVEXASub* sub = subs.SubAt(m, param % kSubSlots + 1))
        for (int area : {kSubProperty, kSubData})
            sub->ApplyBlock(area, param / 8 % 8, r.startReg, r.data.data(), static_cast<int>(r.data.size()));
}

// Every property text as KO_GetMainProperty hands it out: it must fit the caller's buffer.
inline void readAllTexts(CVEXAMain& m) {
    char text[kTextSize];
    for (const auto& b : m.blocks())
        for (const auto& it : b.items) {
            if (it.text.size() >= static_cast<std::size_t>(kTextSize)) __builtin_trap();
            it.copyText(text);
        }
}

// A request row: builds the request the reply answers (param as above).
using BuildRequest = void (*)(CVEXAMsg& msg, int param);

}  // namespace vexa::fuzz
