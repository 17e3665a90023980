// Ethernet search collecting 8 simulated couplers, then operating each and reading all its
// properties. The collection must end one reply window (500 ms) after the last reply, with no
// 10 ms polling steps on top.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <vector>

#include "VexaSdk.h"
#include "sim/SimRack.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCouplers = 8;

struct Env {
    vexa::sim::SimRack rack{vexa::sim::RackOptions{.liveData = false}};
    bool ok = false;
    Env() {
        for (int i = 0; i < kCouplers; ++i) rack.addEthernet({});
        ok = rack.start() == vexa::sim::kSimOk;
        setenv("VEXA_ETH_BROADCAST", rack.hubAddress().c_str(), 1);
    }
};

Env& env() {
    static Env e;
    return e;
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void BM_SearchOperateRead8(benchmark::State& state) {
    if (!env().ok) {
        state.SkipWithError("rack did not start");
        return;
    }
    double afterLast = 0, collect = 0, operateRead = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        KO_EthSearchAll();
        struct Found {
            std::string ip, mac;
            int type, mode;
        };
        std::vector<Found> found;
        char ip[16], mac[18];
        int hard, type, mode, flags, extra;
        Clock::time_point lastReply = t0;
        while (KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra) == RC_OK) {
            lastReply = Clock::now();
            found.push_back({ip, mac, type, mode});
        }
        auto t1 = Clock::now();
        if (found.size() != kCouplers) state.SkipWithError("not every coupler answered");
        for (const auto& f : found) {
            KO_HANDLE h = KO_EthSetOperateDev(f.ip.c_str(), f.mac.c_str(), f.type, f.mode);
            if (!h || KO_ReadMainProperty(h) != RC_OK) state.SkipWithError("operate/read failed");
            KO_UnOperateDev(h);
        }
        auto t2 = Clock::now();
        afterLast += ms(t1 - lastReply);
        collect += ms(t1 - t0);
        operateRead += ms(t2 - t1);
    }
    double n = static_cast<double>(state.iterations());
    state.counters["collect_ms"] = collect / n;
    state.counters["end_after_last_reply_ms"] = afterLast / n;  // 500 is the reply window
    state.counters["operate_and_read_8_ms"] = operateRead / n;
}

BENCHMARK(BM_SearchOperateRead8)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
