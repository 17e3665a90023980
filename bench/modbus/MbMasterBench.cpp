// Requests per second, MbMaster against a libmodbus client, on the same libmodbus peer in the
// same run: read 100 holding registers N times over loopback TCP and over a pseudo-terminal
// pair at 115200 baud. Over TCP a bare round trip of the same request and reply bytes on a plain
// socket gives the floor. After the table it prints the ratio MbMaster / libmodbus per line
// (the goal is at least 1.0) and MbMaster's time per request over the bare one (the goal is
// at most 1.1). N: MB_BENCH_N, default 2000.
#include <benchmark/benchmark.h>
#include <arpa/inet.h>
#include <modbus.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "MbMaster.h"
#include "MbTestPeer.h"

namespace {

constexpr int kRegisters = 100;

mbtest::MbTestPeer& peer(mbtest::Framing f) {
    static std::map<mbtest::Framing, std::unique_ptr<mbtest::MbTestPeer>> peers;
    auto& p = peers[f];
    if (!p) {
        p = std::make_unique<mbtest::MbTestPeer>(f);
        if (!p->start()) std::abort();
    }
    return *p;
}

void* connectMbMaster(mbtest::Framing f) {
    auto& p = peer(f);
    return f == mbtest::Framing::Tcp
               ? KMB_TCPConnectMDBServer("127.0.0.1", p.port(), 0)
               : KMB_SerConnectMDBServer(KMB_FRAMING_RTU, p.serialPath().c_str(), 115200, 8, 0, 0, 1, 0, 0, 0, 1000);
}

modbus_t* connectLibmodbus(mbtest::Framing f) {
    auto& p = peer(f);
    modbus_t* ctx = f == mbtest::Framing::Tcp ? modbus_new_tcp("127.0.0.1", p.port())
                                              : modbus_new_rtu(p.serialPath().c_str(), 115200, 'N', 8, 1);
    if (!ctx) return nullptr;
    modbus_set_slave(ctx, 1);
    if (modbus_connect(ctx) != 0) {
        modbus_free(ctx);
        return nullptr;
    }
    return ctx;
}

void rate(benchmark::State& state) {
    state.counters["req/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_MbMaster(benchmark::State& state, mbtest::Framing f) {
    void* h = connectMbMaster(f);
    if (!h) return state.SkipWithError("connect failed");
    short regs[kRegisters];
    for (auto _ : state)
        if (KMB_ReadHoldReg(h, 1, 0, kRegisters, regs, 0) != KMB_OK) {
            state.SkipWithError("read failed");
            break;
        }
    rate(state);
    KMB_DisConnectMDBServer(h);
}

void BM_Libmodbus(benchmark::State& state, mbtest::Framing f) {
    modbus_t* ctx = connectLibmodbus(f);
    if (!ctx) return state.SkipWithError("connect failed");
    std::uint16_t regs[kRegisters];
    for (auto _ : state)
        if (modbus_read_registers(ctx, 0, kRegisters, regs) != kRegisters) {
            state.SkipWithError("read failed");
            break;
        }
    rate(state);
    modbus_close(ctx);
    modbus_free(ctx);
}

// The request MbMaster sends (transaction 1, unit 1, read 100 holding registers from 0) and its
// whole reply, with nothing but a socket in between.
void BM_BareTcp(benchmark::State& state) {
    auto& p = peer(mbtest::Framing::Tcp);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(p.port()));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        if (fd >= 0) ::close(fd);
        return state.SkipWithError("connect failed");
    }
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const std::uint8_t request[] = {0, 1, 0, 0, 0, 6, 1, 0x03, 0, 0, 0, kRegisters};
    constexpr int kReply = 9 + 2 * kRegisters;
    std::uint8_t reply[kReply];
    for (auto _ : state) {
        if (::send(fd, request, sizeof request, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof request)) {
            state.SkipWithError("send failed");
            break;
        }
        int got = 0;
        while (got < kReply) {
            pollfd pf{fd, POLLIN, 0};
            if (::poll(&pf, 1, 1000) <= 0) break;
            const ssize_t n = ::recv(fd, reply + got, sizeof reply - static_cast<std::size_t>(got), 0);
            if (n <= 0) break;
            got += static_cast<int>(n);
        }
        if (got != kReply) {
            state.SkipWithError("short reply");
            break;
        }
    }
    rate(state);
    ::close(fd);
}

