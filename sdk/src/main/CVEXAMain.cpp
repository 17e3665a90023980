#include "CVEXAMain.h"

#include <cstring>

#include "ValueFormat.h"
#include "msg/vexa_rc.h"

namespace vexa {

CVEXAMain::CVEXAMain() = default;

CVEXAMain::~CVEXAMain() {
    if (transfer_) transfer_->Close();
}

bool CVEXAMain::OpenSerial(int, int, const char*, const SerialSettings&) { return false; }
bool CVEXAMain::OpenHid(const char*, int) { return false; }
bool CVEXAMain::OpenEth(int, int, const char*, const char*, int, int, int) { return false; }

int CVEXAMain::Transact() {
    if (transfer_->Send(*msg_) <= 0) return RC_SEND_FAILED;
    if (transfer_->Receive(*msg_) <= 0) return RC_NO_REPLY;
    return RC_OK;
}

int CVEXAMain::Exchange(Reply* out) {
    int rc = Transact();
    return rc ? rc : msg_->ParseReply(out);
}

void CVEXAMain::BuildFromTable(const PropertyDef* defs, std::size_t n, bool fixed) {
    for (std::size_t i = 0; i < n; ++i) {
        const PropertyDef& d = defs[i];
        if ((d.block < 0) != fixed) continue;
        PropertyBlock* blk = nullptr;
        for (auto& b : blocks_)
            if (b.id == d.block) blk = &b;
        if (!blk) {
            blocks_.push_back(PropertyBlock{d.block, static_cast<std::uint16_t>(d.block < 0 ? 0 : blockLength_), {}});
            blk = &blocks_.back();
            if (d.block >= 0) deviceBlockIds_.push_back(d.block);
        }
        PropertyItem it;
        it.key = d.key;
        it.blockId = d.block;
        it.offset = d.offset;
        it.length = d.length;
        it.format = d.format;
        blk->items.push_back(std::move(it));
    }
}

PropertyItem* CVEXAMain::FindItem(const std::string& key) {
    for (auto& b : blocks_)
        for (auto& it : b.items)
            if (it.key == key) return &it;
    return nullptr;
}

void CVEXAMain::SetFixedRaw(const char* key, const std::uint8_t* bytes, int n) {
    PropertyItem* it = FindItem(key);
    if (!it) return;
    std::memset(it->raw, 0, kRawSize);
    std::memcpy(it->raw, bytes, static_cast<size_t>(n < kRawSize ? n : kRawSize));
    renderText(*it);
}

void CVEXAMain::FillIdentityBlock() {
    std::uint8_t b[4];
    auto be = [&](std::uint16_t v) { b[0] = static_cast<std::uint8_t>(v >> 8); b[1] = static_cast<std::uint8_t>(v); return b; };
    auto host = [&](std::uint16_t v) { b[0] = static_cast<std::uint8_t>(v); b[1] = static_cast<std::uint8_t>(v >> 8); return b; };
    SetFixedRaw("MAIN_MANFT", be(identity_.manufacturer), 2);
    SetFixedRaw("MAIN_TYPE", host(identity_.type), 2);
    SetFixedRaw("MAIN_MODE", host(identity_.mode), 2);
    SetFixedRaw("MAIN_HARDVER", be(identity_.hardVer), 2);
    SetFixedRaw("MAIN_SOFTVER", be(identity_.softVer), 2);
    SetFixedRaw("MAIN_SNCODE", identity_.serial, 4);
}

void CVEXAMain::SpreadMainBlock(int blockId, const std::uint8_t* data, int len) {
    for (auto& b : blocks_) {
        if (b.id != blockId) continue;
        for (auto& it : b.items) {
            if (it.offset + it.length > len || it.length > kRawSize) continue;
            std::memset(it.raw, 0, kRawSize);
            std::memcpy(it.raw, data + it.offset, it.length);
            renderText(it);
        }
    }
}

int CVEXAMain::TakeBlockReply() {
    Reply r;
    int rc = msg_->ParseReply(&r);
    if (rc == RC_OK) SpreadMainBlock(r.block, r.data.data(), static_cast<int>(r.data.size()));
    return rc;
}

int CVEXAMain::ReadProperties() {
    FillFixedBlock();
    // The first failing block decides the result: a partial read is not a read.
    int result = RC_OK;
    for (int id : deviceBlockIds_) {
        int rc;
        msg_->SetReadMainPropMsg(id, blockLength_);
        if (transfer_->Send(*msg_) <= 0)
            rc = RC_SEND_FAILED;
        else if (transfer_->Receive(*msg_) <= 0)
            rc = RC_NO_REPLY;
        else if (TakeBlockReply() != RC_OK)
            return result ? result : RC_PARSE_FAILED;
        else
            rc = RC_OK;
        if (rc && !result) result = rc;
    }
    if (result == RC_OK) propertiesRead_ = true;
    return result;
}

int CVEXAMain::GetProperty(const char* key, char* text) {
    if (!propertiesRead_) return RC_NOT_READ;
    PropertyItem* it = key ? FindItem(key) : nullptr;
    if (!it) return RC_KEY_UNKNOWN;
    if (text) it->copyText(text);
    return RC_OK;
}

int CVEXAMain::DropPending() {
    pending_.clear();
    return RC_OK;
}

int CVEXAMain::ModifyProperty(const char* key, const char* text) {
    PropertyItem* it = key ? FindItem(key) : nullptr;
    if (!it) return RC_KEY_UNKNOWN;
    std::string t = text ? text : "";
    if (t.size() >= kTextSize) t.resize(kTextSize - 1);
    // A text that does not parse in the item's format changes nothing.
    if (!parseText(*it, t)) return RC_FAILED;
    it->setText(t);
    // Items of the fixed block come from the search record; there is nowhere to write them.
    if (it->blockId < 0) return RC_OK;
    pending_.push_back(*it);
    return RC_OK;
}

int CVEXAMain::SubmitProperties(const char* password) {
    if (pending_.empty()) return RC_NOTHING_TO_SUBMIT;
    int rc = RC_OK;
    for (const auto& it : pending_) {
        int address = it.blockId * blockLength_ + it.offset;
        if (msg_->SetWriteMainPropMsg(address, it.length, it.raw, password) <= 0) {
            rc = RC_SEND_FAILED;
            break;
        }
        rc = Exchange();
        if (rc) break;
    }
    pending_.clear();
    return rc;
}

int CVEXAMain::SearchSub() {
    for (auto& s : slots_) s = SubSlotRecord{};
    msg_->SetSearchSubModulesMsg();
    Reply r;
    int rc = Exchange(&r);
    if (rc == RC_OK) PlaceSlots(r);
    return rc;
}

int CVEXAMain::GetSubSlot(int index, short* addr, short* v1, short* v2, short* v3, short* v4, short* v5,
                          int* serial) {
    index &= 0xFF;
    if (index >= kSubSlots || slots_[index].address == 0) return RC_FAILED;
    const SubSlotRecord& s = slots_[index];
    if (addr) *addr = static_cast<short>(s.address);
    if (v1) *v1 = static_cast<short>(s.manufacturer);
    if (v2) *v2 = static_cast<short>(s.type);
    if (v3) *v3 = static_cast<short>(s.mode);
    if (v4) *v4 = static_cast<short>(s.hardVer);
    if (v5) *v5 = static_cast<short>(s.softVer);
    if (serial) std::memcpy(serial, s.serial, 4);
    return RC_OK;
}

void CVEXAMain::PlaceSlots(const Reply& reply) {
    for (const auto& s : reply.slots)
        if (s.index >= 0 && s.index < kSubSlots) slots_[s.index] = s.record;
}

int CVEXAMain::Reboot() {
    if (msg_->SetRebootDevMsg() <= 0 || transfer_->Send(*msg_) <= 0) return RC_SEND_FAILED;
    transfer_->Receive(*msg_);
    return RC_OK;
}

int CVEXAMain::RebootSub(int addr) {
    if (msg_->SetRebootSubDevMsg(addr) <= 0 || transfer_->Send(*msg_) <= 0) return RC_SEND_FAILED;
    // No answer counts as done: a module that restarts may not reply.
    if (transfer_->Receive(*msg_) <= 0) return RC_OK;
    return msg_->ParseReply();
}

int CVEXAMain::SendRaw(const std::uint8_t* buf, int len, int addChecksum) {
    if (!buf || len <= 0) return 0;
    if (msg_->SetCustomMsg(buf, len, addChecksum) <= 0) return 0;
    return transfer_->Send(*msg_);
}

int CVEXAMain::ReadRaw(std::uint8_t* buf, int len) {
    if (!buf || len <= 0) return 0;
    if (transfer_->Receive(*msg_) <= 0) return 0;
    return msg_->CopyReceived(buf, len, false);
}

int CVEXAMain::Close() {
    if (transfer_) transfer_->Close();
    return 1;
}

}  // namespace vexa
