#include "CMbTcpMsg.h"

#include <algorithm>

#include "MbMaster.h"

namespace vexa::mb {

namespace {
constexpr int kHeader = 7;  // MBAP with the unit identifier
// Ids for callers that pass none. Callers share it across connections; the library lock
// serialises every request that draws from it.
std::uint16_t gNextTransaction = 1;
}  // namespace

int CMbTcpMsg::frameLength(const std::uint8_t* buf, int n) const {
    if (n < 6) return 0;
    return std::min(6 + (buf[4] << 8 | buf[5]), kReceiveCapacity);
}

void CMbTcpMsg::frame(int unit, const std::uint8_t* pdu, int pduLen, int transaction) {
    const int id = transaction ? transaction : gNextTransaction++;
    const int length = pduLen + 1;
    send_.assign({static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id), 0, 0,
                  static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length),
                  static_cast<std::uint8_t>(unit)});
    send_.insert(send_.end(), pdu, pdu + pduLen);
}

void CMbTcpMsg::frameRaw(const std::uint8_t* bytes, int len) { send_.assign(bytes, bytes + len); }

int CMbTcpMsg::unframe(const std::uint8_t*& pdu, int& pduLen) {
    if (recvLen_ < kHeader + 1) return KMB_ERR_SHORT_REPLY;
    if (recv_[2] != 0 || recv_[3] != 0) return KMB_ERR_PROTOCOL_ID;
    // The length field counts the unit identifier and the PDU; a frame cut short is refused.
    const int length = recv_[4] << 8 | recv_[5];
    if (length < 2 || recvLen_ < 6 + length) return KMB_ERR_SHORT_REPLY;
    pdu = recv_ + kHeader;
    pduLen = length - 1;
    return KMB_OK;
}

bool CMbTcpMsg::unframeRaw(const std::uint8_t*& data, int& len) {
    data = recv_;
    len = recvLen_;
    return true;
}

}  // namespace vexa::mb
