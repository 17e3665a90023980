#include "CComMsg.h"

#include <cstring>

#include "FrameChecks.h"
#include "vexa_rc.h"
#include "wire/Coupler.h"
#include "wire/Modbus.h"

namespace vexa {

namespace {

constexpr const std::uint8_t (&kMagic)[4] = wire::kPrivateMagic;
using wire::kFnPrivate;
using wire::kFnSearch;
constexpr std::uint8_t kFnReadRegs = wire::kFnReadRegisters;
constexpr std::uint8_t kFnWriteRegs = wire::kFnWriteRegisters;
using wire::kSfReadMain;
using wire::kSfReadSubProp;
using wire::kSfReboot;
using wire::kSfRebootSub;
using wire::kSfStation;
using wire::kSfSubSearch;
using wire::kSfWriteMain;
using wire::kSfWriteSubProp;

constexpr int kSubBlockRegisters = 32;  // registers per sub-module block
constexpr int kSubEntryBytes = 16;
constexpr int kStationReplyBytes = 22;

}  // namespace

wire::SerialMode CComMsg::wireMode() const {
    return framing_ == kFramingAscii ? wire::SerialMode::Ascii : wire::SerialMode::Rtu;
}

int CComMsg::finish() {
    std::vector<std::uint8_t> body;
    body.swap(send_);
    wire::frameSerial(wireMode(), nullptr, 0, body.data(), body.size(), send_);
    return static_cast<int>(send_.size());
}

int CComMsg::privateFrame(int address, int function, int subFunction) {
    beginFrame(function);
    subFunction_ = subFunction;
    reqAddress_ = address & 0xFF;
    wire::serialPrivate(send_, address, static_cast<std::uint8_t>(function), static_cast<std::uint8_t>(subFunction));
    return 0;
}

int CComMsg::SetCustomMsg(const std::uint8_t* buf, int len, int addChecksum) {
    beginFrame(-1);
    reqAddress_ = 0;
    if (buf && len > 0) send_.assign(buf, buf + len);
    if (addChecksum && !send_.empty()) return finish();
    return static_cast<int>(send_.size());
}

int CComMsg::SetSearchStationMsg(int station) {
    privateFrame(station, kFnSearch, kSfStation);
    return finish();
}

int CComMsg::SetSearchSubModulesMsg() {
    privateFrame(station_, kFnSearch, kSfSubSearch);
    return finish();
}

int CComMsg::SetReadMainPropMsg(int, int length) {
    privateFrame(station_, kFnPrivate, kSfReadMain);
    expectRead(0, 0, length);
    return finish();
}

int CComMsg::SetWriteMainPropMsg(int address, int length, const std::uint8_t* data, const char*) {
    if (length < 0 || length > 255 || (length > 0 && !data)) return 0;
    privateFrame(station_, kFnPrivate, kSfWriteMain);
    send_.push_back(static_cast<std::uint8_t>(address));
    send_.push_back(static_cast<std::uint8_t>(length));
    send_.insert(send_.end(), data, data + length);
    return finish();
}

int CComMsg::SetRebootDevMsg() {
    privateFrame(station_, kFnPrivate, kSfReboot);
    return finish();
}

int CComMsg::SetRebootSubDevMsg(int) {
    // This wire names no sub module: the coupler restarts its sub-module bus.
    privateFrame(station_, kFnPrivate, kSfRebootSub);
    return finish();
}

int CComMsg::subRead(int subAddr, int block, int startReg, int lengthBytes, bool data) {
    int count = lengthBytes / 2;
    if (data) {
        beginFrame(kFnReadRegs);
        subFunction_ = 0;
        reqAddress_ = subAddr & 0xFF;
        send_ = {static_cast<std::uint8_t>(subAddr), kFnReadRegs};
    } else {
        privateFrame(subAddr, kFnPrivate, kSfReadSubProp);
    }
    std::uint8_t p[4];
    putBe16(p, static_cast<std::uint32_t>(startReg));
    putBe16(p + 2, static_cast<std::uint32_t>(count));
    send_.insert(send_.end(), p, p + 4);
    expectRead(block, startReg, lengthBytes);
    return finish();
}

int CComMsg::SetReadSubPropMsg(int subAddr, int block, int startReg, int lengthBytes) {
    return subRead(subAddr, block, startReg, lengthBytes, false);
}

int CComMsg::SetReadSubPropByAddrMsg(int subAddr, int startReg, int count) {
    return subRead(subAddr, -1, startReg, count * 2, false);
}

int CComMsg::SetReadSubDataMsg(int subAddr, int block, int startReg, int lengthBytes) {
    // Process data lives in blocks 0..3 only.
    if (block < 0 || block > 3) {
        beginFrame(-1);
        return 0;
    }
    return subRead(subAddr, block, startReg, lengthBytes, true);
}

int CComMsg::SetReadSubDataByAddrMsg(int subAddr, int startReg, int count) {
    return subRead(subAddr, -1, startReg, count * 2, true);
}

int CComMsg::subWrite(int subAddr, int startReg, int lengthBytes, const std::uint8_t* data, bool isData) {
    if (lengthBytes < 0 || lengthBytes > 250 || (lengthBytes > 0 && !data)) {
        beginFrame(-1);
        return 0;
    }
    if (isData) {
        beginFrame(kFnWriteRegs);
        subFunction_ = 0;
        reqAddress_ = subAddr & 0xFF;
        send_ = {static_cast<std::uint8_t>(subAddr), kFnWriteRegs};
    } else {
        privateFrame(subAddr, kFnPrivate, kSfWriteSubProp);
    }
    wire::appendRegisterWrite(send_, startReg, data, lengthBytes);
    return finish();
}

int CComMsg::SetWriteSubPropMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t, const std::uint8_t*,
                                const std::uint8_t* data) {
    return subWrite(subAddr, startReg, lengthBytes, data, false);
}

