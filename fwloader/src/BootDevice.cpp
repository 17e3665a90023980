#include "BootDevice.h"

#include "DevDllIni.h"
#include "MessageSink.h"
#include "TransferText.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace fwl {

namespace {

// Plug-ins loaded after this library register their own exit-time destructors later than ours,
// so those run first. Registering this after each new load closes the plug-ins while their
// state is still alive.
void unloadAtExit() { CBootDevice::instance().unloadAll(); }

}  // namespace

CBootDevice& CBootDevice::instance() {
    static CBootDevice table;
    return table;
}

int CBootDevice::open(int plugin, void* params) {
    const CPluginTable::Load loaded = plugins_.load(plugin);
    if (loaded == CPluginTable::Load::Failed) {
        showMessage(kTextLoadFailed);
        return 0;
    }
    if (loaded == CPluginTable::Load::Loaded) std::atexit(unloadAtExit);
    const PluginFunctions* f = plugins_.functions(plugin);
    if (!f->open) {
        plugins_.unload(plugin);
        showMessage(kTextLoadFailed);
        return 0;
    }
    return f->open(params);
}

int CBootDevice::config(int plugin, void* param) {
    const PluginFunctions* f = plugins_.functions(plugin);
    return f && f->config ? f->config(param) : 0;
}

int CBootDevice::enterBootMode(int plugin) {
    const PluginFunctions* f = plugins_.functions(plugin);
    return f && f->enterBootMode ? f->enterBootMode() : 0;
}

int CBootDevice::search(int plugin) {
    removeRows(plugin);
    const PluginFunctions* f = plugins_.functions(plugin);
    if (!f || !f->search) return 0;
    std::array<int, DEV_MAX_HANDLES> handles{};
    // The count is the plug-in's word only as far as the array goes.
    const int n = std::clamp(f->search(handles.data()), 0, static_cast<int>(handles.size()));
    const std::uint32_t chunk = devdlls::chunkSize(plugin);
    for (int i = 0; i < n; ++i) rows_.push_back(std::make_unique<BootDeviceEntry>(plugin, chunk, handles[i]));
    return n;
}

int CBootDevice::close(int plugin) {
    const PluginFunctions* f = plugins_.functions(plugin);
    if (!f || !f->close) return 0;
    const int r = f->close();
    plugins_.unload(plugin);
    removeRows(plugin);
    return r;
}

void CBootDevice::removeRows(int plugin) {
    std::erase_if(rows_, [plugin](const auto& r) { return r->pluginIndex == plugin; });
}

void CBootDevice::unloadAll() {
    while (!rows_.empty()) {
        const int plugin = rows_.front()->pluginIndex;
        const PluginFunctions* f = plugins_.functions(plugin);
        if (f && f->close)
            close(plugin);
        else
            removeRows(plugin);  // nothing to call: forgetting the rows is all that is left
    }
    plugins_.releaseAll();
}

BootDeviceEntry* CBootDevice::entry(int device) {
    if (device < 0 || static_cast<std::size_t>(device) >= rows_.size()) return nullptr;
    return rows_[static_cast<std::size_t>(device)].get();
}

int CBootDevice::read(int device, std::uint8_t* buffer, std::uint32_t n, int timeoutMs) {
    BootDeviceEntry* e = entry(device);
    const PluginFunctions* f = e ? plugins_.functions(e->pluginIndex) : nullptr;
    if (!f || !f->read) return DEV_ERROR;
    const std::uint32_t ask = std::min(n, e->chunkSize);
    const int r = f->read(e->handle, buffer, ask, timeoutMs);
    return r > 0 && static_cast<std::uint32_t>(r) > ask ? DEV_ERROR : r;
}

int CBootDevice::write(int device, const std::uint8_t* data, std::uint32_t n, int timeoutMs) {
    BootDeviceEntry* e = entry(device);
    const PluginFunctions* f = e ? plugins_.functions(e->pluginIndex) : nullptr;
    if (!f || !f->write) return DEV_ERROR;
    const std::uint32_t before = e->count;
    std::uint32_t done = 0;
    while (done < n) {
        const std::uint32_t piece = std::min(n - done, e->chunkSize);
        const int r = f->write(e->handle, data + done, piece, timeoutMs);
        // 0 would never advance and more than the piece would run past it: both fail the frame.
        if (r <= 0 || static_cast<std::uint32_t>(r) > piece) {
            e->count = before;
            return r < 0 ? r : DEV_ERROR;
        }
        done += static_cast<std::uint32_t>(r);
        if (e->counting) e->count += static_cast<std::uint32_t>(r);
    }
    return static_cast<int>(n);
}

}  // namespace fwl
