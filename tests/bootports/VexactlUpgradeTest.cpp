// vexactl upgrade and boot-info as a user runs them, against the simulated rack: a sub module
// through VexaBootPort, an RS-485 coupler through MbBootPort, the final code and text, and the
// progress bar on a terminal.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "RackUpgrade.h"

extern char** environ;

using namespace vexa::sim;
using namespace boottest;

namespace {

struct CliRun {
    int status = -1;
    std::string out;  // stdout and stderr
};

// `env` sets the locale variables for this run only (e.g. "LANG=zh_CN.UTF-8"); the others are
// cleared, so that the caller's environment does not choose the language.
CliRun vexactl(const std::string& args, const std::string& env = "LANG=C.UTF-8") {
    CliRun r;
    const std::string cmd = "env -u LC_ALL -u LC_MESSAGES -u LANG " + env + " " + std::string(VEXACTL_PATH) + " " +
                            args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) r.out += buf;
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

// Runs vexactl with its standard error on a terminal; returns what the terminal showed.
std::string vexactlOnTerminal(const std::vector<std::string>& args, int& status) {
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, slave, STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, master);
    std::vector<std::string> all = {VEXACTL_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, VEXACTL_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(slave);
    std::string shown;
    if (spawned == 0) {
        // Bounded: the upgrade is small, and the child is waited for below in any case.
        for (int i = 0; i < 600; ++i) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) {
                if (::waitpid(pid, &status, WNOHANG) == pid) {
                    pid = -1;
                    break;
                }
                continue;
            }
            char buf[256];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) break;
            shown.append(buf, static_cast<std::size_t>(n));
        }
        if (pid > 0) ::waitpid(pid, &status, 0);
        status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ::close(master);
    return shown;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class VexactlUpgradeTest : public ::testing::Test {
protected:
    void SetUp() override { useBuildAppDir(); }
    void start() {
        ASSERT_EQ(rack.start(), kSimOk);
        useRack(rack);
    }
    SimRack rack{RackOptions{.liveData = false}};
    TempFolder files;
};

TEST_F(VexactlUpgradeTest, UpgradesASubModuleThroughTheDeviceLibrary) {
    SimCoupler* c = rack.addEthernet({.subs = {{1, subIdentity(0x4017)}}});
    start();
    const Bytes payload = fwtest::makePayload(5 * 1024 + 1, 17);
    const std::string file = files.write("sub.upf", upgradeFile(payload, 0x4017));
    const std::string target = "eth:" + c->address();

    CliRun r = vexactl("upgrade --plugin VEXA " + target + " " + file);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "no device runs its boot loader")) << r.out;

    r = vexactl("upgrade --plugin VEXA " + target + " --enter-boot " + file);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "model=0x00004017")) << r.out;
    EXPECT_TRUE(contains(r.out, "result: 0 upgrade complete")) << r.out;
    EXPECT_FALSE(c->inBootLoader(1)) << "reset into its new firmware";
    EXPECT_EQ(bootImage(*c, 1), payload);

    // Switched only to be shown, and given back.
    r = vexactl("boot-info --plugin VEXA " + target + " --enter-boot --json");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(c->inBootLoader(1)) << r.out;
    EXPECT_TRUE(contains(r.out, "\"series\":\"VEXA\"")) << r.out;
    EXPECT_TRUE(contains(r.out, "\"boot_version\":\"0x0103\"")) << r.out;
    EXPECT_TRUE(contains(r.out, "\"ok\":true")) << r.out;
}

TEST_F(VexactlUpgradeTest, UpgradesAnRs485CouplerThroughModbusAndShowsTheBar) {
    SimCoupler* c = rack.addSerial({.station = 3});
    start();
    const Bytes payload = fwtest::makePayload(3 * 1024, 19);
    const std::string file = files.write("coupler.upf", upgradeFile(payload, 0x9010));
    int status = -1;
    const std::string shown = vexactlOnTerminal(
        {"upgrade", "--plugin", "ModBus", "--port", rack.serialPath(0), "--baud", "115200", "--station", "3",
         "--enter-boot", file},
        status);
    EXPECT_EQ(status, 0) << shown;
    EXPECT_TRUE(contains(shown, "] 100.0%")) << "the bar ends full on a terminal: " << shown;
    EXPECT_FALSE(contains(shown, "]   0.0%") && shown.find("] 100.0%") < shown.find("]   0.0%"))
        << "never full before the transfer began: " << shown;
    EXPECT_FALSE(c->inBootLoader(0)) << "reset into its new firmware";
    EXPECT_EQ(bootImage(*c, 0), payload);

    c->enterBootLoader(0);
    const CliRun info = vexactl("boot-info --plugin ModBus --port " + rack.serialPath(0) +
                                " --baud 115200 --station 3");
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_TRUE(contains(info.out, "model=0x00009010")) << info.out;
    EXPECT_TRUE(c->inBootLoader(0)) << "boot-info alone switches nothing back it did not switch";
}