int CComMsg::SetWriteSubDataMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t, const std::uint8_t*,
                                const std::uint8_t* data) {
    // Outputs only: digital inputs, digital outputs and analog outputs (blocks 0, 1, 3).
    int block = startReg / kSubBlockRegisters;
    if (block != 0 && block != 1 && block != 3) {
        beginFrame(-1);
        return 0;
    }
    return subWrite(subAddr, startReg, lengthBytes, data, true);
}

int CComMsg::SetWriteSubDataByAddrMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t,
                                      const std::uint8_t*, const std::uint8_t* data) {
    return subWrite(subAddr, startReg, lengthBytes, data, true);
}

bool CComMsg::decode() {
    frame_.clear();
    std::uint8_t scratch[kRecvCapacity / 2];
    const std::uint8_t* data = nullptr;
    std::size_t len = 0;
    if (recvLen_ < 0 || wire::unframeSerial(wireMode(), recv_, static_cast<std::size_t>(recvLen_), scratch,
                                            sizeof scratch, data, len) != wire::FrameCheck::Ok)
        return false;
    frame_.assign(data, data + len);
    return true;
}

int CComMsg::CopyReceived(std::uint8_t* out, int outLen, bool) {
    if (!out || outLen <= 0 || !decode()) return 0;
    int n = recvLen_ < outLen ? recvLen_ : outLen;
    std::memcpy(out, recv_, static_cast<size_t>(n));
    return n;
}

bool CComMsg::fromRequested() const { return reqAddress_ == 0 || (!frame_.empty() && frame_[0] == reqAddress_); }

int CComMsg::ParseStationSearchReply(RsSearchRecord& out) {
    if (!decode() || !fromRequested()) return RC_BAD_REPLY;
    const auto& f = frame_;
    if (f.size() < kStationReplyBytes || f[1] != kFnSearch || std::memcmp(&f[2], kMagic, 4) != 0 ||
        f[6] != kSfStation)
        return RC_BAD_REPLY;
    out.station = f[0];
    readIdentity(&f[8], out.id);
    return RC_OK;
}

int CComMsg::parseSubSearch(Reply& out) {
    const auto& f = frame_;
    if (f.size() < 8 || std::memcmp(&f[2], kMagic, 4) != 0 || f[6] != kSfSubSearch) return RC_BAD_REPLY;
    // Never more entries than slots, nor than the frame carries.
    int count = f[7];
    int carried = static_cast<int>(f.size() - 8) / kSubEntryBytes;
    if (count > kSubSlots) count = kSubSlots;
    if (count > carried) count = carried;
    for (int i = 0; i < count; ++i) {
        if (f[8 + i * kSubEntryBytes] == 0) return RC_BAD_REPLY;
    }
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* e = &f[8 + i * kSubEntryBytes];
        int reported = e[kSerialSubAddressByte];
        if (reported == 0) continue;
        SubSlotRecord rec;
        rec.present = e[0];
        rec.address = static_cast<std::uint16_t>(reported + station_ - 1);
        readIdentity(e + 2, rec);
        rec.origin = kOriginSerial;
        out.slots.push_back({i, rec});
    }
    return RC_OK;
}

int CComMsg::parsePrivate(Reply& out) {
    const auto& f = frame_;
    if (f.size() < 7 || std::memcmp(&f[2], kMagic, 4) != 0 || f[6] != subFunction_) return RC_BAD_REPLY;
    switch (f[6]) {
        case kSfReadMain: {
            if (reqLength_ <= 0 || f.size() < 8 || boundedData(f[7], static_cast<int>(f.size()) - 8, reqLength_) < 0)
                return RC_BAD_REPLY;
            out.block = reqBlock_;
            take(out, 0, &f[8], reqLength_);
            return RC_OK;
        }
        case kSfReadSubProp: {
            int n = f.size() < 8 ? -1 : boundedData(f[7], static_cast<int>(f.size()) - 8, reqLength_);
            if (n < 0) return RC_BAD_REPLY;
            take(out, reqStart_, &f[8], n);
            return RC_OK;
        }
        case kSfWriteMain:
        case kSfReboot:
        case kSfWriteSubProp:
        case kSfRebootSub: return RC_OK;
        default: return RC_BAD_REPLY;
    }
}

int CComMsg::parseReply(Reply& out) {
    if (!decode() || frame_.size() < 2 || !fromRequested()) return RC_BAD_REPLY;
    std::uint8_t fn = frame_[1];
    if (fn & 0x80) {
        // RTU reports the function byte itself, ASCII the exception code.
        if (framing_ == kFramingRtu) return fn;
        return frame_.size() >= 3 ? static_cast<int>(frame_[2]) : static_cast<int>(RC_BAD_REPLY);
    }
    if (fn == kFnSearch) return subFunction_ == kSfSubSearch ? parseSubSearch(out) : static_cast<int>(RC_BAD_REPLY);
    if (fn == kFnPrivate) return parsePrivate(out);
    if (fn != expected_) return RC_BAD_REPLY;
    if (fn == kFnReadRegs) {
        int n = frame_.size() < 3 ? -1 : boundedData(frame_[2], static_cast<int>(frame_.size()) - 3, reqLength_);
        if (n < 0) return RC_BAD_REPLY;
        take(out, reqStart_, &frame_[3], n);
    }
    return RC_OK;
}

}  // namespace vexa
