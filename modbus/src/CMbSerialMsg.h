#pragma once
// Serial Modbus: RTU (unit, PDU, CRC-16 low byte first) or ASCII (':' , hex digits of unit, PDU
// and LRC, CR LF).
#include "CMbMsg.h"
#include "wire/Modbus.h"

namespace vexa::mb {

class CMbSerialMsg final : public CMbMsg {
public:
    enum Mode { kRtu = 0, kAscii = 1 };
    explicit CMbSerialMsg(Mode mode) : mode_(mode) {}

    int frameLength(const std::uint8_t* buf, int n) const override;

protected:
    void frame(int unit, const std::uint8_t* pdu, int pduLen, int transaction) override;
    void frameRaw(const std::uint8_t* bytes, int len) override;
    int unframe(const std::uint8_t*& pdu, int& pduLen) override;
    bool unframeRaw(const std::uint8_t*& data, int& len) override;

private:
    wire::SerialMode wireMode() const;
    // The frame's bytes without the check sum: 0, or a result code.
    int checkedBytes(const std::uint8_t*& data, int& len);

    Mode mode_;
    std::uint8_t decoded_[kReceiveCapacity / 2] = {};
};

}  // namespace vexa::mb
