// Fault-injection soak: thousands of property submit/read cycles through the public exports
// against the simulated rack, every reply at risk of being dropped, delayed (also past the
// time-out), corrupted, truncated, duplicated or preceded by a stale one. No 0 result may be
// contradicted by the device, no written value may come out changed, and the process must
// hold no more descriptors and no more memory at the end than after the warm-up.
//
// Label `soak`: not in the default run (ctest -L soak). VEXA_SOAK_SCALE multiplies the cycle
// counts (default 1, a few minutes on the CI machine).
//
// Repeated upgrades have their own soak beside this one (UpgradeSoakTest.cpp).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <memory>
#include <string>

#include "FaultPlan.h"
#include "ProcessProbe.h"
#include "PropertyCycle.h"
#include "VexaSdk.h"
#include "sim/SimRack.h"

namespace vexa::soak {
namespace {

int scaled(int cycles) {
    const char* s = std::getenv("VEXA_SOAK_SCALE");
    double f = s ? std::atof(s) : 1.0;
    return f > 0 ? static_cast<int>(cycles * f) : cycles;
}

// Resident memory may move by allocator noise, never by a per-cycle amount.
constexpr long kRssSlackKiB = 1024;

struct SoakRun {
    const char* name;
    int cycles;
    std::vector<SoakItem> items;
    int readRequests;  // requests one KO_ReadMainProperty makes
    FaultMix mix;
};

class Soak : public ::testing::Test {
protected:
    void SetUp() override { rack = std::make_unique<sim::SimRack>(sim::RackOptions{.liveData = false}); }

    void start() {
        ASSERT_EQ(rack->start(), sim::kSimOk);
        setenv("VEXA_ETH_BROADCAST", rack->hubAddress().c_str(), 1);
        setenv("VEXA_HID", ("sim:" + rack->hidFolder()).c_str(), 1);
    }

    // Runs the cycles, checks the ledger and the process's resources, and prints the figures.
    void soak(KO_HANDLE h, sim::SimCoupler& c, const SoakRun& run) {
        ASSERT_NE(h, nullptr);
        FaultPlan faults(c, run.mix, 0x50A4u + static_cast<std::uint32_t>(c.index()));
        PropertyCycle cycle(h, c, run.items, run.readRequests, faults, 0xC0FFEEu);
        cycle.seedDevice();
        const int total = scaled(run.cycles);
        const int warmUp = total / 10;
        int fdsWarm = -1;
        long rssWarm = -1;
        for (int i = 0; i < total; ++i) {
            if (i == warmUp) {
                fdsWarm = openDescriptors();
                rssWarm = residentKiB();
            }
            cycle.run();
        }
        const int fdsEnd = settledDescriptors(fdsWarm);
        const long rssEnd = residentKiB();
        KO_UnOperateDev(h);
        const Ledger& l = cycle.ledger();
        std::printf("soak %-12s cycles %zu  faults %zu (drop %zu delay %zu corrupt %zu truncate %zu duplicate %zu "
                    "stale %zu)  submits ok/failed %zu/%zu  reads ok/failed %zu/%zu  false successes %zu  "
                    "changed values %zu  fds %d->%d  rss %ld->%ld KiB\n",
                    run.name, l.cycles, faults.injected(), faults.injected(sim::FaultKind::Drop),
                    faults.injected(sim::FaultKind::Delay), faults.injected(sim::FaultKind::Corrupt),
                    faults.injected(sim::FaultKind::Truncate), faults.injected(sim::FaultKind::Duplicate),
                    faults.injected(sim::FaultKind::Stale), l.submitsOk, l.submitsFailed, l.readsOk, l.readsFailed,
                    l.falseSuccesses, l.changedValues, fdsWarm, fdsEnd, rssWarm, rssEnd);
        std::string notes;
        for (const auto& n : l.notes) notes += "\n  " + n;
        EXPECT_EQ(l.falseSuccesses, 0u) << notes;
        EXPECT_EQ(l.changedValues, 0u) << notes;
        EXPECT_GT(faults.injected(), static_cast<std::size_t>(total / 20)) << "the faults never reached the wire";
        EXPECT_GT(l.readsOk, l.cycles / 2) << "faults are meant to be the exception";
        EXPECT_LE(fdsEnd, fdsWarm) << "descriptors leaked:\n" << describeDescriptors();
        EXPECT_LE(rssEnd - rssWarm, kRssSlackKiB) << "memory grew with the cycles";
    }

    KO_HANDLE operateEth(sim::SimCoupler& c) {
        KO_EthSearchByIP(c.address().c_str());
        char ip[16], mac[18];
        int hard, type, mode, flags, extra;
        if (KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra) != RC_OK) return nullptr;
        return KO_EthSetOperateDev(ip, mac, type, mode);
    }

