// The rack as a whole: start and stop, uniqueness per process, live data, the boot-loader hook,
// the request log, refused configurations, and the vexa-sim program.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "WireClient.h"
#include "sim/SimRack.h"

extern char** environ;

using namespace vexa::sim;
using namespace vexa::simtest;

namespace {

bool exists(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

TEST(Rack, StopRemovesItsSocketsAndTheFolderItMade) {
    SimRack rack;
    SimCoupler* a = rack.addHid({});
    SimCoupler* b = rack.addHid({.socketName = "second"});
    ASSERT_TRUE(a && b);
    ASSERT_EQ(rack.start(), kSimOk);
    std::string folder = rack.hidFolder();
    EXPECT_TRUE(exists(a->address()));
    EXPECT_EQ(b->address(), folder + "/second");
    rack.stop();
    EXPECT_FALSE(exists(a->address()));
    EXPECT_FALSE(exists(folder));
    EXPECT_FALSE(rack.running());

    // A folder the caller gave is kept; only the sockets go.
    char given[] = "/tmp/vexa-simtest-XXXXXX";
    ASSERT_TRUE(::mkdtemp(given));
    SimRack kept(RackOptions{.hidFolder = given});
    SimCoupler* c = kept.addHid({});
    ASSERT_EQ(kept.start(), kSimOk);
    EXPECT_TRUE(exists(c->address()));
    kept.stop();
    EXPECT_FALSE(exists(c->address()));
    EXPECT_TRUE(exists(given));
    ::rmdir(given);
}

TEST(Rack, RacksOfOneProcessGetTheirOwnSubnetsAndCanRestart) {
    SimRack one, two;
    ASSERT_TRUE(one.addEthernet({}) && two.addEthernet({}));
    EXPECT_NE(one.subnet(), two.subnet());
    EXPECT_EQ(one.hubAddress(), one.subnet() + ".1");
    ASSERT_EQ(one.start(), kSimOk);
    ASSERT_EQ(two.start(), kSimOk);
    EXPECT_EQ(one.start(), kSimRunning);
    one.stop();
    one.stop();
    ASSERT_EQ(one.start(), kSimOk) << "a stopped rack starts again";
    UdpClient udp;
    udp.send(one.couplers()[0]->address(), {0xA1, 0x15, 0x02, 0x00, 0x00, 0xFF});
    EXPECT_TRUE(udp.receive(1000));
}

TEST(Rack, LiveInputsMoveAndHoldStillWhenFrozen) {
    SimRack rack;
    SimCoupler* c = rack.addEthernet({.subs = {{1, subIdentity(0x4017)}, {2, subIdentity(0x1804)}}});
    ASSERT_TRUE(c);
    int before = c->subRegister(1, 64);
    int counterBefore = c->subRegister(2, 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_NE(c->subRegister(1, 64), before) << "an analog input follows its curve";
    EXPECT_GT(c->subRegister(2, 2), counterBefore) << "a counter counts";
    EXPECT_EQ(c->subRegister(1, 128), 0) << "configuration does not move";

    rack.setLiveData(false);
    int frozen = c->subRegister(1, 64);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(c->subRegister(1, 64), frozen);
    EXPECT_TRUE(c->setSubRegister(1, 64, 0x1234));
    EXPECT_EQ(c->subRegister(1, 64), 0x1234) << "a frozen input can be preset";

    SimRack still(RackOptions{.liveData = false});
    SimCoupler* s = still.addEthernet({.subs = {{1, subIdentity(0x4017)}}});
    EXPECT_EQ(s->subRegister(1, 64), 0x8000 + 0x2000 * 0) << "a frozen rack starts at the curve's start";
}

class Recorder : public SubModuleProgram {
public:
    explicit Recorder(Bytes* sink) : sink_(sink) {}
    bool writeRegisters(int, const std::uint8_t* data, int len) override {
        sink_->insert(sink_->end(), data, data + len);
        return true;
    }
    bool readRegisters(int, int count, std::uint8_t* out) override {
        for (int i = 0; i < count * 2; ++i) out[i] = 0xB0;
        return true;
    }

private:
    Bytes* sink_;
};

TEST(Rack, AaAaAtPropertyRegisterFfStartsTheBootLoader) {
    SimRack rack(RackOptions{.liveData = false});
    SimCoupler* c = rack.addHid({.subs = {{3, subIdentity(0x3800)}}});
    Bytes received;
    int hookPosition = 0;
    rack.setBootHook([&](SimCoupler&, int position) {
        hookPosition = position;
        return std::make_unique<Recorder>(&received);
    });
    ASSERT_EQ(rack.start(), kSimOk);
    HidClient h(c->address());
    auto data = h.exchange(0x12, {3, 0xFF, 1, 0xAA, 0xAA});
    ASSERT_TRUE(data);
    EXPECT_FALSE(c->inBootLoader(3)) << "a data write does not count";
    auto prop = h.exchange(0x13, {3, 0xFF, 1, 0xAA, 0xAA});
    ASSERT_TRUE(prop);
    EXPECT_EQ((*prop)[3], 0x13);
    EXPECT_TRUE(c->inBootLoader(3));
    EXPECT_EQ(hookPosition, 3);
    auto slot = h.exchange(0x10, {3});
    ASSERT_TRUE(slot);
    EXPECT_EQ((*slot)[7] << 8 | (*slot)[8], kBootLoaderType) << "the slot now reports the boot loader";
    h.exchange(0x80, {255, 3, 0, 0xFE, 0x01, 0x02});
    EXPECT_EQ(received, (Bytes{0xFE, 0x01, 0x02})) << "register traffic goes to the program, bytes as sent";
    auto r = h.exchange(0x11, {3, 0, 1});
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[7], 0xB0);
}

TEST(Rack, RequestLogKeepsTheNewestAndCountsAll) {
    SimRack rack(RackOptions{.liveData = false});
    SimCoupler* c = rack.addEthernet({});
    ASSERT_EQ(rack.start(), kSimOk);
    UdpClient udp;
    const std::size_t total = kRequestLogSize + 10;
    for (std::size_t i = 0; i < total; ++i) {
        Bytes req = ethHeader(0x06, 0, 0, 0, static_cast<std::uint8_t>(i), c->mac());
        udp.send(c->address(), req);
        if (i % 64 == 63) c->waitForRequests(i + 1, 2000);  // keep the socket buffers from overflowing
    }
    ASSERT_TRUE(c->waitForRequests(total, 5000));
    auto log = c->requests();
    ASSERT_EQ(log.size(), kRequestLogSize);
    EXPECT_EQ(log.back()[5], static_cast<std::uint8_t>(total - 1));
    EXPECT_EQ(log.front()[5], static_cast<std::uint8_t>(10));
    c->clearLog();
    EXPECT_EQ(c->requestCount(), 0u);
    EXPECT_TRUE(c->requests().empty());
}

TEST(Rack, BadConfigurationsAreRefused) {
    SimRack rack;
    EXPECT_FALSE(rack.addEthernet({.address = "10.0.0.5"})) << "only loopback addresses";
    EXPECT_FALSE(rack.addEthernet({.address = "not an address"}));
    EXPECT_FALSE(rack.addEthernet({.subs = {{9, subIdentity(0x4017)}}})) << "position 9";
    EXPECT_FALSE(rack.addEthernet({.subs = {{2, subIdentity(0x4017)}, {2, subIdentity(0x2808)}}}));
    EXPECT_FALSE(rack.addSerial({.station = 0}));
    EXPECT_FALSE(rack.addSerial({.line = -1}));
    ASSERT_TRUE(rack.addSerial({.station = 4}));
    EXPECT_FALSE(rack.addSerial({.station = 4})) << "one station address per line";
    EXPECT_FALSE(rack.addHid({.socketName = "a/b"}));
    EXPECT_FALSE(rack.addHid({.socketName = std::string(256, 'x')}));
    ASSERT_TRUE(rack.addHid({.socketName = "same"}));
    EXPECT_FALSE(rack.addHid({.socketName = "same"}));
    EXPECT_EQ(SimRack(RackOptions{.subnet = "10.1.2"}).start(), kSimBadConfig);
    ASSERT_EQ(rack.start(), kSimOk);
    EXPECT_FALSE(rack.addEthernet({})) << "not after start";
    SimCoupler* c = rack.couplers()[0];
    EXPECT_EQ(c->subRegister(1, 0), -1);
    EXPECT_FALSE(c->setBlock(0, 60, Bytes(8, 0)));
    EXPECT_TRUE(c->block(1).empty());
}

// ---- the program ----

struct Program {
    pid_t pid = -1;
    ~Program() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

std::string readFile(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

bool waitFor(const std::function<bool()>& ready, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Exit status of a finished child, or -1 when it is still running after `timeoutMs`.
int exitStatus(pid_t pid, int timeoutMs) {
    int status = 0;
    if (!waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs)) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

pid_t spawn(std::vector<std::string> args, const std::string& out = "/dev/null") {
    args.insert(args.begin(), VEXA_SIM_PROGRAM);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, VEXA_SIM_PROGRAM, &fa, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

TEST(Program, StartsAnsweringWritesItsReadyFileAndCleansUpOnSigterm) {
    char dir[] = "/tmp/vexa-simtest-XXXXXX";
    ASSERT_TRUE(::mkdtemp(dir));
    std::string ready = std::string(dir) + "/ready";
    Program p;
    p.pid = spawn({"--freeze", "--subs", "4017,-,1804", "--eth", "auto", "--rs-line", "rtu:1,9", "--hid", "auto",
                   "--ready-file", ready});
    ASSERT_GT(p.pid, 0);
    ASSERT_TRUE(waitFor([&] { return exists(ready); }, 5000));
    std::string text = readFile(ready);
    std::smatch hub, hidFolder;
    ASSERT_TRUE(std::regex_search(text, hub, std::regex("export VEXA_ETH_BROADCAST=(\\S+)")));
    ASSERT_TRUE(std::regex_search(text, hidFolder, std::regex("export VEXA_HID=sim:(\\S+)")));
    EXPECT_NE(text.find("station 9"), std::string::npos);

    UdpClient udp;
    udp.send(hub[1], {0xA1, 0x15, 0x02, 0x00, 0x00, 0xFF});
    auto reply = udp.receive(2000);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes.size(), 24u);

    ::kill(p.pid, SIGTERM);
    EXPECT_EQ(exitStatus(p.pid, 5000), 0);
    p.pid = -1;
    EXPECT_FALSE(exists(hidFolder[1])) << "sockets and folder removed";
    EXPECT_FALSE(exists(ready));
    ::rmdir(dir);
}

// --print-env starts nothing: it prints the running rack's export lines. Two racks sharing a
// ready file never delete each other's.
TEST(Program, PrintEnvPrintsTheRunningRacksExportsAndBadOptionsFail) {
    char dir[] = "/tmp/vexa-simtest-XXXXXX";
    ASSERT_TRUE(::mkdtemp(dir));
    const std::string ready = std::string(dir) + "/ready", out = std::string(dir) + "/out";
    Program none;
    none.pid = spawn({"--print-env", "--ready-file", ready}, out);
    EXPECT_EQ(exitStatus(none.pid, 5000), 1) << "no rack running";
    none.pid = -1;

    Program first, second;
    first.pid = spawn({"--ready-file", ready});
    ASSERT_TRUE(waitFor([&] { return exists(ready); }, 5000));
    Program print;
    print.pid = spawn({"--print-env", "--ready-file", ready}, out);
    EXPECT_EQ(exitStatus(print.pid, 5000), 0);
    print.pid = -1;
    EXPECT_TRUE(std::regex_match(readFile(out), std::regex("export VEXA_ETH_BROADCAST=127\\.\\d+\\.\\d+\\.1\n"
                                                           "export VEXA_HID=sim:\\S+\n")))
        << readFile(out);

    const std::string firstText = readFile(ready);
    second.pid = spawn({"--ready-file", ready});
    ASSERT_TRUE(waitFor([&] { return exists(ready) && readFile(ready) != firstText; }, 5000));
    ::kill(first.pid, SIGINT);
    EXPECT_EQ(exitStatus(first.pid, 5000), 0);
    first.pid = -1;
    EXPECT_TRUE(exists(ready)) << "the second rack's file stays";
    ::kill(second.pid, SIGTERM);
    EXPECT_EQ(exitStatus(second.pid, 5000), 0);
    second.pid = -1;
    EXPECT_FALSE(exists(ready));

    Program bad;
    bad.pid = spawn({"--no-such-option"});
    EXPECT_EQ(exitStatus(bad.pid, 5000), 2);
    bad.pid = -1;
    Program badSubs;
    badSubs.pid = spawn({"--subs", "zz"});
    EXPECT_EQ(exitStatus(badSubs.pid, 5000), 2);
    badSubs.pid = -1;
    std::remove(out.c_str());
    ::rmdir(dir);
}

TEST(Program, ConfigFileDescribesTheRack) {
    char dir[] = "/tmp/vexa-simtest-XXXXXX";
    ASSERT_TRUE(::mkdtemp(dir));
    std::string ini = std::string(dir) + "/rack.ini";
    std::string ready = std::string(dir) + "/ready";
    {
        std::ofstream f(ini);
        f << "[rack]\nlive=0\n[eth main]\nsubs=5508\nsilent=1\n[rs one]\nstation=3\nsubs=2808,4400\n"
             "[hid odd]\nname=odd\nmanufacturer=ACME\n";
    }
    Program p;
    p.pid = spawn({"--config", ini, "--ready-file", ready});
    ASSERT_GT(p.pid, 0);
    ASSERT_TRUE(waitFor([&] { return exists(ready); }, 5000));
    std::string text = readFile(ready);
    EXPECT_NE(text.find("sub modules 1:5508"), std::string::npos) << text;
    EXPECT_NE(text.find("station 3, sub modules 1:2808 (address 3), 2:4400 (address 4)"), std::string::npos) << text;
    EXPECT_NE(text.find("/odd (ACME VEXA-9020)"), std::string::npos) << text;
    std::smatch hub;
    ASSERT_TRUE(std::regex_search(text, hub, std::regex("export VEXA_ETH_BROADCAST=(\\S+)")));
    UdpClient udp;
    udp.send(hub[1], {0xA1, 0x15, 0x02, 0x00, 0x00, 0xFF});
    EXPECT_FALSE(udp.receive(300)) << "silent=1";
    ::kill(p.pid, SIGTERM);
    EXPECT_EQ(exitStatus(p.pid, 5000), 0);
    p.pid = -1;
    std::remove(ini.c_str());
    ::rmdir(dir);
}

}  // namespace
