#pragma once
// Boot communication plug-ins loaded by index, counted per open, bound by their DEV_ names.
#include "BootPortContract.h"
#include "platform/DynLib.h"

#include <memory>
#include <vector>

namespace fwl {

// The DEV_ functions of one loaded plug-in; a missing one is null. The module stays loaded while
// a row holds it, so the addresses are looked up once at load.
struct PluginFunctions {
    DEV_OpenFn open = nullptr;
    DEV_ConfigFn config = nullptr;
    DEV_EnterBootModeFn enterBootMode = nullptr;
    DEV_WriteFn write = nullptr;
    DEV_ReadFn read = nullptr;
    DEV_CloseFn close = nullptr;
    DEV_SearchFn search = nullptr;
};

class CPluginTable {
public:
    enum class Load { Failed, Counted, Loaded };

    // Counts one more open of a loaded plug-in, or loads it from the file devdlls.ini names.
    Load load(int index);
    // Undoes one load; the module is released when none is left.
    void unload(int index);
    // Null when the plug-in is not loaded.
    const PluginFunctions* functions(int index) const;
    void releaseAll() { rows_.clear(); }

private:
    struct Row {
        int index = 0;
        int loads = 0;
        vexa::DynLib lib;
        PluginFunctions fns;
    };
    std::vector<std::unique_ptr<Row>>::iterator find(int index);

    std::vector<std::unique_ptr<Row>> rows_;
};

}  // namespace fwl
