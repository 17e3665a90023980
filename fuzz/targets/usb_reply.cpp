// USB HID coupler replies (one report each): the reply parser after each request the library
// sends, the identify reply, and the raw copy-out.
#include "common/WireFuzz.h"
#include "main/CUsbMain.h"
#include "msg/CUsbMsg.h"

using namespace vexa;
using namespace vexa::fuzz;

namespace {

const std::uint8_t kData[32] = {0x01, 0x02, 0x03, 0x04};

constexpr BuildRequest kRequests[] = {
    [](CVEXAMsg& m, int) { m.SetReadMainPropMsg(2, 64); },
    [](CVEXAMsg& m, int p) { m.SetSearchSubDevMsg(p % 8); },
    [](CVEXAMsg& m, int p) { m.SetReadSubPropMsg(p % 8 + 1, p / 8 % 8, p / 8 % 8 * 32, p % 2 ? 64 : 8); },
    [](CVEXAMsg& m, int p) { m.SetReadSubDataMsg(p % 8 + 1, p / 8 % 8, p / 8 % 8 * 32, p % 2 ? 64 : 8); },
    [](CVEXAMsg& m, int p) { m.SetReadSubPropByAddrMsg(p % 8 + 1, p, p % 27); },
    [](CVEXAMsg& m, int p) { m.SetReadSubDataByAddrMsg(p % 8 + 1, p, p % 32); },
    [](CVEXAMsg& m, int p) { m.SetReadPageMsg(p * 16, p % 60); },
    [](CVEXAMsg& m, int) { m.SetWriteMainPropMsg(2 * 64, 6, kData, nullptr); },
    [](CVEXAMsg& m, int p) { m.SetWriteSubPropMsg(p % 8 + 1, p, 4, 0, kData, kData); },
    [](CVEXAMsg& m, int p) { m.SetWriteSubDataMsg(p % 8 + 1, p, 4, 0, kData, kData); },
    [](CVEXAMsg& m, int p) { m.SetWriteSubDataByAddrMsg(p % 8 + 1, p, 4, static_cast<std::uint16_t>(p), kData, kData); },
    [](CVEXAMsg& m, int p) { m.SetRebootSubDevMsg(p); },
    [](CVEXAMsg& m, int) { m.SetRebootDevMsg(); },
    [](CVEXAMsg& m, int) { static_cast<CUsbMsg&>(m).SetIdentifyMsg(); },
};
constexpr int kRequestCount = static_cast<int>(std::size(kRequests));

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WireInput in;
    if (!splitInput(data, size, 2, in)) return 0;
    CUsbMain m;
    CVEXASubMgr subs;
    fillSlots(m, kOriginUsb);
    auto& msg = static_cast<CUsbMsg&>(m.msg());
    int row = in.request % (kRequestCount + 1);
    if (row < kRequestCount) {
        kRequests[row](msg, in.param);
        putReply(msg, in);
        parseAndPlace(m, subs, in.param, in.replyLen);
        msg.ReplyAccepted();
        if (msg.validFrameLength() > in.replyLen) __builtin_trap();
    } else {
        putReply(msg, in);
        std::uint8_t out[kRecvCapacity];
        msg.CopyReceived(out, 1 + in.param * 4, false);
    }
    readAllTexts(m);
    return 0;
}
