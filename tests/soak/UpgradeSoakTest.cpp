// Upgrade soak: upgrade after upgrade through FwLoader and the shipped plug-ins against the
// simulated rack, each one at risk of faults in the boot loader (requests or replies dropped,
// replies corrupted, truncated, duplicated, late) and in the transport between host and coupler
// (corrupt, duplicated, stale, dropped, late replies). A reported success must leave exactly the
// file's payload in the device; a failure must carry an error code and its text; the device must
// take a clean upgrade after any failure; and the process must hold no more descriptors and no
// more memory at the end than after the warm-up, the plug-ins opened and closed again and again.
//
// Label `soak`: not in the default run. VEXA_SOAK_SCALE multiplies the cycle counts.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <random>

#include "ProcessProbe.h"
#include "RackUpgrade.h"
#include "sim/boot/BootLoaderSim.h"

using namespace vexa::sim;
using namespace boottest;

namespace {

constexpr long kRssSlackKiB = 1024;
// A bound on each rig's wall time, whatever the scale: the loop stops early and says so.
constexpr auto kRigBudget = std::chrono::minutes(4);

int scaled(int cycles) {
    const char* s = std::getenv("VEXA_SOAK_SCALE");
    const double f = s ? std::atof(s) : 1.0;
    return f > 0 ? static_cast<int>(cycles * f) : cycles;
}

enum class Plugin { Vexa, ModBus };
enum class Wire { Ethernet, Usb, Rs485 };

struct Rig {
    const char* name;
    Plugin plugin;
    Wire wire;
    int cycles;
};
void PrintTo(const Rig& rig, std::ostream* os) { *os << rig.name; }

struct UpgradeLedger {
    int cycles = 0, ok = 0, failed = 0, cleanRetries = 0;
    int falseSuccesses = 0;  // 0 reported, yet the device holds something else
    int unexplained = 0;     // a failure without an error code or text
    int stuck = 0;           // a clean upgrade after a failure did not complete
    int reopened = 0;
    std::size_t bootFaults = 0;
    int transportCycles = 0;  // cycles with transport faults switched on
    std::string notes;
};

class UpgradeSoak : public ::testing::TestWithParam<Rig> {
protected:
    void SetUp() override {
        ::setenv("VEXA_BOOT_PACING", "0", 1);
        // A lost report costs the reply time twice (the wait, then the wait for the owed reply):
        // a shorter one keeps the cycles many without changing what is checked.
        ::setenv("VEXA_TEST_HID_TIMEOUT_MS", "150", 1);
        useBuildAppDir();
        rack = std::make_unique<SimRack>(RackOptions{.liveData = false});
        const Rig& rig = GetParam();
        plugin = pluginIndex(rig.plugin == Plugin::Vexa ? "VEXA" : "ModBus");
        ASSERT_GE(plugin, 0);
        switch (rig.wire) {
            case Wire::Ethernet:
                coupler = rack->addEthernet({.subs = {{4, subIdentity(kSubType)}}});
                position = 4;
                break;
            case Wire::Usb:
                coupler = rack->addHid({.subs = {{3, subIdentity(kSubType)}}});
                position = 3;
                break;
            case Wire::Rs485:
                coupler = rack->addSerial({.station = 2});
                position = 0;
                break;
        }
        type = position == 0 ? kCouplerType : kSubType;
        ASSERT_EQ(rack->start(), kSimOk);
        useRack(*rack);
        ASSERT_TRUE(coupler->enterBootLoader(position));
        port = rack->serialPath(0);
    }
    void TearDown() override {
        KB_CloseCommDevice(plugin);
        rack.reset();
        ::unsetenv("VEXA_BOOT_PACING");
        ::unsetenv("VEXA_TEST_HID_TIMEOUT_MS");
    }

    // Opens the plug-in on the rig's device and finds its boot loader as device 0.
    bool openAndSearch() {
        const Rig& rig = GetParam();
        int opened = 0;
        if (rig.plugin == Plugin::ModBus) {
            MbPortParams p = mbSerial(port, 2, kFastBaud);
            opened = KB_OpenCommDevice(plugin, &p);
        } else {
            VexaPortParams p = rig.wire == Wire::Usb ? vexaHid(3) : vexaEthernet(coupler->address());
            opened = KB_OpenCommDevice(plugin, &p);
        }
        return opened == 1 && KB_SearchDevice(plugin) == 1;
    }

    void loader(const std::function<void(BootLoaderSim&)>& fn) { ASSERT_TRUE(coupler->withBootLoader(position, fn)); }

    // Random faults for one upgrade: in the boot loader, and now and then in the transport.
    void armFaults(std::mt19937& rng, UpgradeLedger& l) {
        // Mostly mild faults, which the retries ride out; now and then harsh ones, which end
        // upgrades with an error and so exercise the way back to a clean upgrade.
        const bool harsh = rng() % 6 == 0;
        std::uniform_real_distribution<double> rate(0.0, harsh ? 0.3 : 0.06);
        BootFaultRates boot;
        if (harsh || rng() % 4 != 0) {
            boot = {.dropRequest = rate(rng), .dropReply = rate(rng), .corrupt = rate(rng), .truncate = rate(rng),
                    .duplicate = rate(rng), .delay = rate(rng) / 2,
                    .delayMs = static_cast<int>(50 + rng() % 400), .seed = static_cast<std::uint32_t>(rng())};
        }
        loader([&](BootLoaderSim& b) { b.setFaultRates(boot); });
        if (rng() % 5 == 0) {
            ++l.transportCycles;
            coupler->setFaultRates({.drop = rate(rng) / 3, .delay = rate(rng) / 3, .corrupt = rate(rng),
                                    .duplicate = rate(rng), .stale = rate(rng), .delayMs = 30,
                                    .seed = static_cast<std::uint32_t>(rng())});
        }
    }

