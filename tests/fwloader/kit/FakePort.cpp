#include "FakePort.h"

#include <dlfcn.h>
#include <time.h>

#include <algorithm>

namespace fwtest {

namespace {

std::chrono::nanoseconds threadCpu() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// Adds the CPU time of one hook call to the port's account.
class CpuScope {
public:
    explicit CpuScope(std::chrono::nanoseconds& account) : account_(account), begin_(threadCpu()) {}
    ~CpuScope() { account_ += threadCpu() - begin_; }

private:
    std::chrono::nanoseconds& account_;
    std::chrono::nanoseconds begin_;
};

FakePort& self(void* ctx) { return *static_cast<FakePort*>(ctx); }

}  // namespace

FakePort::FakePort(const std::string& pluginFile) {
    lib_ = dlopen(pluginFile.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib_) return;
    setHooks_ = reinterpret_cast<TP_SetHooksFn>(dlsym(lib_, "TP_SetHooks"));
    if (!setHooks_) return;
    const TestPortHooks hooks{this,      &hookOpen,  &hookConfig, &hookEnterBoot, &hookWrite,
                              &hookRead, &hookClose, &hookSearch};
    setHooks_(&hooks);
}

FakePort::~FakePort() {
    if (setHooks_) setHooks_(nullptr);
    if (lib_) dlclose(lib_);
}

vexa::sim::BootLoaderSim& FakePort::addDevice(const vexa::sim::BootLoaderConfig& config) {
    sims_.push_back(std::make_unique<vexa::sim::BootLoaderSim>(config, [this] { return clockMs; }));
    return *sims_.back();
}

vexa::sim::BootLoaderSim* FakePort::sim(int handle) {
    if (handle < 1 || static_cast<std::size_t>(handle) > sims_.size()) return nullptr;
    return sims_[static_cast<std::size_t>(handle - 1)].get();
}

int FakePort::hookOpen(void* ctx, void* params) {
    FakePort& p = self(ctx);
    ++p.openCalls;
    p.lastOpenParams = params;
    return p.openResult;
}

int FakePort::hookConfig(void* ctx, void*) {
    ++self(ctx).configCalls;
    return 1;
}

int FakePort::hookEnterBoot(void* ctx) {
    ++self(ctx).enterBootCalls;
    return 1;
}

int FakePort::hookClose(void* ctx) {
    FakePort& p = self(ctx);
    ++p.closeCalls;
    if (p.onClose) p.onClose();
    return 1;
}

int FakePort::hookSearch(void* ctx, int* handles) {
    FakePort& p = self(ctx);
    ++p.searchCalls;
    const int n = p.searchResult.value_or(static_cast<int>(p.sims_.size()));
    for (int i = 0; i < std::min(n, 300); ++i) handles[i] = i + 1;
    return n;
}

int FakePort::hookWrite(void* ctx, int handle, const std::uint8_t* data, unsigned n, int) {
    FakePort& p = self(ctx);
    CpuScope cpu(p.portCpu);
    return p.write(handle, data, n);
}

int FakePort::hookRead(void* ctx, int handle, std::uint8_t* buffer, unsigned max, int timeoutMs) {
    FakePort& p = self(ctx);
    CpuScope cpu(p.portCpu);
    return p.read(handle, buffer, max, timeoutMs);
}

int FakePort::write(int handle, const std::uint8_t* data, unsigned n) {
    ++writeCalls;
    largestWrite = std::max(largestWrite, n);
    switch (writeMode) {
        case WriteMode::ReturnZero: return 0;
        case WriteMode::Fail: return -1;
        case WriteMode::ReturnMore: return static_cast<int>(n) + 1;
        case WriteMode::Normal: break;
    }
    written.insert(written.end(), data, data + n);
    if (!repliesAfterWrite.empty()) {
        readScript.push_back(std::move(repliesAfterWrite.front()));
        repliesAfterWrite.pop_front();
    }
    if (vexa::sim::BootLoaderSim* s = sim(handle)) s->write(data, n);
    if (afterWrite) afterWrite(handle);
    return static_cast<int>(n);
}

int FakePort::read(int handle, std::uint8_t* buffer, unsigned max, int timeoutMs) {
    ++readCalls;
    largestRead = std::max(largestRead, max);
    if (readReturnsMore) return static_cast<int>(max) + 1;
    if (readForever) {
        std::fill_n(buffer, max, *readForever);
        return static_cast<int>(max);
    }
    vexa::sim::BootLoaderSim* s = sim(handle);
    if (!s) {
        if (readScript.empty()) return 0;
        std::vector<std::uint8_t>& chunk = readScript.front();
        const std::size_t n = std::min<std::size_t>(max, chunk.size());
        std::copy_n(chunk.begin(), n, buffer);
        chunk.erase(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
        if (chunk.empty()) readScript.pop_front();
        return static_cast<int>(n);
    }
    std::size_t n = s->read(buffer, max);
    if (n == 0) {
        // Wait for the reply as a real port would, on the virtual clock.
        const std::uint64_t due = s->nextDue();
        const std::uint64_t limit = clockMs + static_cast<std::uint64_t>(std::max(timeoutMs, 0));
        clockMs = std::min(due, limit);
        n = s->read(buffer, max);
    }
    return static_cast<int>(n);
}

}  // namespace fwtest
