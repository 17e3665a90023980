// The KB_ exports: argument checks, then the device table, the frame layer or the transfer.
// Nothing thrown inside may cross the boundary.
#include "FwLoader.h"

#include "BootDevice.h"
#include "DevDllIni.h"
#include "DeviceLink.h"
#include "MessageSink.h"
#include "SendFirware.h"
#include "TransferText.h"
#include "UpgradeFile.h"
#include "DialogHost.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

using fwl::CBootDevice;
using fwl::CCommDriver;
using fwl::CDeviceLink;

constexpr std::uint8_t kCmdBootVersion = 0x80;
constexpr std::uint8_t kCmdDeviceInfo = 0x81;
constexpr std::uint8_t kCmdReset = 0x85;
constexpr int kStatusDone = 1;
// Replies to the single commands are short; a longer frame is refused by the receive limit.
constexpr std::size_t kReplyBuffer = 80;
constexpr std::size_t kDeviceInfoReply = 2 + sizeof(BootDeviceInfo);

template <typename F>
int guarded(int onThrow, F&& f) noexcept {
    try {
        return f();
    } catch (...) {
        return onThrow;
    }
}

CBootDevice& table() { return CBootDevice::instance(); }

bool isReply(const std::uint8_t* body, int n, std::uint8_t cmd) {
    return n >= 2 && body[0] == cmd && body[1] == kStatusDone;
}

}  // namespace

