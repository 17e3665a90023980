#include "CMbSerialMsg.h"

#include "ModbusCodec.h"
#include "MbMaster.h"

namespace vexa::mb {

namespace {
constexpr std::uint8_t kColon = ':', kCr = '\r', kLf = '\n';
}

int CMbSerialMsg::frameLength(const std::uint8_t* buf, int n) const {
    if (mode_ == kAscii) {
        for (int i = 0; i < n; ++i)
            if (buf[i] == kLf) return i + 1;
        return 0;
    }
    if (n < 2) return 0;
    const int function = buf[1];
    if (function & 0x80) return 5;
    switch (function) {
        case 0x01: case 0x02: case 0x03: case 0x04: return n < 3 ? 0 : 5 + buf[2];
        case 0x05: case 0x06: case 0x0F: case 0x10: return 8;
        default: return 0;  // private functions: the line going quiet ends them
    }
}

void CMbSerialMsg::frame(int unit, const std::uint8_t* pdu, int pduLen, int /*transaction*/) {
    const std::uint8_t head = static_cast<std::uint8_t>(unit);
    frameBytes(&head, 1, pdu, pduLen);
}

void CMbSerialMsg::frameRaw(const std::uint8_t* bytes, int len) { frameBytes(nullptr, 0, bytes, len); }

void CMbSerialMsg::frameBytes(const std::uint8_t* head, int headLen, const std::uint8_t* body, int bodyLen) {
    send_.clear();
    if (mode_ == kRtu) {
        send_.insert(send_.end(), head, head + headLen);
        send_.insert(send_.end(), body, body + bodyLen);
        const std::uint16_t crc = crc16(send_.data(), send_.size());
        send_.push_back(static_cast<std::uint8_t>(crc));
        send_.push_back(static_cast<std::uint8_t>(crc >> 8));
        return;
    }
    send_.push_back(kColon);
    std::uint8_t sum = 0;
    for (int i = 0; i < headLen; ++i) {
        appendHex(send_, head[i]);
        sum = static_cast<std::uint8_t>(sum + head[i]);
    }
    for (int i = 0; i < bodyLen; ++i) {
        appendHex(send_, body[i]);
        sum = static_cast<std::uint8_t>(sum + body[i]);
    }
    appendHex(send_, static_cast<std::uint8_t>(-sum));
    send_.push_back(kCr);
    send_.push_back(kLf);
}

int CMbSerialMsg::checkedBytes(const std::uint8_t*& data, int& len) {
    if (mode_ == kRtu) {
        if (recvLen_ < 2) return KMB_ERR_SHORT_REPLY;
        const std::uint16_t crc = crc16(recv_, recvLen_ - 2);
        if (recv_[recvLen_ - 2] != (crc & 0xFF) || recv_[recvLen_ - 1] != (crc >> 8)) return KMB_ERR_BAD_FRAME;
        data = recv_;
        len = recvLen_ - 2;
        return KMB_OK;
    }
    // ASCII: tolerant of a missing delimiter (at least one must be in place), the same rule as
    // the device library applies to the couplers' ASCII replies.
    if (recvLen_ < 3) return KMB_ERR_SHORT_REPLY;
    const bool colon = recv_[0] == kColon;
    const bool crlf = recv_[recvLen_ - 2] == kCr && recv_[recvLen_ - 1] == kLf;
    const bool lf = recv_[recvLen_ - 1] == kLf;
    if (!colon && !crlf && !lf) return KMB_ERR_BAD_FRAME;
    const int first = colon ? 1 : 0;
    const int end = crlf ? recvLen_ - 2 : (lf ? recvLen_ - 1 : recvLen_);
    const int n = decodeHex(recv_ + first, end - first, decoded_, sizeof decoded_);
    if (n < 2) return n < 0 ? KMB_ERR_BAD_FRAME : KMB_ERR_SHORT_REPLY;
    if (lrc(decoded_, n - 1) != decoded_[n - 1]) return KMB_ERR_BAD_FRAME;
    data = decoded_;
    len = n - 1;
    return KMB_OK;
}

int CMbSerialMsg::unframe(const std::uint8_t*& pdu, int& pduLen) {
    const std::uint8_t* data = nullptr;
    int len = 0;
    int rc = checkedBytes(data, len);
    if (rc != KMB_OK) return rc;
    pdu = data + 1;  // after the unit
    pduLen = len - 1;
    return KMB_OK;
}

bool CMbSerialMsg::unframeRaw(const std::uint8_t*& data, int& len) {
    return checkedBytes(data, len) == KMB_OK && len > 0;
}

}  // namespace vexa::mb
