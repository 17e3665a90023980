#include "PluginTable.h"

#include "DevDllIni.h"

#include <algorithm>

namespace fwl {

namespace {

template <typename Fn>
void bind(const vexa::DynLib& lib, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(lib.symbol(name));
}

}  // namespace

std::vector<std::unique_ptr<CPluginTable::Row>>::iterator CPluginTable::find(int index) {
    return std::find_if(rows_.begin(), rows_.end(), [index](const auto& r) { return r->index == index; });
}

CPluginTable::Load CPluginTable::load(int index) {
    if (auto it = find(index); it != rows_.end()) {
        ++(*it)->loads;
        return Load::Counted;
    }
    if (index < 0 || index >= devdlls::count()) return Load::Failed;
    // resolvePluginFile refuses names that would leave the plug-in folder.
    const std::string file = vexa::resolvePluginFile(devdlls::folder(), devdlls::dll(index));
    if (file.empty()) return Load::Failed;

    auto row = std::make_unique<Row>();
    if (!row->lib.open(file)) return Load::Failed;
    row->index = index;
    row->loads = 1;
    PluginFunctions& f = row->fns;
    bind(row->lib, "DEV_Open", f.open);
    bind(row->lib, "DEV_Config", f.config);
    bind(row->lib, "DEV_EnterBootMode", f.enterBootMode);
    bind(row->lib, "DEV_Write", f.write);
    bind(row->lib, "DEV_Read", f.read);
    bind(row->lib, "DEV_Close", f.close);
    bind(row->lib, "DEV_Search", f.search);
    rows_.push_back(std::move(row));
    return Load::Loaded;
}

void CPluginTable::unload(int index) {
    auto it = find(index);
    if (it == rows_.end()) return;
    if (--(*it)->loads <= 0) rows_.erase(it);
}

const PluginFunctions* CPluginTable::functions(int index) const {
    auto it = std::find_if(rows_.begin(), rows_.end(), [index](const auto& r) { return r->index == index; });
    return it == rows_.end() ? nullptr : &(*it)->fns;
}

}  // namespace fwl