// Keeps every repetition's rate and CPU time per request, so that the medians can be compared
// after the table (the CPU time says more than the rate when the machine is busy).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(::isatty(1) ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            auto it = r.counters.find("req/s");
            if (r.run_type != Run::RT_Iteration || r.error_occurred || it == r.counters.end() || !r.iterations) continue;
            rates[r.run_name.function_name].push_back(it->second.value);
            cpuUs[r.run_name.function_name].push_back(r.cpu_accumulated_time * 1e6 / static_cast<double>(r.iterations));
        }
        ConsoleReporter::ReportRuns(runs);
    }
    static double median(std::vector<double> v) {
        if (v.empty()) return 0;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }
    std::map<std::string, std::vector<double>> rates, cpuUs;
};

}  // namespace

int main(int argc, char** argv) {
    const char* env = std::getenv("MB_BENCH_N");
    const long n = env ? std::atol(env) : 2000;
    const struct {
        const char* line;
        mbtest::Framing framing;
    } kLines[] = {{"tcp", mbtest::Framing::Tcp}, {"pty115200", mbtest::Framing::Rtu}};
    for (const auto& l : kLines) {
        benchmark::RegisterBenchmark((std::string("ReadHolding100/") + l.line + "/MbMaster").c_str(), BM_MbMaster, l.framing)
            ->Iterations(n)
            ->UseRealTime();
        benchmark::RegisterBenchmark((std::string("ReadHolding100/") + l.line + "/libmodbus").c_str(), BM_Libmodbus, l.framing)
            ->Iterations(n)
            ->UseRealTime();
    }
    benchmark::RegisterBenchmark("ReadHolding100/tcp/bare", BM_BareTcp)->Iterations(n)->UseRealTime();
    // Repetitions in random order by default, so that a busy machine hurts both clients alike.
    std::vector<char*> args(argv, argv + argc);
    std::string reps = "--benchmark_repetitions=5", shuffle = "--benchmark_enable_random_interleaving=true";
    bool given = false;
    for (int i = 1; i < argc; ++i) given = given || std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
    if (!given) {
        args.push_back(reps.data());
        args.push_back(shuffle.data());
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const auto& l : kLines) {
        const std::string mine = std::string("ReadHolding100/") + l.line + "/MbMaster";
        const std::string theirs = std::string("ReadHolding100/") + l.line + "/libmodbus";
        const double a = RatioReporter::median(reporter.rates[mine]), b = RatioReporter::median(reporter.rates[theirs]);
        if (a > 0 && b > 0)
            std::printf("ratio MbMaster/libmodbus %-10s %.2f  (median %.0f vs %.0f req/s; CPU %.1f vs %.1f us/req)\n",
                        l.line, a / b, a, b, RatioReporter::median(reporter.cpuUs[mine]),
                        RatioReporter::median(reporter.cpuUs[theirs]));
    }
    const double mb = RatioReporter::median(reporter.rates["ReadHolding100/tcp/MbMaster"]);
    const double bare = RatioReporter::median(reporter.rates["ReadHolding100/tcp/bare"]);
    if (mb > 0 && bare > 0)
        std::printf("time per request MbMaster/bare tcp %.2f  (median %.0f vs %.0f req/s; CPU %.1f vs %.1f us/req)\n",
                    bare / mb, mb, bare, RatioReporter::median(reporter.cpuUs["ReadHolding100/tcp/MbMaster"]),
                    RatioReporter::median(reporter.cpuUs["ReadHolding100/tcp/bare"]));
    benchmark::Shutdown();
    return 0;
}
