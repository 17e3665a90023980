#pragma once
// The sub-module objects created for one coupler, keyed by address.
#include <memory>
#include <vector>

#include "CVEXASub.h"

namespace vexa {

class CVEXASubMgr {
public:
    virtual ~CVEXASubMgr() = default;
    // The object for `address`, created on first use; null for a type no class serves.
    CVEXASub* CreateSub(const SubSlotRecord& slot, CVEXAMain* main);
    // The object when `handle` is one of ours, else null.
    CVEXASub* Find(const void* handle) const;

private:
    std::vector<std::unique_ptr<CVEXASub>> subs_;
};

}  // namespace vexa
