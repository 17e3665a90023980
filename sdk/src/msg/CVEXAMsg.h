#pragma once
// Builds requests for a coupler and checks and takes apart its replies. One subclass per wire:
// CEthMsg (UDP datagrams), CComMsg (Modbus RTU/ASCII with private functions), CUsbMsg (HID
// frames). Builders return the length of the built frame; parsers return a result code.
#include <cstdint>
#include <string>
#include <vector>

#include "main/SearchRecords.h"

namespace vexa {

class CVEXAMain;

enum MsgTransport { kMsgSerial = 0, kMsgEthernet = 2, kMsgHid = 3 };
enum SubArea { kSubProperty = 0, kSubData = 1 };

constexpr int kRecvCapacity = 1024;
constexpr int kNotSupported = 999;  // builders and parsers a wire does not have

class CVEXAMsg {
public:
    CVEXAMsg(CVEXAMain* owner, int transport) : owner_(owner), transport_(transport) {}
    virtual ~CVEXAMsg() = default;
    CVEXAMsg(const CVEXAMsg&) = delete;
    CVEXAMsg& operator=(const CVEXAMsg&) = delete;

    // ---- builders ----
    virtual int SetCustomMsg(const std::uint8_t* buf, int len, int addChecksum);
    virtual int SetSearchStationMsg(int station);
    virtual int SetSearchMsg();
    virtual int SetRebootDevMsg();
    virtual int SetRebootSubDevMsg(int subAddr);
    virtual int SetSearchSubDevMsg(int slotIndex);
    virtual int SetSearchSubModulesMsg();
    virtual int SetReadMainPropMsg(int block, int length);
    virtual int SetWriteMainPropMsg(int address, int length, const std::uint8_t* data, const char* password);
    virtual int SetReadSubPropMsg(int subAddr, int block, int startReg, int lengthBytes);
    virtual int SetReadSubDataMsg(int subAddr, int block, int startReg, int lengthBytes);
    virtual int SetWriteSubPropMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t mode,
                                   const std::uint8_t* serial, const std::uint8_t* data);
    virtual int SetWriteSubDataMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t mode,
                                   const std::uint8_t* serial, const std::uint8_t* data);
    virtual int SetReadSubPropByAddrMsg(int subAddr, int startReg, int count);
    virtual int SetReadSubDataByAddrMsg(int subAddr, int startReg, int count);
    virtual int SetWriteSubDataByAddrMsg(int subAddr, int startReg, int lengthBytes, std::uint16_t mode,
                                         const std::uint8_t* serial, const std::uint8_t* data);
    // ---- replies ----
    // Copies the last received frame to `out` (at most `outLen` bytes); returns the count.
    virtual int CopyRecBuf2OutBuf(std::uint8_t* out, int outLen, bool dataOnly);
    virtual int ParseStationSearchReply(RsSearchRecord& out);
    virtual int ParseEthSearchReply(EthSearchRecord& out);
    virtual int ParseReply();
    virtual int RetOK();

    // Buffers the transports fill and drain.
    const std::vector<std::uint8_t>& sendBuffer() const { return send_; }
    std::uint8_t* recvBuffer() { return recv_; }
    int recvLength() const { return recvLen_; }
    void setRecvLength(int n) { recvLen_ = n < 0 ? 0 : (n > kRecvCapacity ? kRecvCapacity : n); }
    void setPeerAddress(const std::string& a) { peer_ = a; }
    const std::string& peerAddress() const { return peer_; }
    void clearSend() { send_.clear(); }

    // The register data of the last parsed sub-module read (empty when it carried none).
    const std::uint8_t* replyData() const { return replyData_.data(); }
    int replyDataLength() const { return static_cast<int>(replyData_.size()); }

    int transport() const { return transport_; }
    int expectedCode() const { return expected_; }

protected:
    // Starts a new request: clears the send buffer and what the last reply carried.
    void beginFrame(int expected) {
        send_.clear();
        replyData_.clear();
        expected_ = expected;
        reqBlock_ = -1;
        reqLength_ = -1;
    }
    // Remembers what a sub-module read asked for, so that its reply can be placed.
    void expectSubRead(int area, int subAddr, int block, int startReg, int lengthBytes);
    // Hands register data of a sub-module reply to the owner (and keeps it for by-address reads).
    void deliverSubData(int startReg, const std::uint8_t* data, int len);

    CVEXAMain* owner_;
    int transport_;
    int expected_ = -1;
    int reqArea_ = kSubProperty;
    int reqSubAddr_ = 0;
    int reqBlock_ = -1;
    int reqStart_ = 0;
    int reqLength_ = -1;  // bytes
    std::vector<std::uint8_t> send_;
    std::uint8_t recv_[kRecvCapacity] = {};
    int recvLen_ = 0;
    std::string peer_;
    std::vector<std::uint8_t> replyData_;
};

}  // namespace vexa
