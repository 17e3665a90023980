#include "CUsbMsg.h"

#include <cstring>

#include "FrameChecks.h"
#include "vexa_rc.h"

namespace vexa {

namespace {

enum UsbCommand : std::uint8_t {
    kIdentify = 0x01,
    kMainBlock = 0x02,
    kReboot = 0x04,
    kRebootSub = 0x07,
    kSubSlot = 0x10,
    kReadSub = 0x11,
    kWriteSubData = 0x12,
    kWriteSubProp = 0x13,
    kWriteByAddr = 0x80,
    kReadByAddr = 0x81,
    kReadPage = 0x82,
    kDeviceError = 0xFF,
};

constexpr int kFrameOverhead = 5;  // 7E, length, command, check, 7E
constexpr int kMaxPropRegisters = 26;
constexpr int kMaxDataRegisters = 24;
constexpr int kSubReplyData = 6;   // register bytes of a 0x11 reply start here
constexpr int kPageReplyData = 3;  // bytes of a 0x82 reply start here

}  // namespace

int CUsbMsg::frame(std::uint8_t command, std::initializer_list<std::uint8_t> head, const std::uint8_t* data,
                   int dataLen) {
    send_ = {0x7E, 0, command};
    send_.insert(send_.end(), head);
    if (data && dataLen > 0) send_.insert(send_.end(), data, data + dataLen);
    send_[1] = static_cast<std::uint8_t>(send_.size() + 2);
    send_.push_back(xor8(send_.data(), send_.size()));
    send_.push_back(0x7E);
    return static_cast<int>(send_.size());
}

int CUsbMsg::SetCustomMsg(const std::uint8_t* buf, int len, int) {
    beginFrame(-1);
    // The caller gives 7E, a length placeholder, the command and the payload.
    if (!buf || len < 3) return 0;
    return frame(buf[2], {}, buf + 3, len - 3);
}

int CUsbMsg::SetIdentifyMsg() {
    beginFrame(kIdentify);
    return frame(kIdentify, {});
}

int CUsbMsg::SetRebootDevMsg() {
    beginFrame(kReboot);
    return frame(kReboot, {});
}

int CUsbMsg::SetRebootSubDevMsg(int subAddr) {
    // Sent unframed, as the coupler has always received it.
    beginFrame(kRebootSub);
    send_ = {0xA1, 0x07, 0x00, static_cast<std::uint8_t>(subAddr), 0x00, 0x00, 0x0A};
    return static_cast<int>(send_.size());
}

int CUsbMsg::SetSearchSubDevMsg(int slotIndex) {
    beginFrame(kSubSlot);
    reqSlot_ = slotIndex;
    return frame(kSubSlot, {static_cast<std::uint8_t>(slotIndex + 1)});
}

int CUsbMsg::SetReadMainPropMsg(int block, int length) {
    beginFrame(kMainBlock);
    expectRead(block, 0, length);
    return frame(kMainBlock, {});
}

int CUsbMsg::SetWriteMainPropMsg(int address, int length, const std::uint8_t* data, const char*) {
    beginFrame(address >> 6);
    if (length < 0 || length > kHidFrameMax - kFrameOverhead || (length > 0 && !data)) return 0;
    // The block is named by the command byte; this wire carries no offset.
    expectRead(address >> 6, 0, -1);
    return frame(static_cast<std::uint8_t>(address >> 6), {}, data, length);
}

int CUsbMsg::SetReadSubPropMsg(int subAddr, int block, int startReg, int lengthBytes) {
    beginFrame(kReadSub);
    int count = lengthBytes > 48 ? kMaxPropRegisters : lengthBytes / 2;
    expectRead(block, startReg, count * 2);
    return frame(kReadSub, {static_cast<std::uint8_t>(subAddr), static_cast<std::uint8_t>(startReg),
                            static_cast<std::uint8_t>(count)});
}

int CUsbMsg::SetReadSubDataMsg(int subAddr, int block, int startReg, int lengthBytes) {
    beginFrame(kReadSub);
    int count = lengthBytes > 48 ? kMaxDataRegisters : lengthBytes / 2;
    expectRead(block, startReg, count * 2);
    return frame(kReadSub, {static_cast<std::uint8_t>(subAddr), static_cast<std::uint8_t>(startReg),
                            static_cast<std::uint8_t>(count)});
}

int CUsbMsg::SetReadSubPropByAddrMsg(int subAddr, int startReg, int count) {
    beginFrame(kReadSub);
    if (count < 0 || count > kMaxPropRegisters) return 0;
    expectRead(-1, startReg, count * 2);
    return frame(kReadSub, {static_cast<std::uint8_t>(subAddr), static_cast<std::uint8_t>(startReg),
                            static_cast<std::uint8_t>(count)});
}

int CUsbMsg::SetReadSubDataByAddrMsg(int subAddr, int startReg, int count) {
    beginFrame(kReadByAddr);
    return frame(kReadByAddr, {static_cast<std::uint8_t>(subAddr), static_cast<std::uint8_t>(startReg),
                               static_cast<std::uint8_t>(count)});
}

// A reply holds at most 26 property or 24 data registers: a block of 32 comes in two requests.
// By-address data moves through the coupler's buffer, in pages out and numbered pieces in.
const WireLimits& CUsbMsg::limits() const {
    static constexpr WireLimits kUsb{.secondPartRegisters = 16,
                                     .pageBytes = 48,
                                     .pagedReadMax = 498,
                                     .pieceBytes = 32,
                                     .lastPiece = 255};
    return kUsb;
}

int CUsbMsg::SetReadPageMsg(int offset, int length) {
    beginFrame(kReadPage);
    expectRead(-1, offset, length);
    return frame(kReadPage, {static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset),
                             static_cast<std::uint8_t>(length)});
}

