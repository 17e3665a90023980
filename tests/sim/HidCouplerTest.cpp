// USB HID couplers on the simulated bus: hello, identify, block 2, sub slots, register access,
// by-address transfers, reboots, and the odd devices the library must cope with.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "WireClient.h"
#include "platform/HidBackend.h"
#include "sim/SimRack.h"

using namespace vexa::sim;
using namespace vexa::simtest;

namespace {

// The frame's payload after the command byte, from a reply report.
Bytes payloadOf(const Bytes& report) {
    std::size_t len = report[2];
    return Bytes(report.begin() + 4, report.begin() + static_cast<long>(len) - 1);
}

class HidCouplerTest : public ::testing::Test {
protected:
    void SetUp() override {
        rack = std::make_unique<SimRack>(RackOptions{.liveData = false});
        HidCouplerConfig cfg;
        cfg.subs = {{1, subIdentity(0x4017)}, {2, subIdentity(0x2808)}};
        coupler = rack->addHid(cfg);
        ASSERT_TRUE(coupler);
        ASSERT_EQ(rack->start(), kSimOk);
        client = std::make_unique<HidClient>(coupler->address());
        ASSERT_TRUE(client->connected());
    }

    std::unique_ptr<SimRack> rack;
    SimCoupler* coupler = nullptr;
    std::unique_ptr<HidClient> client;
};

TEST_F(HidCouplerTest, HelloNamesTheDeviceAndItsReportLengths) {
    auto hello = client->hello();
    ASSERT_TRUE(hello);
    EXPECT_NE(hello->find("manufacturer=KXTMCU\n"), std::string::npos);
    EXPECT_NE(hello->find("product=VEXA-9020\n"), std::string::npos);
    EXPECT_NE(hello->find("input=65"), std::string::npos);
    EXPECT_NE(hello->find("output=65"), std::string::npos);
}

TEST_F(HidCouplerTest, IdentifyCarriesTheIdentityWithModeBeforeType) {
    client->hello();
    client->send(hidReport({0x7E, 0x05, 0x01, 0x7A, 0x7E}));
    auto r = client->receive();
    ASSERT_TRUE(r);
    ASSERT_EQ(r->size(), 65u);
    EXPECT_EQ((*r)[0], 0) << "report ID";
    EXPECT_TRUE(hidCheckHolds(*r));
    EXPECT_EQ((*r)[2], 19);
    Identity id = coupler->identity();
    const std::uint8_t* f = r->data() + 1;
    EXPECT_EQ(f[3] << 8 | f[4], id.manufacturer);
    EXPECT_EQ(f[5] << 8 | f[6], id.mode);
    EXPECT_EQ(f[7] << 8 | f[8], 0x9020);
    EXPECT_EQ(f[9] << 8 | f[10], id.hardVer);
    EXPECT_TRUE(std::equal(id.serial.begin(), id.serial.end(), f + 13));
}

TEST_F(HidCouplerTest, MainBlockWritesReadBackWithTheBaudLittleEndian) {
    auto read = client->exchange(0x02, {});
    ASSERT_TRUE(read);
    EXPECT_EQ((*read)[2], 11);
    auto baud = client->exchange(0x02, {0x00, 0x07, 0xA1, 0x20});  // 500000, big-endian
    ASSERT_TRUE(baud);
    EXPECT_EQ(payloadOf(*baud), (Bytes{0x01, 0x03, 0x20, 0xA1, 0x07, 0x00}));
    auto addr = client->exchange(0x02, {0x05});
    ASSERT_TRUE(addr);
    EXPECT_EQ(payloadOf(*addr)[0], 5);
    Bytes block = coupler->block(2);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 6), (Bytes{0x05, 0x03, 0x00, 0x07, 0xA1, 0x20}));
    EXPECT_TRUE(coupler->block(0).empty());
    auto odd = client->exchange(0x02, {1, 2});
    ASSERT_TRUE(odd);
    EXPECT_EQ((*odd)[3], 0xFF) << "a payload that is neither one nor four bytes";
}