TEST_F(VexactlUpgradeTest, ABrokenFileEndsWithItsCodeAndText) {
    SimCoupler* c = rack.addEthernet({.subs = {{2, subIdentity(0x4017)}}});
    start();
    c->enterBootLoader(2);
    Bytes broken = upgradeFile(fwtest::makePayload(1024), 0x4017);
    broken[40] ^= 0x01;
    const CliRun r =
        vexactl("upgrade --plugin VEXA eth:" + c->address() + " " + files.write("broken.upf", broken));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "result: -7 the upgrade file is malformed")) << r.out;
    EXPECT_TRUE(bootImage(*c, 2).empty());
}

// The file is checked before any device is touched, and --sub switches only the module named.
TEST_F(VexactlUpgradeTest, AMissingFileTouchesNoDeviceAndSubSwitchesOnlyItsModule) {
    SimCoupler* c = rack.addEthernet({.subs = {{1, subIdentity(0x4017)}, {2, subIdentity(0x4017)}}});
    start();
    const std::string target = "eth:" + c->address();
    CliRun r = vexactl("upgrade --plugin VEXA " + target + " --enter-boot " + files.path() + "/missing.upf");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "nothing was sent")) << r.out;
    EXPECT_FALSE(c->inBootLoader(1));
    EXPECT_FALSE(c->inBootLoader(2));

    const Bytes payload = fwtest::makePayload(1024, 5);
    const std::string file = files.write("one.upf", upgradeFile(payload, 0x4017));
    r = vexactl("upgrade --plugin VEXA " + target + " --sub 2 --enter-boot " + file);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(c->inBootLoader(1)) << "the other module stays in its application";
    EXPECT_EQ(bootImage(*c, 2), payload);
}

// The library's texts: English, Chinese under a Chinese locale; LC_ALL before LC_MESSAGES
// before LANG.
TEST_F(VexactlUpgradeTest, LibraryTextsFollowTheLocale) {
    start();
    const std::string file = files.write("short.upf", Bytes(40, 'x'));
    const struct {
        const char* env;
        const char* text;
    } cases[] = {
        {"LANG=C.UTF-8", "result: -7 the upgrade file is malformed"},
        {"LANG=zh_CN.UTF-8", "result: -7 升级文件格式错误"},
        {"LANG=zh_CN.UTF-8 LC_MESSAGES=en_US.UTF-8", "result: -7 the upgrade file is malformed"},
        {"LANG=en_US.UTF-8 LC_ALL=zh_TW.UTF-8", "result: -7 升级文件格式错误"},
        {"LANG=zh_CN.UTF-8 LC_ALL=", "result: -7 升级文件格式错误"},  // an empty one does not count
    };
    for (const auto& c : cases) {
        const CliRun r = vexactl("upgrade --plugin VEXA eth:127.0.0.1 " + file, c.env);
        EXPECT_EQ(r.status, 1) << c.env << "\n" << r.out;
        EXPECT_TRUE(contains(r.out, c.text)) << c.env << "\n" << r.out;
    }
}

