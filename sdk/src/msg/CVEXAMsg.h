#pragma once
// Builds requests for a coupler and checks and takes apart its replies. One subclass per wire:
// CEthMsg (UDP datagrams), CComMsg (Modbus RTU/ASCII with private functions), CUsbMsg (HID
// frames). Builders take everything they put on the wire as arguments (or from the address
// the coupler gave the message) and return the length of the built frame; a parser returns a
// result code and hands what the reply carried back in a Reply for the caller to place.
#include <cstdint>
#include <string>
#include <vector>

#include "SearchRecords.h"
#include "SubSlotRecord.h"
#include "vexa_rc.h"

namespace vexa {


constexpr int kRecvCapacity = 1024;
// A builder's answer for a request its wire does not have: no frame (a length, not a code).
constexpr int kNotOnThisWire = -1;

// What one reply carried. The parser fills what its request asks for; the caller places it.
struct Reply {
    int block = -1;                  // the coupler block `data` is the image of (block reads)
    int startReg = 0;                // the first register `data` holds (sub-module reads)
    std::vector<std::uint8_t> data;  // block image, register bytes or page bytes
    struct Slot {
        int index;
        SubSlotRecord record;
    };
    std::vector<Slot> slots;  // sub-module search: the slots it reported
};

// How a wire carries sub-module register traffic that does not fit one request: one const
// row per message class, so that callers never ask which wire they talk over.
struct WireLimits {
    // A block is asked for in two requests, the second this many registers after the first
    // (0: one request carries a block).
    int secondPartRegisters = 0;
    // By-address data reads: one request prepares the registers, then pages of this many bytes
    // bring them, at most `pagedReadMax` bytes in all (0: one reply carries them).
    int pageBytes = 0;
    int pagedReadMax = 0;
    // By-address data writes go in numbered pieces of this many bytes, the last numbered
    // `lastPiece` (0: one request).
    int pieceBytes = 0;
    int lastPiece = 0;
};

class CVEXAMsg {
public:
    CVEXAMsg() = default;
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
    // One page of the data a by-address read prepared (wires with paged reads).
    virtual int SetReadPageMsg(int offset, int length);
    // This wire's row of limits.
    virtual const WireLimits& limits() const;
    // ---- replies ----
    // Copies the last received frame to `out` (at most `outLen` bytes); returns the count.
    virtual int CopyReceived(std::uint8_t* out, int outLen, bool dataOnly);
    // Whether the reply in the buffer is other than the device's refusal (wires without one:
    // always).
    virtual bool ReplyAccepted();
    virtual int ParseStationSearchReply(RsSearchRecord& out);
    virtual int ParseEthSearchReply(EthSearchRecord& out);
    // Checks the reply to the request last built and takes it apart into `out` (when given);
    // RC_OK or a result code. Nothing is handed on unless the reply is whole.
    int ParseReply(Reply* out = nullptr) {
        Reply scratch;
        Reply& r = out ? *out : scratch;
        r = Reply{};
        int rc = parseReply(r);
        if (rc != RC_OK) r = Reply{};
        return rc;
    }

    // Buffers the transports fill and drain.
    const std::vector<std::uint8_t>& sendBuffer() const { return send_; }
    std::uint8_t* recvBuffer() { return recv_; }
    int recvLength() const { return recvLen_; }
    void setRecvLength(int n) { recvLen_ = n < 0 ? 0 : (n > kRecvCapacity ? kRecvCapacity : n); }
    void setPeerAddress(const std::string& a) { peer_ = a; }
    const std::string& peerAddress() const { return peer_; }
    void clearSend() { send_.clear(); }

protected:
    virtual int parseReply(Reply& out);

    // Starts a new request: clears the send buffer and what the last request asked for.
    void beginFrame(int expected) {
        send_.clear();
        expected_ = expected;
        reqBlock_ = -1;
        reqLength_ = -1;
    }
    // Remembers what a read asked for, so that its reply can be checked against it.
    void expectRead(int block, int startReg, int lengthBytes) {
        reqBlock_ = block;
        reqStart_ = startReg;
        reqLength_ = lengthBytes;
    }
    // How many register bytes of a reply may be taken: what the request asked for, when the
    // reply's own count covers it and the reply carries every byte it counts; else -1.
    static int boundedData(int announced, int carried, int asked) {
        return asked < 0 || announced > carried || announced < asked ? -1 : asked;
    }
    // Register bytes of a reply, from `startReg`, into `out`.
    static void take(Reply& out, int startReg, const std::uint8_t* data, int len) {
        out.startReg = startReg;
        out.data.assign(data, data + (len > 0 ? len : 0));
    }

    int expected_ = -1;
    int reqBlock_ = -1;
    int reqStart_ = 0;
    int reqLength_ = -1;  // bytes
    std::vector<std::uint8_t> send_;
    std::uint8_t recv_[kRecvCapacity] = {};
    int recvLen_ = 0;
    std::string peer_;
};

}  // namespace vexa
