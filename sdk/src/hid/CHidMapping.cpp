#include "CHidMapping.h"

#include <algorithm>
#include <cstring>

#include "CHidLink.h"
#include "main/CUsbMain.h"
#include "msg/FrameChecks.h"
#include "msg/vexa_rc.h"
#include "sub/CVEXASubMgr.h"

namespace vexa {

namespace {

enum MapCommand : std::uint8_t {
    kSpdoBegin = 0x20,
    kSpdoEntry = 0x21,
    kSpdoEnd = 0x22,
    kSpdoLengths = 0x23,
    kSpdoQuery = 0x24,
    kIoBegin = 0x30,
    kIoEntry = 0x31,
    kIoEnd = 0x32,
    kIoLength = 0x33,
    kIoQuery = 0x34,
};

// The coupler's three SPDO lists, as numbered in the entry frames and queries.
enum SpdoList : std::uint8_t { kListTpdo = 0, kListRpdo = 1, kListSdo = 2 };

constexpr int kIoCountAt = 3;       // I/O map length reply
constexpr int kIoEchoAt = 3;        // I/O map entry reply: the index asked for, then the word
constexpr int kIoWordAt = 4;
constexpr int kListEchoAt = 3;      // SPDO entry reply: list, index (16 bit), then the entry
constexpr int kListIndexAt = 4;
constexpr int kListEntryAt = 6;
constexpr int kSdoWireBytes = 7;    // index (big-endian), sub-index, 4 value bytes
constexpr int kSdoFramePadding = 2;  // the frame carries 7 bytes after the index; a record has 5

static_assert(sizeof(CHidMapping::IoWord) == CHidMapping::kIoWordBytes);
static_assert(sizeof(CHidMapping::PdoRecord) == CHidMapping::kPdoRecordBytes);

// Where the SPDO length reply holds each list's count, and the most that list can hold.
struct SpdoListInfo {
    SpdoList list;
    int countAt;
    int limit;
    int entryBytes;
};
constexpr SpdoListInfo kSpdoLists[] = {
    {kListSdo, 7, CHidMapping::kMaxSdo, kSdoWireBytes},
    {kListTpdo, 3, CHidMapping::kMaxTpdo, CHidMapping::kPdoRecordBytes},
    {kListRpdo, 5, CHidMapping::kMaxRpdo, CHidMapping::kPdoRecordBytes},
};

template <class T>
int copyList(const std::vector<T>& list, void* out, int capacity) {
    std::size_t n = capacity > 0 ? std::min(static_cast<std::size_t>(capacity), list.size()) : 0;
    if (n == 0) return RC_OK;
    if (!out) return RC_FAILED;
    std::memcpy(out, list.data(), n * sizeof(T));
    return RC_OK;
}

}  // namespace

int CHidMapping::DownloadIO() {
    CHidLink link(main_);
    if (int rc = link.Exchange(kIoBegin); rc != RC_OK) return rc;
    for (int addr = 1; addr <= kSubSlots; ++addr) {
        const CVEXASub* sub = subs_.SubAt(main_, addr);
        if (!sub) continue;
        for (const IoMapRecord& r : sub->ioMapRecords()) {
            const std::uint8_t word[kIoWordBytes] = {r.subAddress, r.direction, r.reg, r.lengthRegs};
            link.Exchange(kIoEntry, word, kIoWordBytes);
        }
    }
    return link.Exchange(kIoEnd);
}

int CHidMapping::DownloadSPDO() {
    CHidLink link(main_);
    if (int rc = link.Exchange(kSpdoBegin); rc != RC_OK) return rc;
    for (int addr = 1; addr <= kSubSlots; ++addr) {
        const CVEXASub* sub = subs_.SubAt(main_, addr);
        if (!sub) continue;
        for (const SdoMapRecord& r : sub->sdoRecords()) {
            const std::uint8_t frame[3 + 5 + kSdoFramePadding] = {
                kListSdo, static_cast<std::uint8_t>(r.index >> 8), static_cast<std::uint8_t>(r.index & 0xFF),
                r.subIndex, r.subAddress, r.reg, r.lengthRegs, r.zero, 0, 0};
            link.Exchange(kSpdoEntry, frame, sizeof frame);
        }
    }
    // The coupler's own PDO settings go last, in the order they were added.
    for (const PdoMapEntry& e : pdoSets_) {
        std::uint8_t frame[1 + kPdoRecordBytes];
        frame[0] = e.side ? kListRpdo : kListTpdo;
        std::memcpy(frame + 1, e.setting, kPdoRecordBytes);
        link.Exchange(kSpdoEntry, frame, sizeof frame);
    }
    return link.Exchange(kSpdoEnd);
}

int CHidMapping::GetIoChannels(IoMapRecord* records, int capacity, int& count) {
    count = 0;
    for (int addr = 1; addr <= kSubSlots; ++addr) {
        CVEXASub* sub = subs_.SubAt(main_, addr);
        if (!sub) continue;
        int n = 0;
        if (!records) {
            sub->GetIoChannels(nullptr, 0, &n);
            count += std::max(n, 0);
            continue;
        }
        int room = capacity - count;
        if (room <= 0) break;
        sub->GetIoChannels(records + count, room, &n);
        count += std::clamp(n, 0, room);  // a module reports all its channels, not what fitted
    }
    return RC_OK;
}

int CHidMapping::AddPdoSet(const void* record, int size) {
    if (size < static_cast<int>(sizeof(PdoMapEntry))) return RC_RECORD_TOO_SMALL;
    if (!record) return RC_FAILED;
    PdoMapEntry e;
    std::memcpy(&e, record, sizeof e);
    pdoSets_.push_back(e);
    return RC_OK;
}

void CHidMapping::clearLists() {
    ioMap_.clear();
    sdoMap_.clear();
    tpdoMap_.clear();
    rpdoMap_.clear();
}

int CHidMapping::readIoMap() {
    CHidLink link(main_);
    if (int rc = link.Exchange(kIoLength); rc != RC_OK) return rc;
    if (!link.has(kIoCountAt)) return RC_HID_NOT_OK;
    int count = link.reply()[kIoCountAt];
    for (int i = 0; i < count; ++i) {
        const std::uint8_t index = static_cast<std::uint8_t>(i);
        // A list with a gap would be taken for the coupler's whole mapping: an entry that does
        // not come, or comes short or for another index, fails the read.
        if (int rc = link.Exchange(kIoQuery, &index, 1); rc != RC_OK) return rc;
        if (!link.has(kIoWordAt + kIoWordBytes - 1) || link.reply()[kIoEchoAt] != index) return RC_HID_NOT_OK;
        IoWord w;
        std::memcpy(w.data(), link.reply() + kIoWordAt, kIoWordBytes);
        ioMap_.push_back(w);
    }
    return RC_OK;
}

int CHidMapping::readSpdoLists() {
    CHidLink link(main_);
    if (int rc = link.Exchange(kSpdoLengths); rc != RC_OK) return rc;
    int counts[std::size(kSpdoLists)];
    for (std::size_t l = 0; l < std::size(kSpdoLists); ++l) {
        const SpdoListInfo& info = kSpdoLists[l];
        if (!link.has(info.countAt + 1)) return RC_HID_NOT_OK;
        counts[l] = be16(link.reply() + info.countAt);
        // Each entry may cost a full reply time-out: a garbled count must not hold the library.
        if (counts[l] > info.limit) return RC_HID_NOT_OK;
    }
    for (std::size_t l = 0; l < std::size(kSpdoLists); ++l) {
        const SpdoListInfo& info = kSpdoLists[l];
        for (int i = 0; i < counts[l]; ++i) {
            const std::uint8_t query[3] = {info.list, static_cast<std::uint8_t>(i >> 8),
                                           static_cast<std::uint8_t>(i & 0xFF)};
            if (int rc = link.Exchange(kSpdoQuery, query, sizeof query); rc != RC_OK) return rc;
            if (!link.has(kListEntryAt + info.entryBytes - 1) || link.reply()[kListEchoAt] != info.list ||
                be16(link.reply() + kListIndexAt) != i)
                return RC_HID_NOT_OK;
            const std::uint8_t* p = link.reply() + kListEntryAt;
            switch (info.list) {
                case kListSdo: {
                    SdoMapRecord r;
                    r.index = be16(p);
                    r.subIndex = p[2];
                    r.subAddress = p[3];
                    r.reg = p[4];
                    r.lengthRegs = p[5];
                    r.zero = p[6];
                    sdoMap_.push_back(r);
                    break;
                }
                case kListTpdo:
                case kListRpdo: {
                    PdoRecord r;
                    std::memcpy(r.data(), p, kPdoRecordBytes);
                    (info.list == kListTpdo ? tpdoMap_ : rpdoMap_).push_back(r);
                    break;
                }
            }
        }
    }
    return RC_OK;
}

int CHidMapping::ReadBack(int counts[4]) {
    std::fill(counts, counts + 4, 0);
    clearLists();
    int rc = readIoMap();
    if (rc == RC_OK) rc = readSpdoLists();
    if (rc != RC_OK) {
        clearLists();
        return rc;
    }
    counts[0] = static_cast<int>(ioMap_.size());
    counts[1] = static_cast<int>(sdoMap_.size());
    counts[2] = static_cast<int>(tpdoMap_.size());
    counts[3] = static_cast<int>(rpdoMap_.size());
    return RC_OK;
}

int CHidMapping::CopyIoMap(int* out, int capacity) const { return copyList(ioMap_, out, capacity); }
int CHidMapping::CopySdoMap(unsigned char* out, int capacity) const { return copyList(sdoMap_, out, capacity); }
int CHidMapping::CopyTpdoMap(unsigned char* out, int capacity) const { return copyList(tpdoMap_, out, capacity); }
int CHidMapping::CopyRpdoMap(unsigned char* out, int capacity) const { return copyList(rpdoMap_, out, capacity); }

}  // namespace vexa
