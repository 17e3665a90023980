#pragma once
// Modbus TCP: the MBAP header (transaction id, protocol id 0, length, unit) before the PDU.
#include "CMbMsg.h"

namespace vexa::mb {

class CMbTcpMsg final : public CMbMsg {
public:
    int frameLength(const std::uint8_t* buf, int n) const override;

protected:
    void frame(int unit, const std::uint8_t* pdu, int pduLen, int transaction) override;
    void frameRaw(const std::uint8_t* bytes, int len) override;
    int unframe(const std::uint8_t*& pdu, int& pduLen) override;
    bool unframeRaw(const std::uint8_t*& data, int& len) override;
};

}  // namespace vexa::mb
