// Ethernet coupler replies (UDP datagrams): the reply parser after each request the library
// sends, the search reply, and the raw copy-out.
#include "common/WireFuzz.h"
#include "main/CEthMain.h"

using namespace vexa;
using namespace vexa::fuzz;

namespace {

const std::uint8_t kData[32] = {'f', 'u', 'z', 'z'};

constexpr BuildRequest kRequests[] = {
    [](CVEXAMsg& m, int p) { m.SetReadMainPropMsg(p & 1, 256); },
    [](CVEXAMsg& m, int) { m.SetSearchSubModulesMsg(); },
    [](CVEXAMsg& m, int p) { m.SetReadSubPropMsg(p % 8 + 1, p / 8 % 8, p / 8 % 8 * 32, 64); },
    [](CVEXAMsg& m, int p) { m.SetReadSubDataMsg(p % 8 + 1, p / 8 % 8, p / 8 % 8 * 32, 64); },
    [](CVEXAMsg& m, int p) { m.SetReadSubPropByAddrMsg(p % 8 + 1, p, p % 32); },
    [](CVEXAMsg& m, int p) { m.SetReadSubDataByAddrMsg(p % 8 + 1, p, p % 32); },
    [](CVEXAMsg& m, int p) { m.SetWriteMainPropMsg(p, 16, kData, "pw"); },
    [](CVEXAMsg& m, int p) { m.SetWriteSubPropMsg(p % 8 + 1, p, 4, 0, kData, kData); },
    [](CVEXAMsg& m, int p) { m.SetWriteSubDataMsg(p % 8 + 1, p, 4, 0, kData, kData); },
    [](CVEXAMsg& m, int p) { m.SetRebootSubDevMsg(p); },
    [](CVEXAMsg& m, int) { m.SetRebootDevMsg(); },
};
constexpr int kRequestCount = static_cast<int>(std::size(kRequests));

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WireInput in;
    if (!splitInput(data, size, 2, in)) return 0;
    CEthMain m;
    CVEXASubMgr subs;
    fillSlots(m, kOriginEthernet);
    CVEXAMsg& msg = m.msg();
    // Requests past the table: the search reply and the raw copy-out of whatever arrived.
    int row = in.request % (kRequestCount + 2);
    if (row < kRequestCount) {
        kRequests[row](msg, in.param);
        putReply(msg, in);
        parseAndPlace(m, subs, in.param, in.replyLen);
    } else if (row == kRequestCount) {
        msg.SetSearchMsg();
        putReply(msg, in);
        EthSearchRecord r;
        msg.ParseEthSearchReply(r);
    } else {
        putReply(msg, in);
        std::uint8_t out[kRecvCapacity];
        msg.CopyReceived(out, 1 + in.param * 4, in.param & 1);
    }
    readAllTexts(m);
    return 0;
}
