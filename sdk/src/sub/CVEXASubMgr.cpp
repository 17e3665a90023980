#include "CVEXASubMgr.h"

namespace vexa {

CVEXASub* CVEXASubMgr::CreateSub(const SubSlotRecord& slot, CVEXAMain*) {
    for (auto& s : subs_)
        if (s->address() == slot.address) return s.get();
    return nullptr;  // the type families come with the sub-module models
}

}  // namespace vexa

namespace vexa {

CVEXASub* CVEXASubMgr::Find(const void* handle) const {
    for (const auto& s : subs_)
        if (s.get() == handle) return s.get();
    return nullptr;
}

}  // namespace vexa
