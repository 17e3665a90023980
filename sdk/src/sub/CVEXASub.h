#pragma once
// A sub (I/O) module behind a coupler. The type families fill in the register tables.
#include <cstdint>

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

    int address() const { return slot_.address; }
    CVEXAMain* main() const { return main_; }
    const SubSlotRecord& slot() const { return slot_; }

protected:
    CVEXAMain* main_;
    SubSlotRecord slot_;
};

}  // namespace vexa
