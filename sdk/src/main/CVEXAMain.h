#pragma once
// One coupler (main module): its property table, pending modifications, sub-module slots, and
// the message and transport every exchange with it goes through.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "PropertyItem.h"
#include "ValueFormat.h"
#include "msg/CVEXAMsg.h"
#include "msg/SearchRecords.h"
#include "msg/SubSlotRecord.h"
#include "transfer/CTransfer.h"

namespace vexa {

// The fixed block of the serial and USB couplers: what their search reply says of them.
inline constexpr PropertyDef kIdentityProperties[] = {
    {"MAIN_MANFT", -1, 0, 2, kFmtBe16Dec},
    {"MAIN_TYPE", -1, 0, 2, kFmtModelName},
    {"MAIN_MODE", -1, 0, 2, kFmtHost16Hex},
    {"MAIN_HARDVER", -1, 0, 2, kFmtVersion},
    {"MAIN_SOFTVER", -1, 0, 2, kFmtVersion},
    {"MAIN_SNCODE", -1, 0, 4, kFmtSerial},
};

class CVEXAMain {
public:
    CVEXAMain();
    virtual ~CVEXAMain();
    CVEXAMain(const CVEXAMain&) = delete;
    CVEXAMain& operator=(const CVEXAMain&) = delete;

    // ---- operations ----
    virtual bool OpenSerial(int station, int framing, const char* port, const SerialSettings& line);
    virtual bool OpenHid(const char* path, int timeout);
    virtual bool OpenEth(int type, int mode, const char* ip, const char* mac, int unused1, int unused2, int timeout);
    virtual int ReadProperties();
    virtual int GetProperty(const char* key, char* text);
    virtual int DropPending();
    virtual int ModifyProperty(const char* key, const char* text);
    virtual int SubmitProperties(const char* password);
    virtual int SearchSub();
    virtual int GetSubSlot(int index, short* addr, short* v1, short* v2, short* v3, short* v4, short* v5,
                           int* serial);
    // Fills the slots a sub-module search reply reported.
    void PlaceSlots(const Reply& reply);
    virtual void BuildFixedBlock() = 0;
    virtual void BuildDeviceBlocks() = 0;
    virtual void FillFixedBlock() = 0;

    // Reboot request; the reply, if any, is read and ignored.
    int Reboot();
    int RebootSub(int addr);
    // Raw frames for callers that speak the wire themselves.
    int SendRaw(const std::uint8_t* buf, int len, int addChecksum);
    int ReadRaw(std::uint8_t* buf, int len);
    int Close();

    // One request/reply exchange of the message as built: RC_SEND_FAILED when it cannot be
    // sent, RC_NO_REPLY when no reply came, else the parse result, with what the reply carried
    // in `out`.
    int Exchange(Reply* out = nullptr);
    // Send and receive without parsing: RC_SEND_FAILED, RC_NO_REPLY or RC_OK.
    int Transact();

    // Parses the reply in the message as that of a block read and places the block it carries.
    int TakeBlockReply();

    // ---- identity ----
    int kind() const { return kind_; }
    std::uint8_t Station() const { return station_; }
    CVEXAMsg& msg() { return *msg_; }
    CTransfer& transfer() { return *transfer_; }
    const SubSlotRecord& slot(int i) const { return slots_[i]; }
    int blockLength() const { return blockLength_; }
    bool propertiesRead() const { return propertiesRead_; }
    PropertyItem* FindItem(const std::string& key);
    const std::vector<PropertyBlock>& blocks() const { return blocks_; }

    // Search values the set-operate call found this coupler with.
    void SetEthSearch(const EthSearchRecord& r) { ethSearch_ = r; }
    void SetIdentity(const IdentityRecord& r) { identity_ = r; }

protected:
    void SpreadMainBlock(int blockId, const std::uint8_t* data, int len);
    // Builds the blocks from a property table (rows of one coupler kind).
    void BuildFromTable(const PropertyDef* defs, std::size_t n, bool fixed);
    void SetFixedRaw(const char* key, const std::uint8_t* bytes, int n);
    void FillIdentityBlock();  // serial and HID: the five values and the serial code

    int kind_ = 0;
    std::unique_ptr<CTransfer> transfer_;
    std::unique_ptr<CVEXAMsg> msg_;
    std::uint8_t mac_[6] = {};
    std::uint8_t station_ = 0;
    EthSearchRecord ethSearch_;
    IdentityRecord identity_;
    SubSlotRecord slots_[kSubSlots];
    int blockLength_ = 0;
    std::vector<int> deviceBlockIds_;
    bool propertiesRead_ = false;
    std::vector<PropertyBlock> blocks_;
    std::vector<PropertyItem> pending_;
};

}  // namespace vexa