// Whatever vexactl switched goes back to its application when the upgrade fails: the modules
// answer as themselves again, and the coupler's requests work.
TEST_F(VexactlUpgradeTest, AFailedUpgradeLeavesEveryModuleInItsApplication) {
    SimCoupler* eth = rack.addEthernet({.subs = {{1, subIdentity(0x4017)}, {2, subIdentity(0x4017)}}});
    SimCoupler* usb = rack.addHid({.subs = {{1, subIdentity(0x4017)}, {3, subIdentity(0x2808)}}});
    start();
    const Bytes payload = fwtest::makePayload(3 * 1024 + 5, 23);
    // The header announces another image: the device's check after the last block fails.
    Bytes corrupt = upgradeFile(payload, 0x4017);
    {
        Bytes other = payload;
        other[100] ^= 0xFF;
        BootHeader header = BootHeader::forImage(other);
        header.deviceType = 0x4017;
        fwtest::UpfLayout layout;
        layout.payload = payload;
        layout.header = header.encode(10);
        corrupt = fwtest::buildUpf(layout);
    }
    const std::string corruptFile = files.write("corrupt.upf", corrupt);
    const std::string otherType = files.write("other.upf", upgradeFile(payload, 0x2808));
    const struct {
        const char* name;
        SimCoupler* coupler;
        std::string target;
        std::string options;
        std::string file;
        const char* text;
    } cases[] = {
        {"Ethernet, every module, corrupt image", eth, "eth:" + eth->address(), "", corruptFile,
         "the firmware check failed"},
        {"Ethernet, one module, wrong type", eth, "eth:" + eth->address(), "--sub 2", otherType,
         "the device type or hardware version does not match"},
        {"USB, every module, corrupt image", usb, "hid", "", corruptFile, "the firmware check failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.coupler->clearLog();
        const CliRun r = vexactl("upgrade --plugin VEXA " + c.target + " " + c.options + " --enter-boot " + c.file);
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_TRUE(contains(r.out, c.text)) << r.out;
        for (int p = 1; p <= 3; ++p) EXPECT_FALSE(c.coupler->inBootLoader(p)) << "module " << p << "\n" << r.out;
        const CliRun subs = vexactl("subs " + c.target);
        EXPECT_EQ(subs.status, 0) << subs.out;
        EXPECT_FALSE(contains(subs.out, "9999")) << subs.out;
        const CliRun props = vexactl("props " + c.target);
        EXPECT_EQ(props.status, 0) << props.out;
    }
    // The USB coupler was told the upgrade started and ended, as the workbench tells it.
    int starts = 0, ends = 0;
    for (const Bytes& q : usb->requests()) {
        for (std::size_t i = 0; i + 2 < q.size(); ++i)
            if (q[i] == 0x7E && q[i + 1] == 0x05) {
                starts += q[i + 2] == 0x83;
                ends += q[i + 2] == 0x84;
                break;
            }
    }
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(ends, 1);
}

// An RS-485 coupler switched by the ModBus plug-in comes back after a failed upgrade; one that
// sits in its boot loader is named as such by props, and boot-info --reset brings it back.
TEST_F(VexactlUpgradeTest, ACouplerInItsBootLoaderIsNamedAndComesBack) {
    SimCoupler* c = rack.addSerial({.station = 3});
    start();
    const std::string port = rack.serialPath(0);
    const std::string modbus = "--plugin ModBus --port " + port + " --baud 115200 --station 3";
    const std::string target = "rs:" + port + ":3 --baud 115200";
    const std::string wrong = files.write("sub.upf", upgradeFile(fwtest::makePayload(1024, 3), 0x4017));

    CliRun r = vexactl("upgrade " + modbus + " --enter-boot " + wrong);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "does not match")) << r.out;
    EXPECT_FALSE(c->inBootLoader(0)) << r.out;
    r = vexactl("props " + target);
    EXPECT_EQ(r.status, 0) << r.out;

    ASSERT_TRUE(c->enterBootLoader(0));
    const auto begun = std::chrono::steady_clock::now();
    r = vexactl("props " + target);
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(10));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "runs its boot loader")) << r.out;
    EXPECT_TRUE(contains(r.out, "vexactl boot-info --plugin ModBus --port " + port)) << r.out;

    r = vexactl("boot-info " + modbus + " --reset");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(c->inBootLoader(0)) << r.out;
    r = vexactl("props " + target);
    EXPECT_EQ(r.status, 0) << r.out;
}

TEST_F(VexactlUpgradeTest, UsageErrorsExitWithTwo) {
    start();
    const char* const wrong[] = {
        "upgrade fw.upf",                                  // no plug-in
        "upgrade --plugin Other eth:127.0.0.1 fw.upf",     // not a plug-in of ours
        "upgrade --plugin VEXA fw.upf",                    // no target
        "upgrade --plugin ModBus fw.upf",                  // no port
        "upgrade --plugin VEXA eth:not-an-address fw.upf",
        "boot-info --plugin VEXA eth:127.0.0.1 extra",
    };
    for (const char* args : wrong) {
        const CliRun r = vexactl(args);
        EXPECT_EQ(r.status, 2) << args << "\n" << r.out;
    }
}

}  // namespace