    // Also empties the boot loader's request log: the simulator's memory is not the process's
    // to account for.
    void clearFaults() {
        coupler->clearFaults();
        loader([](BootLoaderSim& b) {
            b.setFaultRates({});
            b.clearLogs();
        });
    }

    std::size_t bootFaults() {
        std::size_t n = 0;
        loader([&](BootLoaderSim& b) { n = b.faultsInjected(); });
        return n;
    }

    void note(UpgradeLedger& l, const std::string& what) {
        if (l.notes.size() < 2000) l.notes += "\n  " + what;
    }

    // One upgrade of a fresh payload under faults; after a failure, one clean upgrade.
    void cycle(std::mt19937& rng, UpgradeLedger& l) {
        ++l.cycles;
        const fwtest::Bytes payload = fwtest::makePayload(1 + rng() % 6000, static_cast<std::uint8_t>(rng()));
        const std::string path = files.write("soak.upf", upgradeFile(payload, type));
        armFaults(rng, l);
        const UpgradeResult r = runUpgrade(0, path);
        clearFaults();
        const fwtest::Bytes image = bootImage(*coupler, position);
        if (r.ok) {
            ++l.ok;
            if (r.code != 0 || image != payload) {
                ++l.falseSuccesses;
                note(l, "cycle " + std::to_string(l.cycles) + ": success with code " + std::to_string(r.code) +
                            ", image " + std::to_string(image.size()) + " of " + std::to_string(payload.size()));
            }
            return;
        }
        ++l.failed;
        if ((r.code != -2 && r.code != -3 && r.code != -4) || r.text.empty()) {
            ++l.unexplained;
            note(l, "cycle " + std::to_string(l.cycles) + ": failure " + std::to_string(r.code) + " '" + r.text + "'");
        }
        ++l.cleanRetries;
        const UpgradeResult retry = runUpgrade(0, path);
        if (!retry.ok || bootImage(*coupler, position) != payload) {
            ++l.stuck;
            note(l, "cycle " + std::to_string(l.cycles) + ": clean retry gave " + std::to_string(retry.code) + " '" +
                        retry.text + "'");
        }
    }

    std::unique_ptr<SimRack> rack;
    TempFolder files;
    SimCoupler* coupler = nullptr;
    int plugin = -1;
    int position = 0;
    std::uint16_t type = 0;
    std::string port;
};

TEST_P(UpgradeSoak, RepeatedUpgradesUnderFaultsNeverReportAWrongImage) {
    const Rig& rig = GetParam();
    ASSERT_TRUE(openAndSearch());
    std::mt19937 rng(0x5EED + static_cast<unsigned>(rig.wire));
    UpgradeLedger l;
    const int total = scaled(rig.cycles);
    const int warmUp = std::max(1, total / 10);
    constexpr int kReopenEvery = 10;
    int fdsWarm = -1;
    long rssWarm = -1;
    const auto deadline = std::chrono::steady_clock::now() + kRigBudget;
    for (int i = 0; i < total && std::chrono::steady_clock::now() < deadline; ++i) {
        if (i == warmUp) {
            fdsWarm = vexa::soak::openDescriptors();
            rssWarm = vexa::soak::residentKiB();
        }
        // The plug-in is closed and opened again now and then, as a workbench does between
        // devices: nothing it opened may stay behind.
        if (i > 0 && i % kReopenEvery == 0) {
            KB_CloseCommDevice(plugin);
            ++l.reopened;
            ASSERT_TRUE(openAndSearch()) << "cycle " << i << ": the boot loader is no longer found";
        }
        cycle(rng, l);
    }
    l.bootFaults = bootFaults();
    KB_CloseCommDevice(plugin);
    const int fdsEnd = vexa::soak::settledDescriptors(fdsWarm);
    const long rssEnd = vexa::soak::residentKiB();
    std::printf("soak upgrade %-14s cycles %d of %d  ok %d  failed %d (clean retries %d)  boot-loader faults %zu  "
                "transport-fault cycles %d  reopened %d  false successes %d  unexplained failures %d  stuck %d  "
                "fds %d->%d  rss %ld->%ld KiB\n",
                rig.name, l.cycles, total, l.ok, l.failed, l.cleanRetries, l.bootFaults, l.transportCycles,
                l.reopened, l.falseSuccesses, l.unexplained, l.stuck, fdsWarm, fdsEnd, rssWarm, rssEnd);
    EXPECT_EQ(l.falseSuccesses, 0) << l.notes;
    EXPECT_EQ(l.unexplained, 0) << l.notes;
    EXPECT_EQ(l.stuck, 0) << l.notes;
    // An upgrade of a few KiB is a handful of frames, so a fault in every fourth is plenty.
    EXPECT_GT(l.bootFaults, static_cast<std::size_t>(l.cycles / 4)) << "the faults never reached the boot loader";
    EXPECT_GT(l.ok, l.cycles / 3) << "faults are meant to be the exception";
    EXPECT_LE(fdsEnd, fdsWarm) << "descriptors leaked:\n" << vexa::soak::describeDescriptors();
    EXPECT_LE(rssEnd - rssWarm, kRssSlackKiB) << "memory grew with the upgrades";
}

INSTANTIATE_TEST_SUITE_P(Plugins, UpgradeSoak,
                         ::testing::Values(Rig{"VexaEthernet", Plugin::Vexa, Wire::Ethernet, 150},
                                           Rig{"VexaUsb", Plugin::Vexa, Wire::Usb, 150},
                                           Rig{"ModBusRs485", Plugin::ModBus, Wire::Rs485, 40}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
