#include "device/RackOps.h"

#include <RackReader.h>
#include <VexaSdk.h>

#include "core/CKNetCom2Global.h"
#include "device/DeviceOps.h"

namespace vexadesk {

ModuleKeyTable moduleKeysOf(const DeviceRecord& r) {
    ModuleKeyTable table;
    auto* g = CKNetCom2Global::Instance();
    if (!g) return table;
    for (const auto& s : r.subSlots) {
        if (s.id == 0) continue;
        auto& keys = table[{s.type, s.version}];
        if (!keys.empty()) continue;
        if (DevTypeEntry* e = g->Lookup(s.type, s.version))
            for (const auto& n : e->pageA.nodes)
                if (!n->isCategory() && n->cmd.rfind("SET_", 0) == 0) keys.push_back(n->cmd);
    }
    return table;
}

RackRead readRack(DeviceRecord& r, const ModuleKeyTable& keys) {
    RackRead out;
    out.rc = openDevice(r);
    if (out.rc != RC_OK) return out;
    vexa::rackconfig::ModuleKeys provider;
    provider.settingKeys = [&keys](int type, int hardVer) {
        auto it = keys.find({type, hardVer});
        return it == keys.end() ? std::vector<std::string>() : it->second;
    };
    provider.className = [](int type, int hardVer) {
        return subModuleName(static_cast<std::uint16_t>(type), static_cast<std::uint16_t>(hardVer));
    };
    out.rc = vexa::rackconfig::RackReader(provider).read(r.handle.load(), r.linkType, out.config);
    return out;
}

RackRestoreResult restoreRack(DeviceRecord& r, const vexa::rackconfig::RackConfig& file,
                              const vexa::rackconfig::RestoreOptions& options, bool write) {
    RackRestoreResult out;
    out.rc = openDevice(r);
    if (out.rc != RC_OK) return out;
    vexa::rackconfig::RackRestore restore(r.handle.load(), options);
    out.report = write ? restore.apply(file) : restore.plan(file);
    return out;
}

}  // namespace vexadesk
