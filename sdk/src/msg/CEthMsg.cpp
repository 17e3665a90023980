#include "CEthMsg.h"

#include <cstdio>
#include <cstring>

#include "FrameChecks.h"
#include "vexa_rc.h"
#include "wire/Coupler.h"

namespace vexa {

namespace {

constexpr int kPasswordBytes = 16;
constexpr int kSearchReplyBytes = 24;
// The register count of a sub-module request travels in one byte.
constexpr int kMaxSubRegisters = 255;

}  // namespace

void CEthMsg::header(int command, std::uint8_t p0, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3) {
    beginFrame(command);
    wire::ethHeader(send_, static_cast<std::uint8_t>(command), p0, p1, p2, p3, mac_);
}

int CEthMsg::SetCustomMsg(const std::uint8_t* buf, int len, int) {
    beginFrame(-1);
    if (buf && len > 0) send_.assign(buf, buf + len);
    return static_cast<int>(send_.size());
}

int CEthMsg::SetSearchMsg() {
    beginFrame(-1);
    send_ = {0xA1, 0x15, 0x02, 0x00, 0x00, 0xFF};
    return static_cast<int>(send_.size());
}

int CEthMsg::SetRebootDevMsg() {
    header(wire::kEthReboot, 0, 0, 0, 0);
    return static_cast<int>(send_.size());
}

int CEthMsg::SetRebootSubDevMsg(int subAddr) {
    header(wire::kEthRebootSub, static_cast<std::uint8_t>(subAddr), 0, 0, 0);
    return static_cast<int>(send_.size());
}

int CEthMsg::SetSearchSubModulesMsg() {
    header(wire::kEthSearchSub, 0, 0, 0, 0);
    return static_cast<int>(send_.size());
}

int CEthMsg::SetReadMainPropMsg(int block, int length) {
    unsigned address = static_cast<unsigned>(block * length);
    header(wire::kEthReadMain, static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address),
           static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length));
    expectRead(block, 0, length);
    return static_cast<int>(send_.size());
}

int CEthMsg::SetWriteMainPropMsg(int address, int length, const std::uint8_t* data, const char* password) {
    if (length < 0 || (length > 0 && !data)) return 0;
    header(wire::kEthWriteMain, static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address),
           static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length));
    // The password travels cut or zero-padded to 16 bytes.
    std::uint8_t pass[kPasswordBytes] = {};
    if (password) std::memcpy(pass, password, strnlen(password, kPasswordBytes));
    send_.insert(send_.end(), pass, pass + kPasswordBytes);
    send_.insert(send_.end(), data, data + length);
    return static_cast<int>(send_.size());
}

int CEthMsg::buildSubRead(int subAddr, int block, int startReg, int lengthBytes) {
    if (lengthBytes < 0 || lengthBytes / 2 > kMaxSubRegisters) {
        beginFrame(-1);
        return 0;
    }
    header(wire::kEthReadSub, static_cast<std::uint8_t>(subAddr), static_cast<std::uint8_t>(startReg), 0,
           static_cast<std::uint8_t>(lengthBytes / 2));
    expectRead(block, startReg, lengthBytes);
    return static_cast<int>(send_.size());
}

int CEthMsg::SetReadSubPropMsg(int subAddr, int block, int startReg, int lengthBytes) {
    return buildSubRead(subAddr, block, startReg, lengthBytes);
}

int CEthMsg::SetReadSubDataMsg(int subAddr, int block, int startReg, int lengthBytes) {
    return buildSubRead(subAddr, block, startReg, lengthBytes);
}

int CEthMsg::SetReadSubPropByAddrMsg(int subAddr, int startReg, int count) {
    return buildSubRead(subAddr, -1, startReg, count * 2);
}

int CEthMsg::SetReadSubDataByAddrMsg(int subAddr, int startReg, int count) {
    return buildSubRead(subAddr, -1, startReg, count * 2);
}

int CEthMsg::buildSubWrite(int command, int subAddr, int startReg, int lengthBytes, std::uint16_t mode,
                           const std::uint8_t* serial, const std::uint8_t* data) {
    if (lengthBytes < 0 || lengthBytes / 2 > kMaxSubRegisters || (lengthBytes > 0 && !data)) return 0;
    beginFrame(command);
    wire::ethSubWrite(send_, static_cast<std::uint8_t>(command), mac_, subAddr, startReg,
                      mode, serial, data, lengthBytes);
    return static_cast<int>(send_.size());
}

int CEthMsg::SetWriteSubPropMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t mode,
                                const std::uint8_t* serial, const std::uint8_t* data) {
    return buildSubWrite(wire::kEthWriteSubProp, subAddr, startReg, lengthBytes, mode, serial, data);
}