int CUsbMsg::SetWriteSubPropMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t, const std::uint8_t*,
                                const std::uint8_t* data) {
    beginFrame(kWriteSubProp);
    if (lengthBytes < 0 || lengthBytes > kHidFrameMax - kFrameOverhead - 3 || (lengthBytes > 0 && !data)) return 0;
    return frame(kWriteSubProp, {static_cast<std::uint8_t>(subAddr), static_cast<std::uint8_t>(startReg),
                                 static_cast<std::uint8_t>(lengthBytes / 2)},
                 data, lengthBytes);
}

int CUsbMsg::SetWriteSubDataMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t, const std::uint8_t*,
                                const std::uint8_t* data) {
    beginFrame(kWriteSubData);
    if (lengthBytes < 0 || lengthBytes > kHidFrameMax - kFrameOverhead - 3 || (lengthBytes > 0 && !data)) return 0;
    return frame(kWriteSubData, {static_cast<std::uint8_t>(subAddr), static_cast<std::uint8_t>(startReg),
                                 static_cast<std::uint8_t>(lengthBytes / 2)},
                 data, lengthBytes);
}

int CUsbMsg::SetWriteSubDataByAddrMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t mode,
                                      const std::uint8_t*, const std::uint8_t* data) {
    beginFrame(kWriteByAddr);
    if (lengthBytes < 0 || lengthBytes > kHidFrameMax - kFrameOverhead - 3 || (lengthBytes > 0 && !data)) return 0;
    return frame(kWriteByAddr, {static_cast<std::uint8_t>(mode), static_cast<std::uint8_t>(subAddr),
                                static_cast<std::uint8_t>(startReg)},
                 data, lengthBytes);
}

int CUsbMsg::SetCommandMsg(std::uint8_t command, const std::uint8_t* payload, int len) {
    beginFrame(command);
    if (len < 0 || len > kHidFrameMax - kFrameOverhead || (len > 0 && !payload)) return 0;
    return frame(command, {}, payload, len);
}

