#include "CComMsg.h"

#include <cstring>

#include "FrameChecks.h"
#include "ModbusCodec.h"
#include "vexa_rc.h"

namespace vexa {

namespace {

constexpr std::uint8_t kMagic[4] = {'K', 'V', 'M', 'B'};
constexpr std::uint8_t kFnSearch = 0x46;
constexpr std::uint8_t kFnPrivate = 0x47;
constexpr std::uint8_t kFnReadRegs = 0x03;
constexpr std::uint8_t kFnWriteRegs = 0x10;

enum SubFunction : std::uint8_t {
    kSfStation = 0x01,     // with 0x46
    kSfSubSearch = 0x02,   // with 0x46
    kSfReadMain = 0x01,
    kSfWriteMain = 0x02,
    kSfReboot = 0x03,
    kSfReadSubProp = 0x04,
    kSfWriteSubProp = 0x05,
    kSfRebootSub = 0x06,
};

constexpr int kSubBlockRegisters = 32;  // registers per sub-module block
constexpr int kSubEntryBytes = 16;
constexpr int kStationReplyBytes = 22;

}  // namespace

int CComMsg::finish() {
    if (framing_ == kFramingRtu) {
        std::uint16_t crc = mb::crc16(send_.data(), send_.size());
        send_.push_back(static_cast<std::uint8_t>(crc));
        send_.push_back(static_cast<std::uint8_t>(crc >> 8));
    } else {
        std::vector<std::uint8_t> ascii{':'};
        for (std::uint8_t b : send_) mb::appendHex(ascii, b);
        mb::appendHex(ascii, mb::lrc(send_.data(), send_.size()));
        ascii.push_back('\r');
        ascii.push_back('\n');
        send_.swap(ascii);
    }
    return static_cast<int>(send_.size());
}

int CComMsg::privateFrame(int address, int function, int subFunction) {
    beginFrame(function);
    subFunction_ = subFunction;
    reqAddress_ = address & 0xFF;
    send_ = {static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(function)};
    send_.insert(send_.end(), kMagic, kMagic + 4);
    send_.push_back(static_cast<std::uint8_t>(subFunction));
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
    std::uint8_t p[4];
    putBe16(p, static_cast<std::uint32_t>(startReg));
    putBe16(p + 2, static_cast<std::uint32_t>(lengthBytes / 2));
    send_.insert(send_.end(), p, p + 4);
    send_.push_back(static_cast<std::uint8_t>(lengthBytes));
    send_.insert(send_.end(), data, data + lengthBytes);
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
    const std::uint8_t* r = recv_;
    int n = recvLen_;
    if (framing_ == kFramingRtu) {
        // Address, function, at least a CRC: anything shorter is not a frame (FF FF would
        // otherwise pass as the CRC of nothing).
        if (n < 4) return false;
        std::uint16_t crc = mb::crc16(r, static_cast<size_t>(n - 2));
        if (r[n - 2] != static_cast<std::uint8_t>(crc) || r[n - 1] != static_cast<std::uint8_t>(crc >> 8)) return false;
        frame_.assign(r, r + n - 2);
        return true;
    }
    // ':' hex... CR LF, with an even number of hex digits.
    if (n < 1 + 6 + 2 || r[0] != ':' || r[n - 2] != '\r' || r[n - 1] != '\n') return false;
    std::vector<std::uint8_t> bin(static_cast<size_t>(n - 3) / 2);
    if (mb::decodeHex(r + 1, n - 3, bin.data(), static_cast<int>(bin.size())) < 0) return false;
    if (mb::lrc(bin.data(), bin.size() - 1) != bin.back()) return false;
    bin.pop_back();
    frame_.swap(bin);
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
