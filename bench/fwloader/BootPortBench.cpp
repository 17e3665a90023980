// A 256 KiB upgrade through each shipped boot plug-in against the simulated rack, with the
// plug-ins' fixed pauses off (VEXA_BOOT_PACING=0): VexaBootPort to a sub module over Ethernet
// and over USB, MbBootPort to an RS-485 coupler on a pseudo-terminal. Besides bytes per second
// it splits the wall time of an upgrade into
//   host_cpu:  our code on the upgrading thread: FwLoader, the plug-in, VexaSdk or MbMaster
//   sim_cpu:   the simulated rack's thread (the devices), from the process's CPU time
//   waiting:   the rest: replies in flight, the line's end-of-frame silence, FwLoader's pauses
//   fixed_pauses: the part of waiting that FwLoader prescribes whatever the line (50 ms after the
//              start command, 200 ms after the short last block)
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <memory>

#include "RackUpgrade.h"
#include "sim/boot/BootLoaderSim.h"

namespace {

using namespace vexa::sim;
using namespace boottest;
using Clock = std::chrono::steady_clock;

constexpr double kFixedPausesSeconds = 0.050 + 0.200;

std::chrono::nanoseconds cpu(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

double seconds(std::chrono::nanoseconds ns) { return std::chrono::duration<double>(ns).count(); }

enum class Wire { Ethernet, Usb, Rs485 };

// A rack with one device in its boot loader, found by the plug-in as device 0.
RackOptions stillRack() {
    RackOptions o;
    o.liveData = false;
    return o;
}

struct Rig {
    std::unique_ptr<SimRack> rack = std::make_unique<SimRack>(stillRack());
    SimCoupler* coupler = nullptr;
    int position = 0;
    int plugin = -1;
    std::uint16_t type = 0x4017;
    std::string port;

    bool open(Wire wire, std::uint16_t grant) {
        const SubModuleConfig sub{1, subIdentity(type)};
        if (wire == Wire::Ethernet) {
            EthCouplerConfig c;
            c.subs = {sub};
            coupler = rack->addEthernet(c);
        } else if (wire == Wire::Usb) {
            HidCouplerConfig c;
            c.subs = {sub};
            coupler = rack->addHid(c);
        } else {
            coupler = rack->addSerial(SerialCouplerConfig{});
        }
        position = wire == Wire::Rs485 ? 0 : 1;
        type = wire == Wire::Rs485 ? 0x9010 : type;
        if (!coupler || rack->start() != kSimOk) return false;
        useRack(*rack);
        coupler->enterBootLoader(position);
        coupler->withBootLoader(position, [&](BootLoaderSim& b) { b.config().blockSize = grant; });
        port = rack->serialPath(0);
        if (wire == Wire::Rs485) {
            plugin = pluginIndex("ModBus");
            MbPortParams p = mbSerial(port, 1, 921600);
            return plugin >= 0 && KB_OpenCommDevice(plugin, &p) == 1 && KB_SearchDevice(plugin) == 1;
        }
        plugin = pluginIndex("VEXA");
        VexaPortParams p = wire == Wire::Ethernet ? vexaEthernet(coupler->address()) : vexaHid();
        return plugin >= 0 && KB_OpenCommDevice(plugin, &p) == 1 && KB_SearchDevice(plugin) == 1;
    }
    ~Rig() {
        if (plugin >= 0) KB_CloseCommDevice(plugin);
    }
};

// range(0): the wire; range(1): the block size the boot loader grants.
void BM_BootPortUpgrade256KiB(benchmark::State& state) {
    useBuildAppDir();
    ::setenv("VEXA_BOOT_PACING", "0", 1);
    Rig rig;
    if (!rig.open(static_cast<Wire>(state.range(0)), static_cast<std::uint16_t>(state.range(1)))) {
        state.SkipWithError("the plug-in found no device");
        return;
    }
    TempFolder files;
    const Bytes payload = fwtest::makePayload(256 * 1024);
    const std::string path = files.write("bench.upf", upgradeFile(payload, rig.type));

    std::chrono::nanoseconds wall{0}, host{0}, process{0};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const auto h0 = cpu(CLOCK_THREAD_CPUTIME_ID);
        const auto p0 = cpu(CLOCK_PROCESS_CPUTIME_ID);
        const int ok = KB_UpdateFirware(0, path.c_str());
        host += cpu(CLOCK_THREAD_CPUTIME_ID) - h0;
        process += cpu(CLOCK_PROCESS_CPUTIME_ID) - p0;
        wall += Clock::now() - t0;
        if (!ok || bootImage(*rig.coupler, rig.position) != payload) {
            state.SkipWithError("upgrade failed");
            break;
        }
    }
    const double total = seconds(wall);
    if (total <= 0) return;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
    state.counters["host_cpu_share"] = seconds(host) / total;
    state.counters["sim_cpu_share"] = seconds(process - host) / total;
    state.counters["waiting_share"] = std::max(0.0, 1.0 - seconds(process) / total);
    state.counters["fixed_pauses_share"] = kFixedPausesSeconds * static_cast<double>(state.iterations()) / total;
}

void wires(benchmark::internal::Benchmark* b) {
    for (Wire w : {Wire::Ethernet, Wire::Usb, Wire::Rs485})
        for (int grant : {1024, 4096}) b->Args({static_cast<int>(w), grant});
    b->ArgNames({"wire(0eth,1usb,2rs485)", "grant"});
}

BENCHMARK(BM_BootPortUpgrade256KiB)->Apply(wires)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
