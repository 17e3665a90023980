#include "CMbSerialMsg.h"

#include "MbMaster.h"
#include "wire/Modbus.h"

namespace vexa::mb {

namespace {
constexpr std::uint8_t kLf = '\n';
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

wire::SerialMode CMbSerialMsg::wireMode() const { return mode_ == kAscii ? wire::SerialMode::Ascii : wire::SerialMode::Rtu; }

void CMbSerialMsg::frame(int unit, const std::uint8_t* pdu, int pduLen, int /*transaction*/) {
    const std::uint8_t head = static_cast<std::uint8_t>(unit);
    wire::frameSerial(wireMode(), &head, 1, pdu, static_cast<std::size_t>(pduLen), send_);
}

void CMbSerialMsg::frameRaw(const std::uint8_t* bytes, int len) {
    wire::frameSerial(wireMode(), nullptr, 0, bytes, static_cast<std::size_t>(len), send_);
}

int CMbSerialMsg::checkedBytes(const std::uint8_t*& data, int& len) {
    std::size_t n = 0;
    switch (wire::unframeSerial(wireMode(), recv_, static_cast<std::size_t>(recvLen_), decoded_, sizeof decoded_,
                                data, n)) {
        case wire::FrameCheck::Ok: len = static_cast<int>(n); return KMB_OK;
        case wire::FrameCheck::Short: return KMB_ERR_SHORT_REPLY;
        case wire::FrameCheck::Bad: break;
    }
    return KMB_ERR_BAD_FRAME;
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