TEST_F(HidCouplerTest, SubSlotsReportPresentAndEmptyPositions) {
    auto one = client->exchange(0x10, {0x01});
    ASSERT_TRUE(one);
    EXPECT_EQ((*one)[2], 20);
    Bytes p = payloadOf(*one);
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(p[3] << 8 | p[4], 0x4017);
    auto empty = client->exchange(0x10, {0x08});
    ASSERT_TRUE(empty);
    EXPECT_EQ(payloadOf(*empty)[0], 0);
    auto bad = client->exchange(0x10, {0x09});
    ASSERT_TRUE(bad);
    EXPECT_EQ((*bad)[3], 0xFF);
}

TEST_F(HidCouplerTest, SubRegistersWriteAndReadBack) {
    auto w = client->exchange(0x12, {2, 32, 2, 0x00, 0x81, 0x00, 0x42});
    ASSERT_TRUE(w);
    EXPECT_EQ((*w)[2], 8);
    EXPECT_EQ(payloadOf(*w), (Bytes{2, 32, 2}));
    auto p = client->exchange(0x13, {2, 128, 1, 0x00, 0xFF});
    ASSERT_TRUE(p);
    EXPECT_EQ((*p)[3], 0x13);
    auto r = client->exchange(0x11, {2, 32, 2});
    ASSERT_TRUE(r);
    EXPECT_TRUE(hidCheckHolds(*r));
    EXPECT_EQ(payloadOf(*r), (Bytes{2, 32, 2, 0x00, 0x81, 0x00, 0x42}));
    EXPECT_EQ(coupler->subRegister(2, 128), 0xFF);
}

TEST_F(HidCouplerTest, BadRangesCountsAndChecksGiveTheErrorFrame) {
    const Bytes kError = {0x7E, 0x05, 0xFF, static_cast<std::uint8_t>(0x7E ^ 0x05 ^ 0xFF), 0x7E};
    auto errorOf = [&](const std::optional<Bytes>& r) {
        return r && Bytes(r->begin() + 1, r->begin() + 6) == kError;
    };
    EXPECT_TRUE(errorOf(client->exchange(0x11, {1, 250, 8}))) << "past register 255";
    EXPECT_TRUE(errorOf(client->exchange(0x11, {1, 0, 29}))) << "more than a 64-byte frame holds";
    EXPECT_TRUE(errorOf(client->exchange(0x11, {3, 0, 1}))) << "no module at position 3";
    EXPECT_TRUE(errorOf(client->exchange(0x12, {1, 32, 2, 0x00}))) << "fewer data bytes than registers";
    EXPECT_TRUE(errorOf(client->exchange(0x55, {}))) << "unknown command";
    Bytes broken = hidReport(hidFrame(0x02, {}));
    broken[4] ^= 0x01;  // the check
    client->send(broken);
    EXPECT_TRUE(errorOf(client->receive()));
}

TEST_F(HidCouplerTest, ByAddressWriteInPiecesAndPagedRead) {
    Bytes data(70);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i + 1);
    const std::uint8_t seqs[] = {0, 1, 255};
    for (int piece = 0; piece < 3; ++piece) {
        Bytes payload = {seqs[piece], 1, 128};
        auto from = data.begin() + piece * 32;
        payload.insert(payload.end(), from, from + std::min<long>(32, data.end() - from));
        auto r = client->exchange(0x80, payload);
        ASSERT_TRUE(r);
        EXPECT_EQ(payloadOf(*r), (Bytes{seqs[piece], 1})) << "piece " << piece;
    }
    EXPECT_EQ(coupler->subRegister(1, 128), 0x0102);
    EXPECT_EQ(coupler->subRegister(1, 128 + 34), 0x4546) << "the last piece's bytes land after the first two";

    auto start = client->exchange(0x81, {1, 128, 35});
    ASSERT_TRUE(start);
    EXPECT_EQ(payloadOf(*start), (Bytes{35}));
    Bytes got;
    for (int offset = 0; offset < 70; offset += 48) {
        auto page = client->exchange(0x82, {0, static_cast<std::uint8_t>(offset), 48});
        ASSERT_TRUE(page);
        Bytes p = payloadOf(*page);
        got.insert(got.end(), p.begin(), p.end());
    }
    EXPECT_EQ(got, data);
}

