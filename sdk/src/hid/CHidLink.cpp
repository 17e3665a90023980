#include "CHidLink.h"

#include "main/CUsbMain.h"
#include "msg/CUsbMsg.h"
#include "msg/vexa_rc.h"

namespace vexa {

int CHidLink::Exchange(std::uint8_t command, const std::uint8_t* payload, int len) {
    replyLength_ = 0;
    CUsbMsg& msg = main_.usbMsg();
    if (msg.SetCommandMsg(command, payload, len) <= 0) return RC_HID_NOT_SENT;
    switch (main_.Transact()) {
        case RC_OK: break;
        case RC_SEND_FAILED: return RC_HID_NOT_SENT;
        default: return RC_HID_NO_REPLY;
    }
    if (!msg.ReplyAccepted()) return RC_HID_NOT_OK;
    // Only a whole frame answering this command counts: the mapping lists and the firmware
    // pieces must not be taken from a damaged or unrelated report.
    int frameLength = msg.validFrameLength();
    if (frameLength == 0 || msg.recvBuffer()[2] != command) return RC_HID_NOT_OK;
    replyLength_ = frameLength - 2;
    return RC_OK;
}

const std::uint8_t* CHidLink::reply() const { return main_.usbMsg().recvBuffer(); }

}  // namespace vexa
