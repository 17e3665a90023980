// Firmware download to a simulated USB coupler through the exports, with no pacing on the
// simulated link, against the rate a full-speed HID link allows: one 64-byte report each way
// per 1 ms frame, so one 32-byte piece per ms, 32 000 image bytes per second.
// Reported: image bytes per second and their ratio to that limit (goal >= 0.9).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <vector>

#include "VexaSdk.h"
#include "sim/SimRack.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kReportRateLimit = 32.0 * 1000;  // image bytes per second
constexpr int kImageBytes = 0xFFFF;               // the largest coupler image

struct Env {
    vexa::sim::SimRack rack{vexa::sim::RackOptions{.liveData = false}};
    vexa::sim::SimCoupler* coupler = nullptr;
    KO_HANDLE handle = nullptr;
    Env() {
        coupler = rack.addHid({});
        if (rack.start() != vexa::sim::kSimOk) return;
        setenv("VEXA_HID", ("sim:" + rack.hidFolder()).c_str(), 1);
        KO_HIDSearchAll();
        char path[KO_HID_PATH_SIZE];
        short manufacturer, type, mode, hard, soft;
        int serial;
        while (KO_HIDGetSearchDev(path, &manufacturer, &type, &mode, &hard, &soft, &serial) == RC_OK)
            if (coupler->address() == path) handle = KO_HIDSetOperateDev(path, static_cast<unsigned short>(type), 0);
    }
};

Env& env() {
    static Env e;
    return e;
}

void BM_HidImageDownload(benchmark::State& state) {
    Env& e = env();
    if (!e.handle) {
        state.SkipWithError("no coupler");
        return;
    }
    const int length = static_cast<int>(state.range(0));
    std::vector<unsigned char> image(static_cast<size_t>(length));
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i * 7 + 3);
    double seconds = 0;
    for (auto _ : state) {
        if (KO_HidUpdateBegin(e.handle) != RC_OK) {
            state.SkipWithError("begin failed");
            return;
        }
        auto t0 = Clock::now();
        if (KO_HidUpdate(e.handle, image.data(), length, nullptr) != RC_OK) {
            state.SkipWithError("download failed");
            return;
        }
        seconds += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    const double bytes = static_cast<double>(length) * static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    const double rate = seconds > 0 ? bytes / seconds : 0;
    state.counters["image_B_per_s"] = rate;
    state.counters["ratio_to_hid_limit"] = rate / kReportRateLimit;
    state.counters["us_per_piece"] = seconds * 1e6 / (bytes / 32);
    if (e.coupler->firmwareImage().size() < static_cast<size_t>(length)) state.SkipWithError("image not kept");
}
BENCHMARK(BM_HidImageDownload)->Arg(4096)->Arg(kImageBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
