#include "CVEXAMsg.h"

#include "vexa_rc.h"

namespace vexa {

int CVEXAMsg::SetCustomMsg(const std::uint8_t*, int, int) { return kNotOnThisWire; }
int CVEXAMsg::SetSearchStationMsg(int) { return kNotOnThisWire; }
int CVEXAMsg::SetSearchMsg() { return kNotOnThisWire; }
int CVEXAMsg::SetRebootDevMsg() { return kNotOnThisWire; }
int CVEXAMsg::SetRebootSubDevMsg(int) { return kNotOnThisWire; }
int CVEXAMsg::SetSearchSubDevMsg(int) { return kNotOnThisWire; }
int CVEXAMsg::SetSearchSubModulesMsg() { return kNotOnThisWire; }
int CVEXAMsg::SetReadMainPropMsg(int, int) { return kNotOnThisWire; }
int CVEXAMsg::SetWriteMainPropMsg(int, int, const std::uint8_t*, const char*) { return kNotOnThisWire; }
int CVEXAMsg::SetReadSubPropMsg(int, int, int, int) { return kNotOnThisWire; }
int CVEXAMsg::SetReadSubDataMsg(int, int, int, int) { return kNotOnThisWire; }
int CVEXAMsg::SetWriteSubPropMsg(int, int, int, std::uint16_t, const std::uint8_t*, const std::uint8_t*) {
    return kNotOnThisWire;
}
int CVEXAMsg::SetWriteSubDataMsg(int, int, int, std::uint16_t, const std::uint8_t*, const std::uint8_t*) {
    return kNotOnThisWire;
}
int CVEXAMsg::SetReadSubPropByAddrMsg(int, int, int) { return kNotOnThisWire; }
int CVEXAMsg::SetReadSubDataByAddrMsg(int, int, int) { return kNotOnThisWire; }
int CVEXAMsg::SetWriteSubDataByAddrMsg(int, int, int, std::uint16_t, const std::uint8_t*, const std::uint8_t*) {
    return kNotOnThisWire;
}
int CVEXAMsg::SetReadPageMsg(int, int) { return kNotOnThisWire; }
const WireLimits& CVEXAMsg::limits() const {
    static constexpr WireLimits kOneRequest{};
    return kOneRequest;
}
int CVEXAMsg::CopyReceived(std::uint8_t*, int, bool) { return 0; }
int CVEXAMsg::ParseStationSearchReply(RsSearchRecord&) { return RC_FAILED; }
int CVEXAMsg::ParseEthSearchReply(EthSearchRecord&) { return RC_FAILED; }
int CVEXAMsg::parseReply(Reply&) { return RC_FAILED; }
bool CVEXAMsg::ReplyAccepted() { return true; }

}  // namespace vexa