extern "C" {

FWLOADER_API int KB_GetCommDeviceList(char* name, int index) {
    return guarded(-1, [&] {
        const int count = fwl::devdlls::count();
        if (!name || index < 0 || index >= count) return count;
        const std::string text = fwl::devdlls::name(index);
        std::memcpy(name, text.c_str(), text.size() + 1);
        return text.empty() ? 0 : 1;
    });
}

FWLOADER_API int KB_OpenCommDevice(int plugin, void* openParams) {
    return guarded(0, [&] { return table().open(plugin, openParams); });
}

FWLOADER_API int KB_ConfigCommDevice(int plugin, void* param) {
    return guarded(0, [&] { return table().config(plugin, param); });
}

FWLOADER_API int KB_SearchDevice(int plugin) {
    return guarded(0, [&] { return table().search(plugin); });
}

FWLOADER_API int KB_EnterBootMode(int plugin) {
    return guarded(0, [&] { return table().enterBootMode(plugin); });
}

FWLOADER_API int KB_CloseCommDevice(int plugin) {
    return guarded(0, [&] { return table().close(plugin); });
}

FWLOADER_API int KB_GetDeviceInfo(int device, BootDeviceInfo* out) {
    return guarded(0, [&] {
        if (!out || !table().entry(device)) return 0;
        std::memset(out, 0, sizeof *out);
        CDeviceLink dev(table(), device);
        CCommDriver link(dev);
        const std::uint8_t cmd[] = {kCmdDeviceInfo, 0};
        if (!link.send(cmd, sizeof cmd, 500)) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::uint8_t reply[kReplyBuffer];
        const int n = link.receive(reply, sizeof reply, 500);
        // The whole record must have come: a short reply would leave stale bytes in it.
        if (!isReply(reply, n, kCmdDeviceInfo) || n < static_cast<int>(kDeviceInfoReply)) return 0;
        std::memcpy(out, reply + 2, sizeof *out);
        return 1;
    });
}

FWLOADER_API int KB_GetBootVer(int device, BootVersionInfo* out) {
    return guarded(0, [&] {
        if (!out || !table().entry(device)) return 0;
        std::memset(out, 0, sizeof *out);
        CDeviceLink dev(table(), device);
        CCommDriver link(dev);
        link.drain();
        const std::uint8_t cmd[] = {kCmdBootVersion, 0};
        if (!link.send(cmd, sizeof cmd, 1000)) return 0;
        std::uint8_t reply[kReplyBuffer];
        const int n = link.receive(reply, sizeof reply, 2000);
        if (!isReply(reply, n, kCmdBootVersion)) return 0;
        // Reply bytes 2..3 go to record bytes 0..1, reply bytes 4.. stay at their offsets; only
        // what came is copied, the rest stays zero.
        auto* record = reinterpret_cast<std::uint8_t*>(out);
        std::memcpy(record, reply + 2, static_cast<std::size_t>(std::min(n, 4) - 2));
        if (n > 4) std::memcpy(record + 4, reply + 4, static_cast<std::size_t>(n - 4));
        return 1;
    });
}

FWLOADER_API int KB_ResetDevice(int device) {
    return guarded(0, [&] {
        if (!table().entry(device)) return 0;
        CDeviceLink dev(table(), device);
        CCommDriver link(dev);
        const std::uint8_t cmd[] = {kCmdReset, 0};
        if (!link.send(cmd, sizeof cmd, 500)) return 0;
        std::uint8_t reply[kReplyBuffer];
        link.receive(reply, sizeof reply, 500);  // any answer will do, or none
        return 1;
    });
}

FWLOADER_API int KB_SendCmd(int device, const std::uint8_t* body, int n) {
    return guarded(0, [&] {
        if (!table().entry(device) || n < 0 || (n > 0 && !body)) return 0;
        if (static_cast<std::size_t>(n) > CCommDriver::kMaxBody) return 0;
        CDeviceLink dev(table(), device);
        CCommDriver link(dev);
        link.drain();
        return link.send(body, static_cast<std::size_t>(n), 1000);
    });
}

FWLOADER_API int KB_GetAck(int device, std::uint8_t* buffer, int max, int* n, int timeoutMs) {
    return guarded(0, [&] {
        if (!table().entry(device)) return 0;
        if (n) *n = 0;
        if (!buffer || !n || max < 0) return 0;
        CDeviceLink dev(table(), device);
        CCommDriver link(dev);
        const int got = link.receive(buffer, static_cast<std::size_t>(max), timeoutMs);
        *n = got;
        return got > 0 ? 1 : 0;
    });
}

FWLOADER_API int KB_UpdateFirware(int device, const char* path) {
    return guarded(0, [&] {
        fwl::BootDeviceEntry* entry = table().entry(device);
        if (!entry) return 0;
        CDeviceLink dev(table(), device);
        fwl::CSendFirware upgrade(*entry, dev, KB_HOST_BLOCK_SIZE);
        const int code = upgrade.update(path);
        entry->finishProgress();
        return code == KB_FW_OK ? 1 : 0;
    });
}

FWLOADER_API int KB_GetUpdateFirwareProgress(int device) {
    return guarded(10000, [&] {
        const fwl::BootDeviceEntry* entry = table().entry(device);
        return entry ? entry->progress() : 10000;
    });
}

FWLOADER_API int KB_GetErrInfo(int device, char* out) {
    return guarded(KB_NO_DEVICE, [&] {
        const fwl::BootDeviceEntry* entry = table().entry(device);
        const std::string text = entry ? entry->lastText : fwl::kTextNoDevice;
        if (out) {
            const std::size_t len = std::min(text.size(), std::size_t{KB_ERR_TEXT_SIZE - 1});
            std::memcpy(out, text.data(), len);
            out[len] = '\0';
        }
        return entry ? entry->lastCode : KB_NO_DEVICE;
    });
}

FWLOADER_API int KB_CheckUpgradeFile(const char* path, char* out) {
    return guarded(KB_FW_FILE_ERROR, [&] {
        fwl::CUpgradeFile file;
        const bool ok = file.open(path);
        const std::string text = ok ? "" : file.errorText();
        if (out) {
            const std::size_t len = std::min(text.size(), std::size_t{KB_ERR_TEXT_SIZE - 1});
            std::memcpy(out, text.data(), len);
            out[len] = '\0';
        }
        return ok ? KB_FW_OK : KB_FW_FILE_ERROR;
    });
}

FWLOADER_API int KB_UpdateFirwareDlg(const char* commName, const char* path, void* openParams) {
    guarded(0, [&] {
        // Checked before the module is loaded, so that a program without a display never
        // loads Qt.
        if (!fwdlg::displayAvailable()) {
            fwl::showMessage("upgrade dialog not shown: no display (DISPLAY and WAYLAND_DISPLAY are unset)");
            return 0;
        }
        std::string why;
        auto run = reinterpret_cast<FwDlg_RunFn>(fwdlg::entry("FwDlg_Run", why));
        if (!run) {
            fwl::showMessage(("upgrade dialog not shown: " + why).c_str());
            return 0;
        }
        switch (run(commName, path, openParams)) {
        case FWDLG_SHOWN:
            return 1;
        case FWDLG_NO_DISPLAY:
            fwl::showMessage("upgrade dialog not shown: no display");
            break;
        case FWDLG_NOT_GUI:
            fwl::showMessage("upgrade dialog not shown: the program's Qt application has no widgets");
            break;
        case FWDLG_WRONG_THREAD:
            fwl::showMessage("upgrade dialog not shown: called off the thread of the program's Qt application");
            break;
        default:
            fwl::showMessage("upgrade dialog not shown: the dialog failed");
            break;
        }
        return 0;
    });
    return 1;
}

FWLOADER_API void KB_SetMessageHandler(KB_MessageHandler handler) { fwl::setMessageHandler(handler); }

}  // extern "C"
