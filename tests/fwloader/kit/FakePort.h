#pragma once
// The test side of a test plug-in: loads the plug-in file into this process, installs itself as
// its hooks, and plays the devices it reports, by default simulated boot loaders on a virtual
// clock (a read that finds nothing advances the clock by its time-out, so waiting costs nothing).
#include "TestPortHooks.h"
#include "sim/boot/BootLoaderSim.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fwtest {

class FakePort {
public:
    enum class WriteMode { Normal, ReturnZero, ReturnMore, Fail };

    // `pluginFile`: the copy of the test plug-in that FwLoader loads from the AppDir.
    explicit FakePort(const std::string& pluginFile);
    ~FakePort();
    FakePort(const FakePort&) = delete;
    FakePort& operator=(const FakePort&) = delete;

    bool attached() const { return lib_ != nullptr; }

    // A simulated boot loader that DEV_Search reports (handles 1, 2, ... in order of adding).
    vexa::sim::BootLoaderSim& addDevice(const vexa::sim::BootLoaderConfig& config = {});
    vexa::sim::BootLoaderSim& device(int handle) { return *sims_.at(static_cast<std::size_t>(handle - 1)); }

    // What DEV_Search returns instead of the number of devices (handles 1..min(n, 300) written).
    std::optional<int> searchResult;
    int openResult = 1;
    WriteMode writeMode = WriteMode::Normal;
    // Called after the device took bytes, e.g. to change the upgrade file mid-transfer.
    std::function<void(int handle)> afterWrite;
    std::function<void()> onClose;
    // For ports without devices: each DEV_Read hands out the front chunk (up to max bytes).
    std::deque<std::vector<std::uint8_t>> readScript;
    // Each write moves the front entry here to the end of readScript: an answer that exists only
    // once the command went out.
    std::deque<std::vector<std::uint8_t>> repliesAfterWrite;
    bool readReturnsMore = false;
    // Every DEV_Read fills all it may with this byte, for ever.
    std::optional<std::uint8_t> readForever;

    // Observation.
    std::vector<std::uint8_t> written;  // every byte taken, in order
    unsigned largestWrite = 0;
    unsigned largestRead = 0;
    int writeCalls = 0, readCalls = 0, openCalls = 0, closeCalls = 0, searchCalls = 0, configCalls = 0,
        enterBootCalls = 0;
    void* lastOpenParams = nullptr;
    std::uint64_t clockMs = 0;
    // CPU time spent inside the plug-in's calls (the "device" side), for the benchmark.
    std::chrono::nanoseconds portCpu{0};

private:
    static int hookOpen(void* ctx, void* params);
    static int hookConfig(void* ctx, void* param);
    static int hookEnterBoot(void* ctx);
    static int hookWrite(void* ctx, int handle, const std::uint8_t* data, unsigned n, int timeoutMs);
    static int hookRead(void* ctx, int handle, std::uint8_t* buffer, unsigned max, int timeoutMs);
    static int hookClose(void* ctx);
    static int hookSearch(void* ctx, int* handles);

    int write(int handle, const std::uint8_t* data, unsigned n);
    int read(int handle, std::uint8_t* buffer, unsigned max, int timeoutMs);
    vexa::sim::BootLoaderSim* sim(int handle);

    void* lib_ = nullptr;
    TP_SetHooksFn setHooks_ = nullptr;
    std::vector<std::unique_ptr<vexa::sim::BootLoaderSim>> sims_;
};

}  // namespace fwtest
