#pragma once
// USB coupler frames: 0x7E, length, command, payload, XOR check, 0x7E — at most 64 bytes, one
// HID report each.
#include "CVEXAMsg.h"

namespace vexa {

constexpr int kHidFrameMax = 64;

class CUsbMsg : public CVEXAMsg {
public:

    int SetCustomMsg(const std::uint8_t* buf, int len, int addChecksum) override;
    int SetRebootDevMsg() override;
    int SetRebootSubDevMsg(int subAddr) override;
    int SetSearchSubDevMsg(int slotIndex) override;
    int SetReadMainPropMsg(int block, int length) override;
    int SetWriteMainPropMsg(int address, int length, const std::uint8_t* data, const char* password) override;
    int SetReadSubPropMsg(int subAddr, int block, int startReg, int lengthBytes) override;
    int SetReadSubDataMsg(int subAddr, int block, int startReg, int lengthBytes) override;
    int SetWriteSubPropMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t mode, const std::uint8_t* serial,
                           const std::uint8_t* data) override;
    int SetWriteSubDataMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t mode, const std::uint8_t* serial,
                           const std::uint8_t* data) override;
    int SetReadSubPropByAddrMsg(int subAddr, int startReg, int count) override;
    int SetReadSubDataByAddrMsg(int subAddr, int startReg, int count) override;
    // `mode` carries the piece sequence number on this wire (255 marks the last piece).
    int SetWriteSubDataByAddrMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t mode,
                                 const std::uint8_t* serial, const std::uint8_t* data) override;
    int CopyReceived(std::uint8_t* out, int outLen, bool dataOnly) override;
    bool ReplyAccepted() override;

    // Identify request of the USB search (7E 05 01 7A 7E).
    int SetIdentifyMsg();
    int SetReadPageMsg(int offset, int length) override;
    const WireLimits& limits() const override;
    // A frame with `command` and `payload` (the mapping and update commands use it).
    int SetCommandMsg(std::uint8_t command, const std::uint8_t* payload, int len);

    // Length of the well-formed frame in the receive buffer (length byte, check and closing
    // 0x7E verified), or 0.
    int validFrameLength() const;

protected:
    int parseReply(Reply& out) override;

private:
    int frame(std::uint8_t command, std::initializer_list<std::uint8_t> head, const std::uint8_t* data = nullptr,
              int dataLen = 0);
    int parseMainBlock(int len, Reply& out);
    int parseSubSlot(int len, Reply& out);

    int reqSlot_ = 0;
};

}  // namespace vexa
