#include "CVEXASub.h"

#include <algorithm>
#include <cstring>

#include "main/CVEXAMain.h"
#include "main/ValueFormat.h"
#include "msg/FrameChecks.h"
#include "msg/vexa_rc.h"
#include "SubText.h"

namespace vexa {

namespace {

bool isBitItem(const PropertyItem& it) { return it.format == kFmtBit && it.bitNumber >= 0 && it.bitNumber < 16; }

// A builder gives the frame length, or 0 or less when its wire cannot carry the request.
bool built(int frameLength) { return frameLength > 0; }

int registersOf(const PropertyItem& it) { return (it.length + 1) / 2; }

// Adjustments of the derived I/O map that the coupler firmware expects for three types.
struct IoMapAdjustment {
    std::uint16_t type;
    std::uint8_t direction;
    int lowest;     // -1: any
    int sum;        // -1: any
    int newLength;  // -1: keep
    bool alsoAsInput;
};
constexpr IoMapAdjustment kIoMapAdjustments[] = {
    {0x1804, 0, -1, 25, 26, false},
    {0x3402, 1, 0x60, -1, 2, false},
    {0x3412, 1, 0x5E, -1, -1, true},
};

}  // namespace

CVEXASub::CVEXASub(CVEXAMain* main, const SubSlotRecord& slot) : main_(main), slot_(slot) {
    typeCode_ = slot.type;
    // Identity: local copies of what the search reported; never written back.
    ItemGroup identity{kSubProperty, kIdentityBlock, 0, 0, {}};
    for (const auto& row : IdentityRows()) {
        PropertyItem it;
        it.key = row.key;
        it.length = row.length;
        it.format = row.format;
        it.bitNumber = -1;
        it.inputFlag = 1;
        it.marker = 0;
        identity.items.push_back(std::move(it));
    }
    props_.push_back(std::move(identity));
}

CVEXASub::~CVEXASub() = default;

void CVEXASub::Build(const SubClassRow& row) {
    row_ = &row;
    typeCode_ = row.ownCode;
    std::vector<ItemGroup> groups;
    auto groupFor = [&](int kind, int block) -> ItemGroup& {
        for (auto& g : groups)
            if (g.kind == kind && g.block == block) return g;
        groups.push_back(ItemGroup{kind, block, block * kBlockBytes / 2, kBlockBytes, {}});
        return groups.back();
    };
    for (const auto& table : row.items)
        for (const ItemRow& r : table) {
            bool data = r.role == ItemRole::Input || r.role == ItemRole::Output;
            for (int ch = 0; ch < (r.channels ? r.channels : 1); ++ch) {
                int reg = r.reg + ch * r.step;
                ItemGroup& g = groupFor(data ? kSubData : kSubProperty, r.block >= 0 ? r.block : reg / (kBlockBytes / 2));
                PropertyItem it;
                it.key = ItemKey(r, ch);
                it.offset = static_cast<std::uint16_t>(reg);
                it.length = r.length;
                it.format = r.format;
                if (r.bit >= 0) {
                    it.bitNumber = static_cast<std::int16_t>(r.bit + ch);
                    it.bitCount = 1;
                } else {
                    it.bitNumber = r.role == ItemRole::Local ? -1 : 0;
                    it.bitCount = r.resolution;
                }
                it.inputFlag = r.role == ItemRole::Input ? 1 : 0;
                it.processFlag = data ? 1 : 0;
                g.items.push_back(std::move(it));
            }
        }
    std::stable_sort(groups.begin(), groups.end(), [](const ItemGroup& a, const ItemGroup& b) { return a.block < b.block; });
    for (auto& g : groups) AddGroup(std::move(g));

    if (row.sdoBase)
        for (const SdoRow& s : row.sdo)
            for (int k = s.firstSub; k <= s.lastSub; ++k) {
                SdoMapRecord rec{};
                rec.index = static_cast<std::uint16_t>(address() + row.sdoBase - 1);
                rec.subIndex = static_cast<std::uint8_t>(k);
                rec.subAddress = static_cast<std::uint8_t>(address());
                rec.reg = static_cast<std::uint8_t>(s.reg + (k - s.firstSub) * s.step);
                rec.lengthRegs = s.lengthRegs;
                sdo_.push_back(rec);
            }
}

void CVEXASub::AddGroup(ItemGroup group) {
    if (group.kind == kSubProperty) {
        props_.push_back(std::move(group));
    } else {
        DeriveIoMap(group);
        data_.push_back(std::move(group));
    }
}

// Per side of a data group (inputs, outputs): the lowest register and the registers the side
// spans, each distinct register counted once.
void CVEXASub::DeriveIoMap(const ItemGroup& group) {
    for (int direction : {0, 1}) {
        std::vector<int> regs;
        int lowest = -1, sum = 0;
        for (const auto& it : group.items) {
            if ((it.inputFlag == 1) != (direction == 0)) continue;
            if (lowest < 0 || it.offset < lowest) lowest = it.offset;
            if (std::find(regs.begin(), regs.end(), it.offset) != regs.end()) continue;
            regs.push_back(it.offset);
            sum += registersOf(it);
        }
        if (lowest < 0) continue;
        bool twice = false;
        for (const auto& a : kIoMapAdjustments) {
            if (a.type != typeCode_ || a.direction != direction) continue;
            if ((a.lowest >= 0 && a.lowest != lowest) || (a.sum >= 0 && a.sum != sum)) continue;
            if (a.newLength >= 0) sum = a.newLength;
            twice = a.alsoAsInput;
        }
        IoMapRecord rec{};
        rec.subAddress = static_cast<std::uint8_t>(address());
        rec.reg = static_cast<std::uint8_t>(lowest);
        rec.lengthRegs = static_cast<std::uint8_t>(sum);
        if (twice) {
            rec.direction = 0;
            ioMap_.push_back(rec);
        }
        rec.direction = static_cast<std::uint8_t>(direction);
        ioMap_.push_back(rec);
    }
}

void CVEXASub::GetIoChannels(IoMapRecord* records, int capacity, int* count) {
    channelRegs_.clear();
    int filled = 0;
    for (const auto& g : data_)
        for (const auto& it : g.items) {
            if (std::find(channelRegs_.begin(), channelRegs_.end(), it.offset) != channelRegs_.end()) continue;
            channelRegs_.push_back(it.offset);
            if (!records || filled >= capacity) continue;
            IoMapRecord& rec = records[filled++];
            std::memset(&rec, 0, sizeof rec);
            int low = it.offset & 0xFF;
            rec.subAddress = static_cast<std::uint8_t>(address());
            rec.direction = (low >= 0x20 && low <= 0x3F) || low >= 0x60 ? 1 : 0;
            rec.reg = static_cast<std::uint8_t>(low);
            rec.lengthRegs = static_cast<std::uint8_t>(registersOf(it));
            std::strncpy(rec.key, it.key.c_str(), sizeof rec.key - 1);
            rec.type = static_cast<std::uint16_t>(typeCode_);
        }
    if (count) *count = static_cast<int>(channelRegs_.size());
}

// ---------------- items ----------------

void CVEXASub::FormatData(PropertyItem&) {}

bool CVEXASub::ParseData(PropertyItem&, const std::string&) { return true; }

void CVEXASub::Render(PropertyItem& item) {
    if (item.format == kFmtClass)
        FormatData(item);
    else
        renderText(item);
}

const PropertyItem* CVEXASub::Find(const std::vector<ItemGroup>& groups, const std::string& key) const {
    for (const auto& g : groups)
        for (const auto& it : g.items)
            if (it.key == key) return &it;
    return nullptr;
}

PropertyItem* CVEXASub::FindProperty(const std::string& key) {
    return const_cast<PropertyItem*>(Find(props_, key));
}

const PropertyItem* CVEXASub::FindProperty(const std::string& key) const { return Find(props_, key); }

int CVEXASub::PropertyWord(const std::string& key) const {
    const PropertyItem* it = FindProperty(key);
    return it ? be16(it->raw) : 0;
}

void CVEXASub::QueueProperty(const PropertyItem& item) {
    for (auto& p : pendingProps_)
        if (p.key == item.key) {
            p = item;
            return;
        }
    pendingProps_.push_back(item);
}

void CVEXASub::FillIdentity() {
    std::uint8_t bytes[7][4] = {};
    bytes[0][0] = static_cast<std::uint8_t>(slot_.address);
    putBe16(bytes[1], slot_.manufacturer);
    bytes[2][0] = static_cast<std::uint8_t>(slot_.type);  // host order, as the model name reads it
    bytes[2][1] = static_cast<std::uint8_t>(slot_.type >> 8);
    bytes[3][0] = static_cast<std::uint8_t>(slot_.mode);
    bytes[3][1] = static_cast<std::uint8_t>(slot_.mode >> 8);
    putBe16(bytes[4], slot_.hardVer);
    putBe16(bytes[5], slot_.softVer);
    std::memcpy(bytes[6], slot_.serial, 4);
    auto& items = props_.front().items;
    for (std::size_t i = 0; i < items.size() && i < 7; ++i) {
        std::memset(items[i].raw, 0, kRawSize);
        std::memcpy(items[i].raw, bytes[i], 4);
        renderText(items[i]);
    }
}

void CVEXASub::ApplyBlock(int area, int block, int startReg, const std::uint8_t* data, int len) {
    if (!data || len <= 0) return;
    // The reply names its block: the group of the requested area first, then the other one.
    ItemGroup* group = nullptr;
    for (auto* list : {area == kSubData ? &data_ : &props_, area == kSubData ? &props_ : &data_}) {
        for (auto& g : *list)
            if (g.block == block) {
                group = &g;
                break;
            }
        if (group) break;
    }
    if (!group) return;
    // Offsets count from the first register this reply carries; an item whose bytes it does not
    // carry whole keeps its last value.
    for (auto& it : group->items) {
        if (it.bitNumber == -1) continue;  // displays map no register
        int at = (static_cast<int>(it.offset) - startReg) * 2;
        if (at < 0 || it.length > kRawSize || at + it.length > len) continue;
        std::memset(it.raw, 0, kRawSize);
        std::memcpy(it.raw, data + at, it.length);
        Render(it);
    }
    RefreshClassItems();
}

// Class-specific texts depend on other items (range selectors, coefficients, valid bits), which
// may arrive in a later block: every reply renders them again.
void CVEXASub::RefreshClassItems() {
    for (auto* list : {&props_, &data_})
        for (auto& g : *list)
            for (auto& it : g.items)
                if (it.format == kFmtClass) FormatData(it);
}

// ---------------- reading ----------------

int CVEXASub::ReadGroup(const ItemGroup& g) {
    CVEXAMsg& msg = main_->msg();
    struct Part {
        int start, bytes;
    };
    const int second = msg.limits().secondPartRegisters;
    Part parts[2] = {{g.startReg, g.lengthBytes}, {g.startReg + second, g.lengthBytes - 2 * second}};
    int n = second > 0 && parts[1].bytes > 0 ? 2 : 1;
    int rc = RC_OK;
    for (int i = 0; i < n; ++i) {
        int len = g.kind == kSubProperty ? msg.SetReadSubPropMsg(address(), g.block, parts[i].start, parts[i].bytes)
                                         : msg.SetReadSubDataMsg(address(), g.block, parts[i].start, parts[i].bytes);
        if (!built(len)) return RC_SEND_FAILED;
        Reply r;
        rc = main_->Exchange(&r);
        if (rc != RC_OK) return rc;
        ApplyBlock(g.kind, g.block, r.startReg, r.data.data(), static_cast<int>(r.data.size()));
    }
    return rc;
}

int CVEXASub::ReadGroups(std::vector<ItemGroup>& groups, int maxBlock, bool& readFlag) {
    int rc = RC_OK;
    for (const auto& g : groups) {
        if (g.block == kIdentityBlock && g.kind == kSubProperty) {
            FillIdentity();
            continue;
        }
        // Property blocks 0..3 hold process data; data blocks past maxBlock hold settings.
        if (g.kind == kSubProperty ? g.block <= 3 : g.block > maxBlock) continue;
        rc = ReadGroup(g);
        if (rc != RC_OK) return rc;
    }
    readFlag = true;
    return rc;
}

int CVEXASub::ReadProperties() { return ReadGroups(props_, kRegisters, propsRead_); }

int CVEXASub::ReadData() { return ReadGroups(data_, 4, dataRead_); }

int CVEXASub::Get(const std::vector<ItemGroup>& groups, bool read, int notRead, int unknown, const char* key,
                  char* text) const {
    if (!read) return notRead;
    const PropertyItem* it = key ? Find(groups, key) : nullptr;
    if (!it) return unknown;
    if (!text) return RC_FAILED;
    it->copyText(text);
    return RC_OK;
}

int CVEXASub::GetProperty(const char* key, char* text) const {
    return Get(props_, propsRead_, RC_NOT_READ, RC_KEY_UNKNOWN, key, text);
}

int CVEXASub::GetData(const char* key, char* text) const {
    return Get(data_, dataRead_, RC_DATA_NOT_READ, RC_DATA_KEY_UNKNOWN, key, text);
}

int CVEXASub::ResetProperties() {
    pendingProps_.clear();
    return RC_OK;
}

int CVEXASub::ResetData() {
    pendingData_.clear();
    return RC_OK;
}

// ---------------- changing ----------------

int CVEXASub::Modify(bool data, const char* key, const char* text) {
    if (!(data ? dataRead_ : propsRead_)) return data ? RC_DATA_NOT_READ : RC_NOT_READ;
    PropertyItem* it = key ? const_cast<PropertyItem*>(Find(data ? data_ : props_, key)) : nullptr;
    if (!it) return data ? RC_DATA_KEY_UNKNOWN : RC_KEY_UNKNOWN;
    std::string t = text ? text : "";
    if (t.size() >= kTextSize) t.resize(kTextSize - 1);
    // A text that is no value of the item changes nothing and queues nothing.
    if (isBitItem(*it) && t != "0" && t != "1") return RC_FAILED;
    if (it->format == kFmtClass) {
        if (!ParseData(*it, t)) return RC_FAILED;
    } else if (!parseAs(*it, it->format, t)) {
        return RC_FAILED;
    }
    it->setText(t);
    if (data) {
        pendingData_.push_back(*it);
        return RC_OK;
    }
    if (it->bitNumber == -1) return RC_OK;  // kept here only
    QueueProperty(*it);
    return RC_OK;
}

int CVEXASub::ModifyProperty(const char* key, const char* text) { return Modify(false, key, text); }

int CVEXASub::ModifyData(const char* key, const char* text) { return Modify(true, key, text); }

int CVEXASub::WriteRegisters(bool data, int reg, int lengthBytes, const std::uint8_t* bytes) {
    CVEXAMsg& msg = main_->msg();
    int len = data ? msg.SetWriteSubDataMsg(address(), reg, lengthBytes, slot_.mode, slot_.serial, bytes)
                   : msg.SetWriteSubPropMsg(address(), reg, lengthBytes, slot_.mode, slot_.serial, bytes);
    if (!built(len)) return RC_SEND_FAILED;  // this wire cannot carry the write
    return main_->Exchange();
}

// After a merged write the items of that register show the word the module now holds.
void CVEXASub::StoreBitWord(bool data, int reg, std::uint16_t word) {
    for (auto& g : data ? data_ : props_)
        for (auto& it : g.items)
            if (isBitItem(it) && it.offset == reg) {
                putBe16(it.raw, word);
                renderText(it);
            }
}

int CVEXASub::Submit(bool data) {
    ItemList& pending = data ? pendingData_ : pendingProps_;
    if (pending.empty()) return RC_NOTHING_TO_SUBMIT;
    // Property writes go on past an error reply of the coupler; data writes stop at any failure.
    auto goesOn = [data](int rc) { return rc == RC_OK || (!data && rc == RC_ERROR_REPLY); };
    int rc = RC_OK;

    // Bit items of one register go out as one write of the merged word.
    for (auto first = std::find_if(pending.begin(), pending.end(), isBitItem); first != pending.end();
         first = std::find_if(pending.begin(), pending.end(), isBitItem)) {
        const int reg = first->offset;
        const int length = first->length;
        std::uint16_t word = be16(first->raw);
        for (auto it = first; it != pending.end();) {
            if (!isBitItem(*it) || it->offset != reg) {
                ++it;
                continue;
            }
            std::uint16_t mask = static_cast<std::uint16_t>(1u << it->bitNumber);
            word = it->text == "1" ? static_cast<std::uint16_t>(word | mask) : static_cast<std::uint16_t>(word & ~mask);
            it = pending.erase(it);
        }
        std::uint8_t bytes[2];
        putBe16(bytes, word);
        rc = WriteRegisters(data, reg, length, bytes);
        if (!goesOn(rc)) {
            pending.clear();
            return rc;
        }
        if (rc == RC_OK) StoreBitWord(data, reg, word);
    }

    for (const auto& it : pending) {
        rc = WriteRegisters(data, it.offset, it.length, it.raw);
        if (!goesOn(rc)) break;
    }
    pending.clear();
    return rc;
}

int CVEXASub::SubmitProperties() { return Submit(false); }

int CVEXASub::SubmitData() { return Submit(true); }

// ---------------- by address ----------------

namespace {

bool registersFit(int reg, int count) { return reg >= 0 && count > 0 && reg + count <= CVEXASub::kRegisters; }

// An exchange of a by-address request: send and reply failures as they are, any other failure
// of the reply is a bad reply.
int byAddressResult(int rc) { return rc == RC_OK || rc == RC_SEND_FAILED || rc == RC_NO_REPLY ? rc : RC_BAD_REPLY; }

}  // namespace

int CVEXASub::ReadPropByAddr(int reg, int count, void* buf, int* len) {
    if (!buf || !len || !registersFit(reg, count)) return RC_FAILED;
    *len = 0;
    CVEXAMsg& msg = main_->msg();
    if (!built(msg.SetReadSubPropByAddrMsg(address(), reg, count))) return RC_FAILED;
    Reply r;
    int rc = byAddressResult(main_->Exchange(&r));
    if (rc != RC_OK) return rc;
    int n = std::min(count * 2, static_cast<int>(r.data.size()));
    if (n > 0) std::memcpy(buf, r.data.data(), static_cast<std::size_t>(n));
    *len = n;
    return RC_OK;
}

// `length` is in bytes, as callers pass it (2 for the AA AA that starts a boot loader); an odd
// length fills the last register's low byte with 0.
int CVEXASub::WritePropByAddr(int reg, int length, const void* buf) {
    if (!buf || length <= 0 || !registersFit(reg, (length + 1) / 2)) return RC_FAILED;
    std::vector<std::uint8_t> words(static_cast<std::size_t>((length + 1) / 2 * 2), 0);
    std::memcpy(words.data(), buf, static_cast<std::size_t>(length));
    CVEXAMsg& msg = main_->msg();
    if (!built(msg.SetWriteSubPropMsg(address(), reg, static_cast<int>(words.size()), slot_.mode, slot_.serial,
                                      words.data())))
        return RC_FAILED;
    return byAddressResult(main_->Exchange());
}

int CVEXASub::ReadDataByAddr(int reg, int length, void* buf, int* len) {
    if (!buf || !len || length <= 0 || !registersFit(reg, (length + 1) / 2)) return RC_FAILED;
    *len = 0;
    auto* out = static_cast<std::uint8_t*>(buf);
    CVEXAMsg& msg = main_->msg();
    if (msg.limits().pageBytes > 0) return ReadDataByAddrPaged(reg, length, out, len);
    if (!built(msg.SetReadSubDataByAddrMsg(address(), reg, (length + 1) / 2))) return RC_FAILED;
    Reply r;
    int rc = byAddressResult(main_->Exchange(&r));
    if (rc != RC_OK) return rc;
    // Never more than was asked for, whatever the reply carries.
    int n = std::min(length, static_cast<int>(r.data.size()));
    if (n > 0) std::memcpy(out, r.data.data(), static_cast<std::size_t>(n));
    *len = n;
    return RC_OK;
}

// The coupler first reads the registers, then hands their bytes out in pages. The caller gets
// [received - 2][the first received - 2 bytes]: the layout the boot plug-in reads.
int CVEXASub::ReadDataByAddrPaged(int reg, int length, std::uint8_t* out, int* len) {
    CVEXAMsg& msg = main_->msg();
    const WireLimits& wire = msg.limits();
    if (length > wire.pagedReadMax) return RC_BAD_REPLY;
    if (!built(msg.SetReadSubDataByAddrMsg(address(), reg, (length + 1) / 2))) return RC_FAILED;
    int rc = main_->Exchange();
    if (rc == RC_SEND_FAILED || rc == RC_NO_REPLY) return rc;
    if (rc != RC_OK || !msg.ReplyAccepted()) return RC_BAD_REPLY;

    std::vector<std::uint8_t> collected(static_cast<std::size_t>(wire.pagedReadMax) + 2, 0);
    int received = 0;
    while (received < length) {
        int ask = std::min(wire.pageBytes, length - received);
        if (!built(msg.SetReadPageMsg(received, ask))) return RC_FAILED;
        Reply page;
        rc = main_->Exchange(&page);
        if (rc == RC_SEND_FAILED || rc == RC_NO_REPLY) return rc;
        if (rc != RC_OK || !msg.ReplyAccepted()) return RC_BAD_REPLY;
        int got = std::min(ask, static_cast<int>(page.data.size()));
        if (got <= 0) return RC_BAD_REPLY;  // an empty page would never end the transfer
        std::memcpy(collected.data() + 1 + received, page.data.data(), static_cast<std::size_t>(got));
        received += got;
    }
    if (received < 2) return RC_BAD_REPLY;
    collected[0] = static_cast<std::uint8_t>(received - 2);
    std::memcpy(out, collected.data(), static_cast<std::size_t>(received - 1));
    *len = received - 2;
    return RC_OK;
}

int CVEXASub::WriteDataByAddr(int reg, int length, const void* buf) {
    if (!buf || length <= 0 || !registersFit(reg, (length + 1) / 2)) return RC_FAILED;
    const auto* data = static_cast<const std::uint8_t*>(buf);
    CVEXAMsg& msg = main_->msg();
    if (msg.limits().pieceBytes > 0) return WriteDataByAddrInPieces(reg, length, data);
    if (!built(msg.SetWriteSubDataByAddrMsg(address(), reg, length, slot_.mode, slot_.serial, data))) return RC_FAILED;
    return byAddressResult(main_->Exchange());
}

// Pieces to the same register, numbered from 0; the last one carries the wire's last number.
int CVEXASub::WriteDataByAddrInPieces(int reg, int length, const std::uint8_t* data) {
    CVEXAMsg& msg = main_->msg();
    const WireLimits& wire = msg.limits();
    for (int offset = 0, seq = 0; offset < length; offset += wire.pieceBytes, ++seq) {
        int piece = std::min(wire.pieceBytes, length - offset);
        bool last = offset + piece >= length;
        auto number = static_cast<std::uint16_t>(last ? wire.lastPiece : seq);
        if (!built(msg.SetWriteSubDataByAddrMsg(address(), reg, piece, number, slot_.serial, data + offset)))
            return RC_FAILED;
        int rc = main_->Exchange();
        if (rc == RC_SEND_FAILED || rc == RC_NO_REPLY) return rc;
        if (rc != RC_OK || !msg.ReplyAccepted()) return RC_BAD_REPLY;
    }
    return RC_OK;
}

}  // namespace vexa