int CUsbMsg::validFrameLength() const {
    if (recvLen_ < kFrameOverhead || recv_[0] != 0x7E) return 0;
    int len = recv_[1];
    if (len < kFrameOverhead || len > recvLen_ || len > kHidFrameMax) return 0;
    if (recv_[len - 1] != 0x7E || xor8(recv_, static_cast<size_t>(len - 2)) != recv_[len - 2]) return 0;
    return len;
}

int CUsbMsg::CopyReceived(std::uint8_t* out, int outLen, bool) {
    if (!out || outLen <= 0 || recvLen_ < 2) return 0;
    int n = recv_[1];
    if (n > recvLen_) n = recvLen_;
    if (n > outLen) n = outLen;
    std::memcpy(out, recv_, static_cast<size_t>(n));
    return n;
}

bool CUsbMsg::ReplyAccepted() { return recvLen_ > 2 && recv_[2] != kDeviceError; }

int CUsbMsg::parseMainBlock(int len, Reply& out) {
    // CANopen address, CAN baud index and the user CAN baud (little-endian on this wire) make
    // up the coupler's 6-byte block image.
    if (reqBlock_ != kMainBlock || len < 9 + 2) return RC_BAD_REPLY;
    std::uint8_t image[6];
    image[0] = recv_[3];
    image[1] = (recv_[4] & 0x80) ? 0xFF : (recv_[4] & 0x7F);
    image[2] = recv_[8];
    image[3] = recv_[7];
    image[4] = recv_[6];
    image[5] = recv_[5];
    out.block = kMainBlock;
    take(out, 0, image, sizeof image);
    return RC_OK;
}

int CUsbMsg::parseSubSlot(int len, Reply& out) {
    if (len < 18 + 2) return RC_BAD_REPLY;
    const std::uint8_t* r = recv_;
    SubSlotRecord rec;
    rec.address = r[3];
    readIdentity(r + 4, rec);
    rec.origin = kOriginUsb;
    if (reqSlot_ >= 0 && reqSlot_ < kSubSlots) out.slots.push_back({reqSlot_, rec});
    return RC_OK;
}

int CUsbMsg::parseReply(Reply& out) {
    if (recvLen_ >= 3 && recv_[0] == 0x7E && recv_[2] == kDeviceError) return RC_DEVICE_ERROR;
    int len = validFrameLength();
    if (!len) return RC_BAD_REPLY;
    std::uint8_t cmd = recv_[2];
    switch (cmd) {
        case kMainBlock: return parseMainBlock(len, out);
        case kReboot:
        case kWriteSubData:
        case kWriteSubProp:
        case kWriteByAddr:
        case kReadByAddr: return RC_OK;
        case kRebootSub: return cmd == expected_ ? RC_OK : RC_BAD_REPLY;
        case kSubSlot: return expected_ == kSubSlot ? parseSubSlot(len, out) : RC_BAD_REPLY;
        case kReadSub: {
            if (expected_ != kReadSub || len < kSubReplyData + 2) return RC_BAD_REPLY;
            // The reply names its first register and count (byte 5); it must carry them all.
            int n = boundedData(recv_[5] * 2, len - kSubReplyData - 2, reqLength_);
            // Items are placed from the register this request started at (a block comes in two
            // requests over this wire).
            if (n < 0 || recv_[4] != static_cast<std::uint8_t>(reqStart_)) return RC_BAD_REPLY;
            take(out, reqStart_, recv_ + kSubReplyData, n);
            return RC_OK;
        }
        case kReadPage: {
            if (expected_ != kReadPage) return RC_BAD_REPLY;
            int carried = len - kPageReplyData - 2;
            if (reqLength_ >= 0 && carried > reqLength_) carried = reqLength_;
            take(out, reqStart_, recv_ + kPageReplyData, carried);
            return RC_OK;
        }
        default: return RC_FAILED;  // a command this library never sends
    }
}

}  // namespace vexa