TEST_F(HidCouplerTest, RebootAndUnframedSubRebootAreAnswered) {
    client->hello();
    client->send(hidReport({0x7E, 0x05, 0x04, 0x7F, 0x7E}));
    auto r = client->receive();
    ASSERT_TRUE(r);
    EXPECT_EQ(Bytes(r->begin() + 1, r->begin() + 6), (Bytes{0x7E, 0x05, 0x04, 0x7F, 0x7E}));
    client->send(hidReport({0xA1, 0x07, 0x00, 0x02, 0x00, 0x00, 0x0A}));
    auto s = client->receive();
    ASSERT_TRUE(s);
    EXPECT_EQ(Bytes(s->begin() + 1, s->begin() + 6), hidFrame(0x07, {}));
    EXPECT_EQ(coupler->rebootCount(), 1u);
    EXPECT_EQ(coupler->subRebootCount(), 1u);
}

// A boot-loader program a test declares done (or not) at will.
class ScriptedProgram : public SubModuleProgram {
public:
    explicit ScriptedProgram(bool done) : done_(done) {}
    bool writeRegisters(int, const std::uint8_t*, int) override { return true; }
    bool readRegisters(int, int count, std::uint8_t* out) override {
        std::fill_n(out, count * 2, 0);
        return true;
    }
    bool finished() const override { return done_; }

private:
    bool done_;
};

TEST_F(HidCouplerTest, SubUpgradeStartAndEndAreEchoedInFiveBytes) {
    for (std::uint8_t command : {0x83, 0x84}) {
        auto r = client->exchange(command, {});
        ASSERT_TRUE(r);
        EXPECT_TRUE(hidCheckHolds(*r));
        EXPECT_EQ(Bytes(r->begin() + 1, r->begin() + 6), hidFrame(command, {})) << int(command);
        EXPECT_EQ((*r)[2], 5) << "five bytes, the command echoed";
    }
    EXPECT_FALSE(coupler->inBootLoader(1));
    EXPECT_EQ(coupler->subIdentity(1).type, 0x4017);
}

TEST_F(HidCouplerTest, AnUnfinishedBootLoaderKeepsRunningAfterTheEndNotice) {
    ASSERT_TRUE(coupler->enterBootLoader(1));
    auto r = client->exchange(0x84, {});
    ASSERT_TRUE(r);
    EXPECT_TRUE(coupler->inBootLoader(1)) << "no image taken: it still waits for one";
    EXPECT_EQ(coupler->subIdentity(1).type, kBootLoaderType);
}

TEST(HidSubUpgrade, AFinishedBootLoaderLeavesOnTheEndNoticeOrAReboot) {
    SimRack rack({.liveData = false});
    HidCouplerConfig cfg;
    cfg.subs = {{1, subIdentity(0x4017)}, {2, subIdentity(0x2808)}, {3, subIdentity(0x1804)}};
    SimCoupler* c = rack.addHid(cfg);
    ASSERT_TRUE(c);
    rack.setBootHook([](SimCoupler&, int position) -> std::unique_ptr<SubModuleProgram> {
        return std::make_unique<ScriptedProgram>(position != 2);
    });
    ASSERT_EQ(rack.start(), kSimOk);
    HidClient client(c->address());
    ASSERT_TRUE(client.connected());
    for (int p = 1; p <= 3; ++p) ASSERT_TRUE(c->enterBootLoader(p));

    auto started = client.exchange(0x83, {});
    ASSERT_TRUE(started);
    EXPECT_TRUE(c->inBootLoader(1)) << "the start notice changes nothing";

    auto ended = client.exchange(0x84, {});
    ASSERT_TRUE(ended);
    EXPECT_FALSE(c->inBootLoader(1));
    EXPECT_EQ(c->subIdentity(1).type, 0x4017) << "reports its own type again";
    EXPECT_TRUE(c->inBootLoader(2)) << "its boot loader is not done";
    EXPECT_FALSE(c->inBootLoader(3));
    // A search of the slot sees the type too.
    auto slot = client.exchange(0x10, {1});
    ASSERT_TRUE(slot);
    EXPECT_EQ((*slot)[1 + 6] << 8 | (*slot)[1 + 7], 0x4017);
    // Registers are the module's again.
    EXPECT_GE(c->subRegister(1, 0), 0);

    // A reboot does the same for a module that finished later.
    ASSERT_TRUE(c->removeSub(2));
    ASSERT_TRUE(c->addSub({2, subIdentity(0x2808)}));
    rack.setBootHook([](SimCoupler&, int) -> std::unique_ptr<SubModuleProgram> {
        return std::make_unique<ScriptedProgram>(true);
    });
    ASSERT_TRUE(c->enterBootLoader(2));
    client.send(hidReport({0x7E, 0x05, 0x04, 0x7F, 0x7E}));
    ASSERT_TRUE(client.receive());
    EXPECT_FALSE(c->inBootLoader(2));
}

