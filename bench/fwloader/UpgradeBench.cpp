// A 256 KiB upgrade through the test plug-in against the simulated boot loader, with replies
// coming at once (no wire pacing). Besides bytes per second it splits the wall time into
//   host_cpu:  our code (frames, file, state machine, table), CPU time outside the plug-in
//   port_cpu:  the plug-in and the simulated device behind it
//   waiting:   everything else, i.e. the pauses the protocol prescribes (after the start, before
//              the last block's reply) and sleeps after silent rounds
#include "FakePort.h"
#include "FwLoader.h"
#include "FwTestDir.h"

#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::nanoseconds threadCpu() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

double seconds(std::chrono::nanoseconds ns) { return std::chrono::duration<double>(ns).count(); }

// range(0): block size the device grants; range(1): plug-in chunk size (GoodWriteLen, 0 = none).
void BM_Upgrade256KiB(benchmark::State& state) {
    fwtest::FwTestDir dir;
    const std::string first = dir.installPlugin("libFirst.so");
    const std::string plugin = dir.installPlugin("libBench.so");
    const std::string chunk = state.range(1) ? std::to_string(state.range(1)) : std::string("-1");
    // Index 0 always gets chunks of 1024, so the measured plug-in sits at index 1.
    dir.writeIni({{"First", "First.dll", {}}, {"VEXA", "Bench.dll", chunk}});
    fwtest::FakePort port(plugin);
    vexa::sim::BootLoaderConfig config;
    config.blockSize = static_cast<std::uint16_t>(state.range(0));
    vexa::sim::BootLoaderSim& sim = port.addDevice(config);
    if (KB_OpenCommDevice(1, nullptr) != 1 || KB_SearchDevice(1) != 1) {
        state.SkipWithError("plug-in not loaded");
        return;
    }
    const fwtest::Bytes payload = fwtest::makePayload(256 * 1024);
    fwtest::UpfLayout layout;
    layout.payload = payload;
    const std::string path = dir.writeFile("bench.upf", fwtest::buildUpf(layout));

    std::chrono::nanoseconds wall{0}, cpu{0}, portCpu{0};
    for (auto _ : state) {
        port.portCpu = {};
        const auto t0 = Clock::now();
        const auto c0 = threadCpu();
        const int ok = KB_UpdateFirware(0, path.c_str());
        cpu += threadCpu() - c0;
        wall += Clock::now() - t0;
        portCpu += port.portCpu;
        if (!ok || sim.image() != payload) {
            state.SkipWithError("upgrade failed");
            break;
        }
    }
    KB_CloseCommDevice(1);

    const double total = seconds(wall);
    if (total <= 0) return;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
    state.counters["host_cpu_share"] = seconds(cpu - portCpu) / total;
    state.counters["port_cpu_share"] = seconds(portCpu) / total;
    state.counters["waiting_share"] = seconds(wall - cpu) / total;
    // What our code alone could move, without the protocol's pauses.
    state.counters["host_bytes_per_cpu_second"] = benchmark::Counter(
        static_cast<double>(state.iterations() * payload.size()) / std::max(seconds(cpu - portCpu), 1e-9));
}
BENCHMARK(BM_Upgrade256KiB)
    ->Args({1024, 0})
    ->Args({4096, 0})
    ->Args({4096, 64})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
