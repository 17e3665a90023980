#include "core/Catalog.h"

namespace vexadesk {

IoMsgTable::Group& IoMsgTable::groupFor(std::uint16_t type) {
    for (Group& g : groups_)
        if (g.type == type) return g;
    return groups_.emplace_back(Group{type, {}});
}

void IoMsgTable::add(std::uint16_t type, IoMsgRecord r) { groupFor(type).records.push_back(std::move(r)); }

std::string IoMsgTable::name(std::uint16_t type, std::uint32_t addr) {
    for (const IoMsgRecord& r : groupFor(type).records)
        if (r.addr == addr) return r.name;
    return {};
}

bool IoMsgTable::dir(std::uint16_t type, std::uint32_t addr, std::uint8_t& out) const {
    if (const auto* g = group(type))
        for (const IoMsgRecord& r : *g)
            if (r.addr == addr && r.hasDir) {
                out = r.dir;
                return true;
            }
    return false;
}

bool IoMsgTable::reslen(std::uint16_t type, std::uint32_t addr, std::uint8_t& out) const {
    if (const auto* g = group(type))
        for (const IoMsgRecord& r : *g)
            if (r.addr == addr && r.hasReslen) {
                out = r.reslen;
                return true;
            }
    return false;
}

const std::vector<IoMsgRecord>* IoMsgTable::group(std::uint16_t type) const {
    for (const Group& g : groups_)
        if (g.type == type) return &g.records;
    return nullptr;
}

}  // namespace vexadesk
