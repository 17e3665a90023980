#pragma once
// RS-485 coupler frames: Modbus RTU (CRC-16) or ASCII (':' hex LRC CR LF), with the private
// functions 0x46/0x47 that carry "KVMB" and a sub-function byte.
#include "CVEXAMsg.h"
#include "wire/Modbus.h"

namespace vexa {

enum Framing { kFramingRtu = 0, kFramingAscii = 1 };

// Which byte of a serial sub-search entry carries the module's position on the coupler's bus.
constexpr int kSerialSubAddressByte = 1;

class CComMsg : public CVEXAMsg {
public:
    // The coupler's station: requests to the coupler go there, and sub-module positions count from it.
    void setStation(int station) { station_ = static_cast<std::uint8_t>(station); }
    int station() const { return station_; }

    void setFraming(int framing) { framing_ = framing == kFramingAscii ? kFramingAscii : kFramingRtu; }
    int framing() const { return framing_; }

    int SetCustomMsg(const std::uint8_t* buf, int len, int addChecksum) override;
    int SetSearchStationMsg(int station) override;
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
    int ParseStationSearchReply(RsSearchRecord& out) override;

    // The binary frame of the last reply (address .. last data byte, no check), valid after a
    // successful decode.
    const std::vector<std::uint8_t>& frame() const { return frame_; }
    // Checks and decodes the received bytes into frame(); false when malformed.
    bool decode();

protected:
    int parseReply(Reply& out) override;

private:
    wire::SerialMode wireMode() const;
    int finish();  // appends CRC or converts to ASCII; returns the frame length
    int privateFrame(int address, int function, int subFunction);
    int subRead(int subAddr, int block, int startReg, int lengthBytes, bool data);
    int subWrite(int subAddr, int startReg, int lengthBytes, const std::uint8_t* data, bool isData);
    int parsePrivate(Reply& out);
    int parseSubSearch(Reply& out);
    // A reply from another station (a late one, say) never answers this request; 0 (a frame
    // the caller made) takes any.
    bool fromRequested() const;

    int framing_ = kFramingRtu;
    std::uint8_t station_ = 0;
    int subFunction_ = 0;
    int reqAddress_ = 0;
    std::vector<std::uint8_t> frame_;
};

}  // namespace vexa
