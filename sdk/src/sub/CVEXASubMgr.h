#pragma once
// The sub-module objects created for one coupler, keyed by address. A module swapped for
// another type at the same address keeps its object until the coupler object goes.
#include <memory>
#include <mutex>
#include <vector>

#include "CVEXASub.h"

namespace vexa {

class CVEXASubMgr {
public:
    virtual ~CVEXASubMgr() = default;
    // The object for the slot's address, created on first use; null for a type no class
    // serves.
    CVEXASub* CreateSub(const SubSlotRecord& slot, CVEXAMain* main);
    // The object for the slot of `main` with `addr` (created on first use); null when no slot
    // has that address or no class serves its type.
    CVEXASub* SubAt(CVEXAMain& main, int addr);
    // The object when `handle` is one of ours, else null. Safe without the library lock (the
    // raw-buffer exports check their handles with it).
    CVEXASub* Find(const void* handle) const;

    // A new object of the class `row` names, built; null when the row's family has no class.
    static std::unique_ptr<CVEXASub> Make(const SubClassRow& row, const SubSlotRecord& slot, CVEXAMain* main);

private:
    mutable std::mutex lock_;  // guards subs_ against Find from an unlocked export
    std::vector<std::unique_ptr<CVEXASub>> subs_;
};

}  // namespace vexa
