#pragma once
// Ethernet coupler datagrams: a 13-byte header (0xA1, command, four parameter bytes, the
// coupler's MAC, 0x0A), then data.
#include <cstring>

#include "CVEXAMsg.h"
#include "wire/Coupler.h"

namespace vexa {

class CEthMsg : public CVEXAMsg {
public:
    // The coupler's MAC, which every request after the search carries.
    void setMac(const std::uint8_t mac[6]) { std::memcpy(mac_, mac, sizeof mac_); }

    static constexpr int kHeader = wire::kEthHeaderBytes;

    int SetCustomMsg(const std::uint8_t* buf, int len, int addChecksum) override;
    int SetSearchMsg() override;
    int SetRebootDevMsg() override;
    int SetRebootSubDevMsg(int subAddr) override;
    int SetSearchSubModulesMsg() override;
    int SetReadMainPropMsg(int block, int length) override;
    int SetWriteMainPropMsg(int address, int length, const std::uint8_t* data, const char* password) override;
    int SetReadSubPropMsg(int subAddr, int block, int startReg, int lengthBytes) override;
    int SetReadSubDataMsg(int subAddr, int block, int startReg, int lengthBytes) override;
    int SetWriteSubPropMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t mode, const std::uint8_t* serial,
                           const std::uint8_t* data) override;
    int SetWriteSubDataMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t mode, const std::uint8_t* serial,
                           const std::uint8_t* data) override;
    int SetReadSubPropByAddrMsg(int subAddr, int startReg, int count) override;
    int SetReadSubDataByAddrMsg(int subAddr, int startReg, int count) override;
    int SetWriteSubDataByAddrMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t mode,
                                 const std::uint8_t* serial, const std::uint8_t* data) override;
    int CopyReceived(std::uint8_t* out, int outLen, bool dataOnly) override;
    int ParseEthSearchReply(EthSearchRecord& out) override;

protected:
    int parseReply(Reply& out) override;

private:
    void header(int command, std::uint8_t p0, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3);
    int buildSubRead(int subAddr, int block, int startReg, int lengthBytes);
    int buildSubWrite(int command, int subAddr, int startReg, int lengthBytes, std::uint16_t mode,
                      const std::uint8_t* serial, const std::uint8_t* data);
    int parseMainBlock(Reply& out);
    int parseSubSearch(Reply& out);
    int parseSubRead(Reply& out);

    std::uint8_t mac_[6] = {};
};

}  // namespace vexa
