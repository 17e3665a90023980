// Whole upgrades as a caller of FwLoader runs them: the shipped devdlls.ini and plug-ins of the
// build tree, the simulated rack's sub modules and RS-485 couplers behind them. Every upgrade
// ends byte-exact with 0, or with an error code and its text, never with a wrong image.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "RackUpgrade.h"
#include "sim/boot/BootLoaderSim.h"

using namespace vexa::sim;
using namespace boottest;

namespace {


class UpgradeTest : public ::testing::Test {
protected:
    void SetUp() override {
        useBuildAppDir();
        rack = std::make_unique<SimRack>(RackOptions{.liveData = false});
        vexa = pluginIndex("VEXA");
        modbus = pluginIndex("ModBus");
        ASSERT_GE(vexa, 0) << "the shipped devdlls.ini lists VEXA";
        ASSERT_GE(modbus, 0) << "the shipped devdlls.ini lists ModBus";
    }
    void TearDown() override {
        KB_CloseCommDevice(vexa);
        KB_CloseCommDevice(modbus);
        rack.reset();
        ::unsetenv("VEXA_BOOT_PACING");
    }
    void start() {
        ASSERT_EQ(rack->start(), kSimOk);
        useRack(*rack);
    }
    std::string file(const Bytes& payload, std::uint16_t type = kSubType) {
        return files.write("fw.upf", upgradeFile(payload, type));
    }
    // Polls the progress while the upgrade runs; it never passes 10000.
    UpgradeResult upgradeWatched(int device, const std::string& path) {
        std::atomic<bool> done{false};
        int highest = 0;
        std::thread watcher([&] {
            while (!done) {
                highest = std::max(highest, KB_GetUpdateFirwareProgress(device));
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        UpgradeResult r = runUpgrade(device, path);
        done = true;
        watcher.join();
        EXPECT_LE(highest, 10000);
        return r;
    }

    std::unique_ptr<SimRack> rack;
    TempFolder files;
    int vexa = -1, modbus = -1;
};

void expectComplete(const UpgradeResult& r) {
    EXPECT_EQ(r.ok, 1) << r.code << " " << r.text;
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.text, "");
    EXPECT_EQ(r.progress, 10000);
}

// ---- VexaBootPort ----

TEST_F(UpgradeTest, EthernetSubModuleIsSwitchedSearchedAndUpgradedByteExact) {
    SimCoupler* c = rack->addEthernet({.subs = {{1, subIdentity(kSubType)}, {2, subIdentity(0x2808)}}});
    start();
    VexaPortParams p = vexaEthernet(c->address());
    ASSERT_EQ(KB_OpenCommDevice(vexa, &p), 1);
    EXPECT_EQ(KB_SearchDevice(vexa), 0) << "no module runs its boot loader yet";
    EXPECT_EQ(KB_EnterBootMode(vexa), 1);
    EXPECT_TRUE(c->inBootLoader(1));
    EXPECT_TRUE(c->inBootLoader(2)) << "every module found is told";
    ASSERT_EQ(KB_SearchDevice(vexa), 2);

    BootDeviceInfo info{};
    ASSERT_EQ(KB_GetDeviceInfo(0, &info), 1);
    EXPECT_EQ(info.series, 0x56455841u) << "VEXA";
    EXPECT_EQ(info.model, kSubType);
    // An odd length exercises the padded pieces at register 1.
    const Bytes payload = fwtest::makePayload(12 * 1024 + 37);
    expectComplete(upgradeWatched(0, file(payload)));
    EXPECT_EQ(bootImage(*c, 1), payload);
    EXPECT_TRUE(bootImage(*c, 2).empty()) << "the other module got nothing";
}

TEST_F(UpgradeTest, UsbSubModuleUpgradesByteExactAndTheFilterPicksOneModule) {
    SimCoupler* c = rack->addHid({.subs = {{2, subIdentity(0x2808)}, {3, subIdentity(kSubType)}}});
    start();
    c->enterBootLoader(2);
    c->enterBootLoader(3);
    VexaPortParams p = vexaHid(3);
    ASSERT_EQ(KB_OpenCommDevice(vexa, &p), 1);
    ASSERT_EQ(KB_SearchDevice(vexa), 1) << "only the module at address 3";
    const Bytes payload = fwtest::makePayload(8 * 1024 + 5, 7);
    expectComplete(upgradeWatched(0, file(payload)));
    EXPECT_EQ(bootImage(*c, 3), payload);
}

TEST_F(UpgradeTest, Rs485SubModuleUpgradesByteExactThroughTheDeviceLibrary) {
    SimCoupler* c = rack->addSerial({.station = 1, .subs = {{1, subIdentity(kSubType)}}});
    start();
    c->enterBootLoader(1);
    const std::string port = rack->serialPath(0);
    VexaPortParams p = vexaSerial(port, 1, kFastBaud);
    ASSERT_EQ(KB_OpenCommDevice(vexa, &p), 1);
    ASSERT_EQ(KB_SearchDevice(vexa), 1);
    const Bytes payload = fwtest::makePayload(4 * 1024 + 3, 11);
    expectComplete(upgradeWatched(0, file(payload)));
    EXPECT_EQ(bootImage(*c, 1), payload);
}

TEST_F(UpgradeTest, ASerialCouplerWithoutListedModulesIsReleasedForTheNextSearch) {
    SimCoupler* c = rack->addSerial({.station = 1});
    start();
    const std::string port = rack->serialPath(0);
    VexaPortParams p = vexaSerial(port, 1, kFastBaud);
    ASSERT_EQ(KB_OpenCommDevice(vexa, &p), 1);
    EXPECT_EQ(KB_SearchDevice(vexa), 0);
    ASSERT_TRUE(c->addSub({1, subIdentity(kSubType)}));
    c->enterBootLoader(1);
    EXPECT_EQ(KB_SearchDevice(vexa), 1) << "the port of the first search was given back";
}

TEST_F(UpgradeTest, EnterBootModeGoesPastAModuleTheLibraryCannotSelect) {
    SimCoupler* c = rack->addEthernet({.subs = {{1, subIdentity(0x7777)}, {2, subIdentity(kSubType)}}});
    start();
    VexaPortParams p = vexaEthernet(c->address());
    ASSERT_EQ(KB_OpenCommDevice(vexa, &p), 1);
    EXPECT_EQ(KB_SearchDevice(vexa), 0);
    EXPECT_EQ(KB_EnterBootMode(vexa), 1);
    EXPECT_FALSE(c->inBootLoader(1)) << "a type the library does not know";
    EXPECT_TRUE(c->inBootLoader(2));
    EXPECT_EQ(KB_SearchDevice(vexa), 1);
}

// ---- MbBootPort ----

TEST_F(UpgradeTest, Rs485CouplerIsSwitchedSearchedAndUpgradedByteExact) {
    SimCoupler* c = rack->addSerial({.station = 3, .subs = {{1, subIdentity(kSubType)}}});
    start();
    const std::string port = rack->serialPath(0);
    MbPortParams p = mbSerial(port, 3, kFastBaud);
    ASSERT_EQ(KB_OpenCommDevice(modbus, &p), 1);
    ASSERT_EQ(KB_SearchDevice(modbus), 1) << "the station answers the probe";
    BootDeviceInfo info{};
    EXPECT_EQ(KB_GetDeviceInfo(0, &info), 0) << "its firmware runs: no boot loader answers";
    EXPECT_EQ(KB_EnterBootMode(modbus), 1);
    EXPECT_TRUE(c->inBootLoader(0));
    ASSERT_EQ(KB_SearchDevice(modbus), 1);
    ASSERT_EQ(KB_GetDeviceInfo(0, &info), 1);
    EXPECT_EQ(info.model, kCouplerType);

    const Bytes payload = fwtest::makePayload(6 * 1024 + 1, 5);
    expectComplete(upgradeWatched(0, file(payload, kCouplerType)));
    EXPECT_EQ(bootImage(*c, 0), payload);
}

TEST_F(UpgradeTest, Rs485CouplerUpgradesOverModbusAsciiToo) {
    SimCoupler* c = rack->addSerial({.station = 9});
    start();
    const std::string port = rack->serialPath(0);
    MbPortParams p = mbSerial(port, 9, kFastBaud);
    p.lineMode = 1;  // ASCII
    ASSERT_EQ(KB_OpenCommDevice(modbus, &p), 1);
    ASSERT_EQ(KB_SearchDevice(modbus), 1);
    EXPECT_EQ(KB_EnterBootMode(modbus), 1);
    ASSERT_EQ(KB_SearchDevice(modbus), 1);
    const Bytes payload = fwtest::makePayload(2 * 1024 + 3, 23);
    expectComplete(runUpgrade(0, file(payload, kCouplerType)));
    EXPECT_EQ(bootImage(*c, 0), payload);
}

// ---- what the boot loader refuses, and broken files ----

struct Rig {
    const char* name;
    bool modbus;
};
void PrintTo(const Rig& rig, std::ostream* os) { *os << rig.name; }

class UpgradeRigTest : public UpgradeTest, public ::testing::WithParamInterface<Rig> {
protected:
    // One device in its boot loader behind the rig's plug-in, searched as device 0.
    void SetUp() override {
        UpgradeTest::SetUp();
        if (GetParam().modbus) {
            coupler = rack->addSerial({.station = 2});
            position = 0;
            type = kCouplerType;
        } else {
            coupler = rack->addEthernet({.subs = {{4, subIdentity(kSubType)}}});
            position = 4;
            type = kSubType;
        }
        start();
        coupler->enterBootLoader(position);
        port = rack->serialPath(0);
        if (GetParam().modbus) {
            MbPortParams p = mbSerial(port, 2, kFastBaud);
            ASSERT_EQ(KB_OpenCommDevice(modbus, &p), 1);
            ASSERT_EQ(KB_SearchDevice(modbus), 1);
        } else {
            VexaPortParams p = vexaEthernet(coupler->address());
            ASSERT_EQ(KB_OpenCommDevice(vexa, &p), 1);
            ASSERT_EQ(KB_SearchDevice(vexa), 1);
        }
    }
    void loader(const std::function<void(BootLoaderSim&)>& fn) { ASSERT_TRUE(coupler->withBootLoader(position, fn)); }
    std::size_t framesHeard() {
        std::size_t n = 0;
        loader([&](BootLoaderSim& b) { n = b.requests().size(); });
        return n;
    }

    SimCoupler* coupler = nullptr;
    int position = 0;
    std::uint16_t type = 0;
    std::string port;
};

TEST_P(UpgradeRigTest, DeviceRefusalsAndProtocolFaultsEndWithTheirCodeAndText) {
    ::setenv("VEXA_BOOT_PACING", "0", 1);
    const Bytes payload = fwtest::makePayload(2048);
    struct Refusal {
        const char* what;
        std::function<void(BootLoaderSim&)> setUp;
        Bytes file;
        int code;
        std::string text;
    };
    const Refusal refusals[] = {
        {"a lower firmware version", {}, upgradeFile(payload, type, 0x00FF), KB_FW_DEVICE_ERROR,
         "升级固件版本低于设备固件版本（该固件文件不允许降级使用）"},
        {"another device type", {}, upgradeFile(payload, type + 1), KB_FW_DEVICE_ERROR, "设备类型及硬件版本不符合"},
        {"a grant of 0", [](BootLoaderSim& b) { b.misbehaviour().grant = 0; }, upgradeFile(payload, type), KB_FW_TYPE_MISMATCH,
         "固件类型不匹配"},
        {"an unknown device error", [](BootLoaderSim& b) { b.misbehaviour().startError = 0x1234; },
         upgradeFile(payload, type), KB_FW_DEVICE_ERROR, "错误码：0x1234"},
        {"a grant above the host's 4096", [](BootLoaderSim& b) { b.misbehaviour().grant = 8192; },
         upgradeFile(payload, type), KB_FW_PROTOCOL_ERROR, "设备回应数据包格式错误"},
        {"a block taken ahead of the one sent", [](BootLoaderSim& b) { b.misbehaviour().ackAhead = 1; },
         upgradeFile(payload, type), KB_FW_PROTOCOL_ERROR, "传输协议出错，当前传输块号：1,设备端需求块号：3"},
        {"replies with an unknown status", [](BootLoaderSim& b) { b.misbehaviour().replyStatus = 3; },
         upgradeFile(payload, type), KB_FW_PROTOCOL_ERROR, "设备回应数据包格式错误"},
        {"a boot loader that hears nothing", [](BootLoaderSim& b) { b.setFaultRates({.dropRequest = 1.0}); },
         upgradeFile(payload, type), KB_FW_LINK_ERROR, "设备回应超时,超过重试次数"},
    };
    for (const Refusal& r : refusals) {
        loader([&](BootLoaderSim& b) {
            b.misbehaviour() = {};
            b.setFaultRates({});
            if (r.setUp) r.setUp(b);
        });
        const UpgradeResult result = runUpgrade(0, files.write("fw.upf", r.file));
        EXPECT_EQ(result.ok, 0) << r.what;
        EXPECT_EQ(result.code, r.code) << r.what;
        EXPECT_EQ(result.text, r.text) << r.what;
        EXPECT_EQ(result.progress, 10000) << r.what;
    }
}

TEST_P(UpgradeRigTest, BrokenFilesAreRefusedBeforeAByteIsSent) {
    const Bytes payload = fwtest::makePayload(1024);
    fwtest::UpfLayout past;
    past.payload = payload;
    past.p = 0x7FFFFFF0;
    fwtest::UpfLayout longHeader;
    longHeader.payload = payload;
    longHeader.header = Bytes(129, 0x11);
    Bytes badDigest = upgradeFile(payload, type);
    badDigest.back() ^= 0x01;
    const struct {
        const char* what;
        Bytes file;
    } broken[] = {
        {"97 bytes", Bytes(97, 0x33)},
        {"offsets past its end", fwtest::buildUpf(past)},
        {"a header block of 129 bytes", fwtest::buildUpf(longHeader)},
        {"a wrong digest", badDigest},
    };
    for (const auto& b : broken) {
        const UpgradeResult r = runUpgrade(0, files.write("broken.upf", b.file));
        EXPECT_EQ(r.ok, 0) << b.what;
        EXPECT_EQ(r.code, KB_FW_FILE_ERROR) << b.what;
        EXPECT_EQ(r.text, "升级文件格式错误") << b.what;
    }
    const UpgradeResult missing = runUpgrade(0, files.path() + "/none.upf");
    EXPECT_EQ(missing.code, KB_FW_FILE_ERROR);
    EXPECT_EQ(missing.text, "打开升级文件失败");
    EXPECT_EQ(framesHeard(), 0u) << "nothing reached the boot loader";
}

TEST_P(UpgradeRigTest, InjectedFaultsEndByteExactOrWithAnErrorNeverWithAWrongImage) {
    ::setenv("VEXA_BOOT_PACING", "0", 1);
    const Bytes payload = fwtest::makePayload(3 * 1024 + 9, 3);
    const std::string path = files.write("fw.upf", upgradeFile(payload, type));
    struct Scenario {
        const char* what;
        std::function<void(BootLoaderSim&)> setUp;
    };
    const Scenario scenarios[] = {
        {"dropped requests", [](BootLoaderSim& b) { b.setFaultRates({.dropRequest = 0.2, .seed = 3}); }},
        {"dropped replies", [](BootLoaderSim& b) { b.setFaultRates({.dropReply = 0.2, .seed = 4}); }},
        {"corrupted replies", [](BootLoaderSim& b) { b.setFaultRates({.corrupt = 0.2, .seed = 5}); }},
        {"truncated replies", [](BootLoaderSim& b) { b.setFaultRates({.truncate = 0.2, .seed = 6}); }},
        {"duplicated replies", [](BootLoaderSim& b) { b.setFaultRates({.duplicate = 0.3, .seed = 7}); }},
        {"a late reply", [](BootLoaderSim& b) { b.pushFault(BootFault::Delay, 300); }},
        {"skipped blocks", [](BootLoaderSim& b) { b.misbehaviour().forgetBlocks = {2, 3}; }},
        {"a mix of all", [](BootLoaderSim& b) {
             b.setFaultRates({.dropRequest = 0.05, .dropReply = 0.05, .corrupt = 0.05, .truncate = 0.05,
                              .duplicate = 0.05, .delay = 0.05, .delayMs = 200, .seed = 9});
         }},
    };
    for (const Scenario& s : scenarios) {
        loader([&](BootLoaderSim& b) {
            b.misbehaviour() = {};
            b.setFaultRates({});
            s.setUp(b);
        });
        const UpgradeResult r = runUpgrade(0, path);
        const Bytes image = bootImage(*coupler, position);
        if (r.ok) {
            EXPECT_EQ(image, payload) << s.what << ": a reported success carries the whole image";
            EXPECT_EQ(r.code, 0) << s.what;
        } else {
            EXPECT_TRUE(r.code == KB_FW_DEVICE_ERROR || r.code == KB_FW_LINK_ERROR || r.code == KB_FW_PROTOCOL_ERROR) << s.what << ": " << r.code;
            EXPECT_FALSE(r.text.empty()) << s.what;
        }
        loader([](BootLoaderSim& b) { b.setFaultRates({}); });
    }
}

TEST_P(UpgradeRigTest, TransportFaultsBetweenHostAndCouplerNeverGiveAWrongImage) {
    ::setenv("VEXA_BOOT_PACING", "0", 1);
    const Bytes payload = fwtest::makePayload(2 * 1024 + 1, 13);
    const std::string path = files.write("fw.upf", upgradeFile(payload, type));
    // Corrupt, duplicate and stale replies: the transports must never take them for good ones.
    coupler->setFaultRates({.corrupt = 0.05, .duplicate = 0.05, .stale = 0.05, .seed = 21});
    const UpgradeResult r = runUpgrade(0, path);
    coupler->clearFaults();
    if (r.ok)
        EXPECT_EQ(bootImage(*coupler, position), payload);
    else
        EXPECT_TRUE(r.code == KB_FW_DEVICE_ERROR || r.code == KB_FW_LINK_ERROR || r.code == KB_FW_PROTOCOL_ERROR) << r.code << " " << r.text;
    // And afterwards the same device upgrades cleanly.
    expectComplete(runUpgrade(0, path));
    EXPECT_EQ(bootImage(*coupler, position), payload);
}

INSTANTIATE_TEST_SUITE_P(Plugins, UpgradeRigTest,
                         ::testing::Values(Rig{"VexaBootPortEthernet", false}, Rig{"MbBootPortRs485", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