    KO_HANDLE operateSerial(sim::SimCoupler& c, int framing) {
        std::string port = rack->serialPath(c.line());
        if (KO_RSSearchByID(c.station(), framing, port.c_str(), 115200, 8, 0, 0, 1, 1, 0, 0, 1000) != RC_OK)
            return nullptr;
        char addr;
        short manufacturer, type, mode, hard, soft;
        int serial;
        if (KO_RSGetSearch(&addr, &manufacturer, &type, &mode, &hard, &soft, &serial) != RC_OK) return nullptr;
        return KO_RSSetOperateDev(static_cast<unsigned char>(addr), static_cast<unsigned short>(type),
                                  static_cast<unsigned short>(mode), framing, port.c_str(), 115200, 8, 0, 0, 1, 1, 0,
                                  0, 1000);
    }

    KO_HANDLE operateHid(sim::SimCoupler& c) {
        KO_HIDSearchAll();
        char path[KO_HID_PATH_SIZE];
        short manufacturer, type, mode, hard, soft;
        int serial;
        KO_HANDLE h = nullptr;
        while (KO_HIDGetSearchDev(path, &manufacturer, &type, &mode, &hard, &soft, &serial) == RC_OK)
            if (c.address() == path) h = KO_HIDSetOperateDev(path, static_cast<unsigned short>(type), 0);
        return h;
    }

    std::unique_ptr<sim::SimRack> rack;
};

TEST_F(Soak, EthernetCouplerUnderFaults) {
    auto* c = rack->addEthernet({});
    start();
    // Delays up to twice the 100 ms reply time-out.
    soak(operateEth(*c), *c,
         {"ethernet", 1500, {{"MAIN_NAME", 0, 0, Encoding::Text16}, {"MAIN_DNS", 0, 44, Encoding::IPv4}}, 2,
          {.faultRate = 0.2, .maxDelayMs = 200}});
}

// The serial line answers at the pace of the line, and a lost reply costs the 1 s read
// time-out: fewer cycles, fewer drops.
const SoakRun kSerialRun = {"serial", 400,
                        {{"MAIN_NAME", 0, 0, Encoding::Text16}, {"MAIN_BYTE_TO", 0, 34, Encoding::Be16}}, 1,
                        {.faultRate = 0.15, .maxDelayMs = 1300, .dropShare = 0.3}};

TEST_F(Soak, SerialRtuCouplerUnderFaults) {
    auto* c = rack->addSerial({});
    start();
    SoakRun run = kSerialRun;
    run.name = "serial-rtu";
    soak(operateSerial(*c, 0), *c, run);
}

TEST_F(Soak, SerialAsciiCouplerUnderFaults) {
    auto* c = rack->addSerial({});
    start();
    SoakRun run = kSerialRun;
    run.name = "serial-ascii";
    soak(operateSerial(*c, 1), *c, run);
}

TEST_F(Soak, UsbCouplerUnderFaults) {
    setenv("VEXA_TEST_HID_TIMEOUT_MS", "150", 1);
    auto* c = rack->addHid({});
    start();
    soak(operateHid(*c), *c,
         {"usb", 1500, {{"MAIN_CANOPEN_ADDR", 2, 0, Encoding::Byte}, {"MAIN_USER_CANBAUD", 2, 2, Encoding::Be32}}, 1,
          {.faultRate = 0.2, .maxDelayMs = 300}});
    unsetenv("VEXA_TEST_HID_TIMEOUT_MS");
}

// A program that searches again and again (a search dialog left open) holds no more
// descriptors for it. Memory is not checked here: every search result is kept on purpose, so
// that a caller can operate any result it was handed.
TEST_F(Soak, RepeatedSearchesHoldNoMoreDescriptors) {
    auto* eth = rack->addEthernet({});
    auto* hid = rack->addHid({});
    auto* rs = rack->addSerial({});
    start();
    const std::string port = rack->serialPath(rs->line());
    auto searchAll = [&](int rounds, int serialEvery) {
        for (int i = 0; i < rounds; ++i) {
            char ip[16], mac[18], path[KO_HID_PATH_SIZE], addr;
            int hard, type, mode, flags, extra, serial;
            short manufacturer, t, m, hv, sv;
            KO_EthSearchByIP(eth->address().c_str());
            KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra);
            KO_HIDSearchAll();
            while (KO_HIDGetSearchDev(path, &manufacturer, &t, &m, &hv, &sv, &serial) == RC_OK) {
            }
            if (i % serialEvery == 0 &&
                KO_RSSearchByID(rs->station(), 0, port.c_str(), 115200, 8, 0, 0, 1, 1, 0, 0, 1000) == RC_OK)
                KO_RSGetSearch(&addr, &manufacturer, &t, &m, &hv, &sv, &serial);
        }
    };
    searchAll(scaled(100), 10);
    const int fdsWarm = openDescriptors();
    const int rounds = scaled(2000);
    searchAll(rounds, 10);
    const int fdsEnd = settledDescriptors(fdsWarm);
    std::printf("soak searches   rounds %d  fds %d->%d\n", rounds, fdsWarm, fdsEnd);
    EXPECT_LE(fdsEnd, fdsWarm) << "descriptors leaked:\n" << describeDescriptors();
    // Operating still finds its record.
    KO_HANDLE h = operateHid(*hid);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(KO_ReadMainProperty(h), RC_OK);
    KO_UnOperateDev(h);
}

}  // namespace
}  // namespace vexa::soak
