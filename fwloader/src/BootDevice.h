#pragma once
// The process's one device table: plug-ins by index, and one row per device they reported.
#include "BootDeviceEntry.h"
#include "PluginTable.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace fwl {

class CBootDevice {
public:
    static CBootDevice& instance();
    ~CBootDevice() { unloadAll(); }

    // Plug-in operations (index of DEV_<n> in devdlls.ini).
    int open(int plugin, void* params);
    int config(int plugin, void* param);
    int search(int plugin);
    int enterBootMode(int plugin);
    int close(int plugin);

    // Device operations (index into the rows). Null for a bad index.
    BootDeviceEntry* entry(int device);
    // DEV_Read of at most the chunk size; -1 for a bad index, a missing function, or a
    // plug-in that claims more than was asked.
    int read(int device, std::uint8_t* buffer, std::uint32_t n, int timeoutMs);
    // All n bytes in chunks; n, or a negative result with the progress count as it was before.
    int write(int device, const std::uint8_t* data, std::uint32_t n, int timeoutMs);

    // Closes every plug-in that still has rows, drops the rows of plug-ins that cannot be
    // closed, and releases every module. Runs when the library unloads.
    void unloadAll();

private:
    CBootDevice() = default;
    void removeRows(int plugin);

    CPluginTable plugins_;
    std::vector<std::unique_ptr<BootDeviceEntry>> rows_;
};

}  // namespace fwl
