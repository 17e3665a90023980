#pragma once
// A sub (I/O) module behind a coupler. The type families fill in the register tables.
#include <cstdint>
#include <vector>

#include "VexaSdk.h"
#include "main/SubSlotRecord.h"

namespace vexa {

class CVEXAMain;

class CVEXASub {
public:
    CVEXASub(CVEXAMain* main, const SubSlotRecord& slot) : main_(main), slot_(slot) {}
    virtual ~CVEXASub() = default;
    CVEXASub(const CVEXASub&) = delete;
    CVEXASub& operator=(const CVEXASub&) = delete;

    // Places register data of a block reply (area: property or data) into the items.
    virtual void ApplyBlock(int area, int block, int startReg, const std::uint8_t* data, int len);

    // The CANopen mapping this module contributes to a USB coupler:
    // its I/O channel list (fills at most `capacity` records when `records` is not null; `count`
    // receives the number of channels, which may exceed `capacity`),
    virtual void GetIoChannels(IoMapRecord* records, int capacity, int* count);
    // its I/O map records (the first four bytes of each are the mapping word), in creation order,
    const std::vector<IoMapRecord>& ioMapRecords() const { return ioMap_; }
    // and its SDO records.
    const std::vector<SdoMapRecord>& sdoRecords() const { return sdo_; }

    int address() const { return slot_.address; }
    CVEXAMain* main() const { return main_; }
    const SubSlotRecord& slot() const { return slot_; }

protected:
    CVEXAMain* main_;
    SubSlotRecord slot_;
    std::vector<IoMapRecord> ioMap_;
    std::vector<SdoMapRecord> sdo_;
};

}  // namespace vexa