int CEthMsg::SetWriteSubDataMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t mode,
                                const std::uint8_t* serial, const std::uint8_t* data) {
    return buildSubWrite(wire::kEthWriteSubData, subAddr, startReg, lengthBytes, mode, serial, data);
}

int CEthMsg::SetWriteSubDataByAddrMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t mode,
                                      const std::uint8_t* serial, const std::uint8_t* data) {
    return buildSubWrite(wire::kEthWriteSubData, subAddr, startReg, lengthBytes, mode, serial, data);
}

int CEthMsg::CopyReceived(std::uint8_t* out, int outLen, bool dataOnly) {
    if (!out || outLen <= 0) return 0;
    int start = dataOnly ? kHeader : 0;
    int n = recvLen_ - start;
    if (n <= 0) return 0;
    if (n > outLen) n = outLen;
    std::memcpy(out, recv_ + start, static_cast<size_t>(n));
    return n;
}

int CEthMsg::ParseEthSearchReply(EthSearchRecord& out) {
    static constexpr std::uint8_t kMagic[4] = {0x00, 0x02, 0x00, 0x02};
    if (recvLen_ < kSearchReplyBytes || std::memcmp(recv_, kMagic, 4) != 0) return RC_BAD_REPLY;
    const std::uint8_t* r = recv_;
    out.address = peer_;
    out.mac = wire::macText(r + 4);
    out.type = be16(r + 11);
    out.mode = be16(r + 13);
    out.flags = r[15];
    out.hardVer = be16(r + 16);
    out.extra = be16(r + 22);
    std::memcpy(out.reply, r, kSearchReplyBytes);
    return RC_OK;
}

int CEthMsg::parseMainBlock(Reply& out) {
    if (reqLength_ <= 0) return RC_BAD_REPLY;
    const std::uint8_t* r = recv_;
    if (static_cast<int>(be16(r + 2)) / reqLength_ != reqBlock_) return RC_BAD_REPLY;
    if (static_cast<int>(be16(r + 4)) * 2 != reqLength_ && recvLen_ != reqLength_ + kHeader) return RC_BAD_REPLY;
    // Spread only what arrived: a short datagram must not fill items from an older frame.
    if (recvLen_ < kHeader + reqLength_ || recvLen_ < kHeader + be16(r + 4) * 2) return RC_BAD_REPLY;
    out.block = reqBlock_;
    take(out, 0, r + kHeader, reqLength_);
    return RC_OK;
}

int CEthMsg::parseSubSearch(Reply& out) {
    if (recv_[0] != 0xA1 || recvLen_ < kHeader + wire::kEthSubRecords * wire::kEthSubRecordBytes) return RC_BAD_REPLY;
    for (int i = 0; i < wire::kEthSubRecords; ++i) {
        const std::uint8_t* e = recv_ + kHeader + i * wire::kEthSubRecordBytes;
        if (e[0] == 0) continue;
        SubSlotRecord rec;
        rec.address = e[0];
        readIdentity(e + 1, rec);
        rec.origin = kOriginEthernet;
        out.slots.push_back({i, rec});
    }
    return RC_OK;
}

int CEthMsg::parseSubRead(Reply& out) {
    const std::uint8_t* r = recv_;
    if (reqLength_ >= 2 && reqBlock_ >= 0 && r[3] / (reqLength_ / 2) != reqBlock_) return RC_BAD_REPLY;
    if (r[5] * 2 != reqLength_ && recvLen_ != reqLength_ + kHeader) return RC_BAD_REPLY;
    // A datagram cut short of its own register count, or of the request's, places nothing.
    int carried = recvLen_ - kHeader;
    if (carried < r[5] * 2 || carried < reqLength_) return RC_BAD_REPLY;
    take(out, r[3], r + kHeader, reqLength_);
    return RC_OK;
}

int CEthMsg::parseReply(Reply& out) {
    if (recvLen_ < kHeader) return RC_BAD_REPLY;
    std::uint8_t cmd = recv_[1];
    if (cmd & 0x80) return RC_ERROR_REPLY;
    // A reboot acknowledgement is taken as the answer to anything.
    if (cmd != expected_ && cmd != wire::kEthReboot) return RC_BAD_REPLY;
    switch (cmd) {
        case wire::kEthReadMain: return parseMainBlock(out);
        case wire::kEthSearchSub: return parseSubSearch(out);
        case wire::kEthReadSub: return parseSubRead(out);
        case wire::kEthWriteMain:
        case wire::kEthWriteSubData:
        case wire::kEthReboot:
        case wire::kEthRebootSub:
        case wire::kEthWriteSubProp: return RC_OK;
        default: return RC_FAILED;  // a command this library never sends
    }
}

}  // namespace vexa
