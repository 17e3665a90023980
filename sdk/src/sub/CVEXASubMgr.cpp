#include "CVEXASubMgr.h"

#include "CSub3402.h"
#include "CSub3412.h"
#include "CSub3800.h"
#include "CSub3800E.h"
#include "CSub39XX.h"
#include "CSub4400E.h"
#include "CSub7404.h"
#include "CSubBipolar.h"
#include "CSubCounter.h"
#include "main/CVEXAMain.h"

namespace vexa {

namespace {

template <class T>
std::unique_ptr<CVEXASub> make(CVEXAMain* main, const SubSlotRecord& slot) {
    return std::make_unique<T>(main, slot);
}

struct FamilyClass {
    SubFamily family;
    std::unique_ptr<CVEXASub> (*create)(CVEXAMain*, const SubSlotRecord&);
};
constexpr FamilyClass kFamilies[] = {
    {SubFamily::Plain, make<CVEXASub>},           {SubFamily::Counter, make<CSubCounter>},
    {SubFamily::Bipolar, make<CSubBipolar>},      {SubFamily::OffsetBinary, make<CSub3800>},
    {SubFamily::SignMagnitude, make<CSub3800E>},  {SubFamily::Millivolt, make<CSub3412>},
    {SubFamily::Mixed, make<CSub3402>},           {SubFamily::AnalogOut16, make<CSub4400E>},
    {SubFamily::Calibrated, make<CSub39XX>},      {SubFamily::Encoder, make<CSub7404>},
};

}  // namespace

std::unique_ptr<CVEXASub> CVEXASubMgr::Make(const SubClassRow& row, const SubSlotRecord& slot, CVEXAMain* main) {
    for (const auto& f : kFamilies)
        if (f.family == row.family) {
            auto sub = f.create(main, slot);
            sub->Build(row);
            return sub;
        }
    return nullptr;
}

CVEXASub* CVEXASubMgr::CreateSub(const SubSlotRecord& slot, CVEXAMain* main) {
    {
        std::lock_guard<std::mutex> g(lock_);
        for (auto& s : subs_)
            if (s->address() == slot.address) return s.get();
    }
    const SubClassRow* row = FindSubClass(slot.type, slot.hardVer);
    if (!row) return nullptr;  // no class serves this type
    auto sub = Make(*row, slot, main);
    if (!sub) return nullptr;
    std::lock_guard<std::mutex> g(lock_);
    subs_.push_back(std::move(sub));
    return subs_.back().get();
}

CVEXASub* CVEXASubMgr::SubAt(CVEXAMain& main, int addr) {
    addr &= 0xFF;
    for (int i = 0; i < kSubSlots; ++i) {
        const SubSlotRecord& s = main.slot(i);
        if (s.address != 0 && s.address == addr) return CreateSub(s, &main);
    }
    return nullptr;
}

CVEXASub* CVEXASubMgr::Find(const void* handle) const {
    if (!handle) return nullptr;
    std::lock_guard<std::mutex> g(lock_);
    for (const auto& s : subs_)
        if (s.get() == handle) return s.get();
    return nullptr;
}

}  // namespace vexa
