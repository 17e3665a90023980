// RS-485 coupler replies, Modbus RTU and ASCII with the private functions: the reply parser
// after each request the library sends, the station search reply, and the raw copy-out.
// Input: request, parameter, framing (bit 0: ASCII), then the bytes off the line.
#include "common/WireFuzz.h"
#include "main/CComMain.h"
#include "msg/CComMsg.h"

using namespace vexa;
using namespace vexa::fuzz;

namespace {

const std::uint8_t kData[32] = {0x12, 0x34, 0x56, 0x78};

constexpr BuildRequest kRequests[] = {
    [](CVEXAMsg& m, int) { m.SetReadMainPropMsg(0, 64); },
    [](CVEXAMsg& m, int) { m.SetSearchSubModulesMsg(); },
    [](CVEXAMsg& m, int p) { m.SetReadSubPropMsg(p % 8 + 1, p / 8 % 8, p / 8 % 8 * 32, 64); },
    [](CVEXAMsg& m, int p) { m.SetReadSubDataMsg(p % 8 + 1, p / 8 % 8, p / 8 % 8 * 32, 64); },
    [](CVEXAMsg& m, int p) { m.SetReadSubPropByAddrMsg(p % 8 + 1, p, p % 32); },
    [](CVEXAMsg& m, int p) { m.SetReadSubDataByAddrMsg(p % 8 + 1, p, p % 32); },
    [](CVEXAMsg& m, int p) { m.SetWriteMainPropMsg(p % 64, 16, kData, nullptr); },
    [](CVEXAMsg& m, int p) { m.SetWriteSubPropMsg(p % 8 + 1, p, 4, 0, kData, kData); },
    [](CVEXAMsg& m, int p) { m.SetWriteSubDataMsg(p % 8 + 1, p % 4 * 32, 4, 0, kData, kData); },
    [](CVEXAMsg& m, int p) { m.SetRebootSubDevMsg(p); },
    [](CVEXAMsg& m, int) { m.SetRebootDevMsg(); },
};
constexpr int kRequestCount = static_cast<int>(std::size(kRequests));

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WireInput in;
    if (!splitInput(data, size, 3, in)) return 0;
    CComMain m;
    m.SetFraming(data[2] & 1 ? kFramingAscii : kFramingRtu);
    m.SetStation(in.param % 247 + 1);
    CVEXASubMgr subs;
    fillSlots(m, kOriginSerial);
    CVEXAMsg& msg = m.msg();
    int row = in.request % (kRequestCount + 2);
    if (row < kRequestCount) {
        kRequests[row](msg, in.param);
        putReply(msg, in);
        parseAndPlace(m, subs, in.param, in.replyLen);
    } else if (row == kRequestCount) {
        msg.SetSearchStationMsg(in.param);
        putReply(msg, in);
        RsSearchRecord r;
        msg.ParseStationSearchReply(r);
    } else {
        putReply(msg, in);
        std::uint8_t out[kRecvCapacity];
        msg.CopyReceived(out, 1 + in.param * 4, false);
    }
    readAllTexts(m);
    return 0;
}
