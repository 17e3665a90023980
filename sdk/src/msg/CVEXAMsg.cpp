#include "CVEXAMsg.h"

#include "main/CVEXAMain.h"

namespace vexa {

int CVEXAMsg::SetCustomMsg(const std::uint8_t*, int, int) { return kNotSupported; }
int CVEXAMsg::SetSearchStationMsg(int) { return kNotSupported; }
int CVEXAMsg::SetSearchMsg() { return kNotSupported; }
int CVEXAMsg::SetRebootDevMsg() { return kNotSupported; }
int CVEXAMsg::SetRebootSubDevMsg(int) { return kNotSupported; }
int CVEXAMsg::SetSearchSubDevMsg(int) { return kNotSupported; }
int CVEXAMsg::SetSearchSubModulesMsg() { return kNotSupported; }
int CVEXAMsg::SetReadMainPropMsg(int, int) { return kNotSupported; }
int CVEXAMsg::SetWriteMainPropMsg(int, int, const std::uint8_t*, const char*) { return kNotSupported; }
int CVEXAMsg::SetReadSubPropMsg(int, int, int, int) { return kNotSupported; }
int CVEXAMsg::SetReadSubDataMsg(int, int, int, int) { return kNotSupported; }
int CVEXAMsg::SetWriteSubPropMsg(int, int, int, std::uint16_t, const std::uint8_t*, const std::uint8_t*) {
    return kNotSupported;
}
int CVEXAMsg::SetWriteSubDataMsg(int, int, int, std::uint16_t, const std::uint8_t*, const std::uint8_t*) {
    return kNotSupported;
}
int CVEXAMsg::SetReadSubPropByAddrMsg(int, int, int) { return kNotSupported; }
int CVEXAMsg::SetReadSubDataByAddrMsg(int, int, int) { return kNotSupported; }
int CVEXAMsg::SetWriteSubDataByAddrMsg(int, int, int, std::uint16_t, const std::uint8_t*, const std::uint8_t*) {
    return kNotSupported;
}
int CVEXAMsg::CopyRecBuf2OutBuf(std::uint8_t*, int, bool) { return 0; }
int CVEXAMsg::ParseStationSearchReply(RsSearchRecord&) { return kNotSupported; }
int CVEXAMsg::ParseEthSearchReply(EthSearchRecord&) { return kNotSupported; }
int CVEXAMsg::ParseReply() { return kNotSupported; }
int CVEXAMsg::RetOK() { return 1; }

void CVEXAMsg::expectSubRead(int area, int subAddr, int block, int startReg, int lengthBytes) {
    reqArea_ = area;
    reqSubAddr_ = subAddr;
    reqBlock_ = block;
    reqStart_ = startReg;
    reqLength_ = lengthBytes;
}

void CVEXAMsg::deliverSubData(int startReg, const std::uint8_t* data, int len) {
    replyData_.assign(data, data + (len > 0 ? len : 0));
    if (owner_ && reqBlock_ >= 0) owner_->ApplySubBlock(reqArea_, reqBlock_, startReg, data, len);
}

}  // namespace vexa
