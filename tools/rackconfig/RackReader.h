#pragma once
// Reads a live rack into a RackConfig through an open coupler handle.
#include <functional>
#include <string>
#include <vector>

#include "RackConfig.h"
#include "VexaSdk.h"

namespace vexa::rackconfig {

// What the caller knows of sub-module classes: the property keys of a type code and hardware
// version (the reader keeps the SET_ ones that are no commands), and optionally a class name.
// vexactl answers from the library's class table, the workbench from its catalog.
struct ModuleKeys {
    std::function<std::vector<std::string>(int type, int hardVer)> settingKeys;
    std::function<std::string(int type, int hardVer)> className;  // may be empty
};

class RackReader {
public:
    explicit RackReader(ModuleKeys keys) : keys_(std::move(keys)) {}

    // Searches the sub modules again, then reads the coupler (of KO_KIND_* `kind`) and every sub
    // module. RC_OK, or the library's result code of the first read that failed.
    int read(KO_HANDLE h, int kind, RackConfig& out) const;

    // One part: the coupler, or the sub module at `slot` (slots as the last search found them).
    int readCoupler(KO_HANDLE h, int kind, ModuleConfig& out) const;
    int readModule(KO_HANDLE h, int slot, ModuleConfig& out) const;

private:
    ModuleKeys keys_;
};

}  // namespace vexa::rackconfig