TEST(HidOddDevices, OtherStringsSilentIdentifyMissingHelloAndALongPath) {
    SimRack rack(RackOptions{.liveData = false});
    HidCouplerConfig other;
    other.manufacturer = "ACME";
    other.product = "Gadget";
    HidCouplerConfig mute;
    mute.answerIdentify = false;
    HidCouplerConfig shy;
    shy.sendHello = false;
    SimCoupler* o = rack.addHid(other);
    SimCoupler* m = rack.addHid(mute);
    SimCoupler* s = rack.addHid(shy);
    ASSERT_TRUE(o && m && s);
    // The folder is only known at start; a second rack makes the long name after it.
    ASSERT_EQ(rack.start(), kSimOk);

    HidClient oc(o->address());
    auto hello = oc.hello();
    ASSERT_TRUE(hello);
    EXPECT_NE(hello->find("manufacturer=ACME\n"), std::string::npos);
    EXPECT_NE(hello->find("product=Gadget\n"), std::string::npos);

    HidClient mc(m->address());
    ASSERT_TRUE(mc.hello());
    mc.send(hidReport({0x7E, 0x05, 0x01, 0x7A, 0x7E}));
    EXPECT_FALSE(mc.receive(200)) << "identify unanswered";
    EXPECT_TRUE(mc.exchange(0x10, {1})) << "other commands still answered";

    HidClient sc(s->address());
    ASSERT_TRUE(sc.connected()) << "accepts the connection";
    EXPECT_FALSE(sc.hello(250));

    const std::string folder = rack.hidFolder();
    rack.stop();
    SimRack longRack(RackOptions{.hidFolder = folder, .liveData = false});
    HidCouplerConfig longName;
    longName.socketName = std::string(250 - folder.size() - 1, 'n');
    SimCoupler* l = longRack.addHid(longName);
    ASSERT_TRUE(l);
    ASSERT_EQ(longRack.start(), kSimOk);
    EXPECT_EQ(l->address().size(), 250u);
    struct stat st{};
    ASSERT_EQ(::stat(l->address().c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    longRack.stop();
    EXPECT_NE(::stat(l->address().c_str(), &st), 0);
    ::rmdir(folder.c_str());
}

}  // namespace

namespace {

TEST(HidOnThePlatformBackend, EnumeratesDevicesWithAHelloAndExchangesReports) {
    SimRack rack(RackOptions{.liveData = false});
    ASSERT_TRUE(rack.addHid({.socketName = "b-coupler"}));
    ASSERT_TRUE(rack.addHid({.socketName = "a-coupler", .manufacturer = "ACME"}));
    ASSERT_TRUE(rack.addHid({.socketName = "c-mute", .sendHello = false}));
    ASSERT_EQ(rack.start(), kSimOk);
    auto backend = vexa::makeSimHidBackend(rack.hidFolder());
    auto devices = backend->enumerate();
    ASSERT_EQ(devices.size(), 2u) << "the device without a hello is skipped";
    EXPECT_EQ(devices[0].path, rack.hidFolder() + "/a-coupler") << "sorted by file name";
    EXPECT_EQ(devices[0].manufacturer, "ACME");
    EXPECT_EQ(devices[1].product, "VEXA-9020");
    EXPECT_EQ(devices[1].inputReportLength, 65);

    auto dev = backend->open(devices[1].path);
    ASSERT_TRUE(dev);
    Bytes identify = hidReport({0x7E, 0x05, 0x01, 0x7A, 0x7E});
    ASSERT_EQ(dev->write(identify.data(), 65, 1000), 65);
    std::uint8_t in[65] = {};
    ASSERT_EQ(dev->read(in, sizeof in, 1000), 65);
    EXPECT_EQ(in[8] << 8 | in[9], 0x9020);
}

}  // namespace
