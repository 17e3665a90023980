#pragma once
// The CANopen mapping of one USB coupler: the downloads of the sub modules' I/O map and SDO
// settings with the coupler's own PDO settings, and the four lists read back from the coupler.
#include <array>
#include <cstdint>
#include <vector>

#include "VexaSdk.h"

namespace vexa {

class CUsbMain;
class CVEXASubMgr;

class CHidMapping {
public:
    // What the coupler can hold: 16 TPDOs and 8 RPDOs of 4 words each, and at most 46 SDO
    // objects for each of the 8 sub modules. A count above these is a garbled reply.
    static constexpr int kMaxTpdo = 64;
    static constexpr int kMaxRpdo = 32;
    static constexpr int kMaxSdo = 8 * 46;
    static constexpr int kIoWordBytes = 4;
    static constexpr int kPdoRecordBytes = 6;

    using IoWord = std::array<std::uint8_t, kIoWordBytes>;
    using PdoRecord = std::array<std::uint8_t, kPdoRecordBytes>;

    // The mapping of `main`, whose sub-module objects `subs` holds.
    CHidMapping(CUsbMain& main, CVEXASubMgr& subs) : main_(main), subs_(subs) {}

    CUsbMain& coupler() { return main_; }

    // Begin, every sub module's records in address order, end. The result is that of the begin
    // and end exchanges; a refused single entry does not stop the download.
    int DownloadIO();
    int DownloadSPDO();

    // The sub modules' I/O channel records, at most `capacity` of them into `records`;
    // `count` receives the number written, or with `records` null the number there are.
    int GetIoChannels(IoMapRecord* records, int capacity, int& count);

    void ClearPdoSets() { pdoSets_.clear(); }
    int AddPdoSet(const void* record, int size);
    const std::vector<PdoMapEntry>& pdoSets() const { return pdoSets_; }

    // Reads the coupler's I/O map, SDO, TPDO and RPDO lists; their sizes go to `counts` in
    // that order (all 0 on failure).
    int ReadBack(int counts[4]);

    // Copy at most `capacity` records of a read-back list to `out`.
    int CopyIoMap(int* out, int capacity) const;
    int CopySdoMap(unsigned char* out, int capacity) const;
    int CopyTpdoMap(unsigned char* out, int capacity) const;
    int CopyRpdoMap(unsigned char* out, int capacity) const;

private:
    int readIoMap();
    int readSpdoLists();
    void clearLists();

    CUsbMain& main_;
    CVEXASubMgr& subs_;
    std::vector<PdoMapEntry> pdoSets_;
    std::vector<IoWord> ioMap_;
    std::vector<SdoMapRecord> sdoMap_;
    std::vector<PdoRecord> tpdoMap_;
    std::vector<PdoRecord> rpdoMap_;
};

}  // namespace vexa
