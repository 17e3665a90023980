#pragma once
// Backup, compare and restore of one coupler's rack, as device-thread functions over the
// rack configuration library. The keys of each sub module are the configuration rows the
// catalog shows for it, gathered on the window thread (the catalog belongs to it).
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <RackCompare.h>
#include <RackConfig.h>
#include <RackRestore.h>

#include "models/DeviceRecord.h"

namespace vexadesk {

// (type, hardware version) → setting keys of the module's configuration page.
using ModuleKeyTable = std::map<std::pair<int, int>, std::vector<std::string>>;
ModuleKeyTable moduleKeysOf(const DeviceRecord& r);

struct RackRead {
    int rc = 0;
    vexa::rackconfig::RackConfig config;
};
RackRead readRack(DeviceRecord& r, const ModuleKeyTable& keys);

struct RackRestoreResult {
    int rc = 0;  // opening the coupler
    vexa::rackconfig::RestoreReport report;
};
// `write` false: the plan only.
RackRestoreResult restoreRack(DeviceRecord& r, const vexa::rackconfig::RackConfig& file,
                              const vexa::rackconfig::RestoreOptions& options, bool write);

}  // namespace vexadesk
