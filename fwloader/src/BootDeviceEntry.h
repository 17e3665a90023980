#pragma once
// One row of the device table: a device a plug-in reported, its chunk size, the progress of its
// upgrade and the result of the last one.
#include "FwLoader.h"
#include "Progress.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace fwl {

struct BootDeviceEntry {
    BootDeviceEntry(int plugin, std::uint32_t chunk, int devHandle)
        : pluginIndex(plugin), chunkSize(chunk), handle(devHandle) {}

    const int pluginIndex;
    const std::uint32_t chunkSize;  // largest count for one DEV_Write or DEV_Read
    const int handle;               // what DEV_Search reported

    // Progress is written by the upgrading thread and read by a polling one, value by value.
    std::atomic<int> counting{0};
    std::atomic<std::uint32_t> total{0};
    std::atomic<std::uint32_t> count{0};  // bytes handed to DEV_Write since the upgrade began
    std::uint32_t checkpoint = 0;         // count when the last reply came

    std::string lastText;
    int lastCode = KB_FW_OK;

    void startProgress(std::uint32_t newTotal) {
        counting = 0;
        count = 0;
        checkpoint = 0;
        total = newTotal;
        counting = 1;
    }
    void finishProgress() { count = total.load(); }
    // A reply came: what was sent so far stays counted.
    void keepSent() { checkpoint = count; }
    // No reply: the unanswered bytes are taken back.
    void takeBackUnanswered() { count = checkpoint; }
    int progress() const { return progressPermyriad(counting != 0, count, total); }
    void record(int code, std::string text) {
        lastCode = code;
        lastText = std::move(text);
    }
};

}  // namespace fwl
