// The Ethernet coupler's main-property read through the library against the same two
// request/reply round trips done bare on a UDP socket, on loopback with the simulated rack.
// Reported: time per read, median exchange latency, and the library/bare ratio (target <= 1.05).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/Socket.h"
#include "VexaSdk.h"
#include "sim/SimRack.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Env {
    vexa::sim::SimRack rack{vexa::sim::RackOptions{.liveData = false}};
    vexa::sim::SimCoupler* coupler = nullptr;
    KO_HANDLE handle = nullptr;
    Env() {
        coupler = rack.addEthernet({});
        if (rack.start() != vexa::sim::kSimOk) return;
        setenv("VEXA_ETH_BROADCAST", rack.hubAddress().c_str(), 1);
        KO_EthSearchByIP(coupler->address().c_str());
        char ip[16], mac[18];
        int hard, type, mode, flags, extra;
        if (KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra) == RC_OK)
            handle = KO_EthSetOperateDev(ip, mac, type, mode);
    }
};

Env& env() {
    static Env e;
    return e;
}

double medianMicros(std::vector<double>& v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

void BM_LibraryReadMainProperty(benchmark::State& state) {
    Env& e = env();
    if (!e.handle) {
        state.SkipWithError("no coupler");
        return;
    }
    std::vector<double> lat;
    for (auto _ : state) {
        auto t0 = Clock::now();
        if (KO_ReadMainProperty(e.handle) != RC_OK) state.SkipWithError("read failed");
        lat.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / 2);
    }
    state.counters["median_exchange_us"] = medianMicros(lat);
}

// The same two datagrams the library sends (read block 0 and block 1), answered by the same
// simulated coupler, with nothing but a socket in between.
void BM_BareUdpRoundTrips(benchmark::State& state) {
    Env& e = env();
    vexa::Socket sock;
    if (!e.handle || !sock.Create(0, SOCK_DGRAM)) {
        state.SkipWithError("no socket");
        return;
    }
    auto mac = e.coupler->mac();
    std::vector<std::uint8_t> req[2];
    for (int b = 0; b < 2; ++b) {
        req[b] = {0xA1, 0x01, static_cast<std::uint8_t>(b), 0x00, 0x01, 0x00};
        req[b].insert(req[b].end(), mac.begin(), mac.end());
        req[b].push_back(0x0A);
    }
    std::uint8_t buf[1024];
    std::string from;
    unsigned port;
    std::vector<double> lat;
    for (auto _ : state) {
        auto t0 = Clock::now();
        for (int b = 0; b < 2; ++b) {
            sock.SendTo(req[b].data(), static_cast<int>(req[b].size()), 8801, e.coupler->address().c_str());
            if (sock.WaitReadable(100) <= 0 || sock.ReceiveFrom(buf, sizeof buf, from, port) < 13)
                state.SkipWithError("no reply");
        }
        lat.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / 2);
    }
    state.counters["median_exchange_us"] = medianMicros(lat);
}

BENCHMARK(BM_LibraryReadMainProperty)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_BareUdpRoundTrips)->MinTime(1.0)->UseRealTime();

// Prints the ratio of the two after the usual console report.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0)
                perIteration_[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        double lib = 0, bare = 0;
        for (auto& [name, t] : perIteration_) {
            if (name.find("Library") != std::string::npos) lib = t;
            if (name.find("Bare") != std::string::npos) bare = t;
        }
        if (lib > 0 && bare > 0)
            std::printf("\nlibrary / bare UDP time ratio: %.3f (target <= 1.05)\n", lib / bare);
    }

private:
    std::map<std::string, double> perIteration_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
