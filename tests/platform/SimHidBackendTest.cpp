#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <thread>

#include "FakeHidDevice.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "platform/HidBackend.h"

namespace vexa {
namespace {

using namespace std::chrono_literals;
using test::FakeHidDevice;
using Report = std::vector<std::uint8_t>;

constexpr char kHello[] = "manufacturer=KXTMCU\nproduct=VEXA-9020\ninput=65\noutput=65\n";

Report numbered(std::uint8_t first, size_t len = 65) {
    Report r(len);
    std::iota(r.begin() + 1, r.end(), first);
    r[0] = 0;  // report ID
    return r;
}

class SimHidBackendTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::unique_ptr<HidBackend> bus = makeSimHidBackend(dir.path());
};

TEST_F(SimHidBackendTest, EnumerationListsGreetingDevicesSortedByName) {
    FakeHidDevice b(dir.file("b-dev"), "manufacturer=Maker B\r\nproduct=Second\r\ninput=33\r\noutput=17\r\n");
    FakeHidDevice a(dir.file("a-dev"), kHello);
    FakeHidDevice c(dir.file("c-dev"), "product=Third\ninput=junk\nnonsense line\noutput=-4\n");
    ASSERT_TRUE(a.listening() && b.listening() && c.listening());
    dir.write("readme.txt", "not a device");
    FakeHidDevice::deafListener(dir.file("d-gone"));  // closed at once: a socket file nobody serves

    auto list = bus->enumerate();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, dir.file("a-dev"));
    EXPECT_EQ(list[0].manufacturer, "KXTMCU");
    EXPECT_EQ(list[0].product, "VEXA-9020");
    EXPECT_EQ(list[1].path, dir.file("b-dev"));
    EXPECT_EQ(list[1].manufacturer, "Maker B");
    EXPECT_EQ(list[1].inputReportLength, 33);
    EXPECT_EQ(list[1].outputReportLength, 17);
    EXPECT_EQ(list[2].path, dir.file("c-dev"));
    EXPECT_EQ(list[2].manufacturer, "");
    EXPECT_EQ(list[2].inputReportLength, 65);  // unreadable lengths keep the default
    EXPECT_EQ(list[2].outputReportLength, 65);
}

TEST_F(SimHidBackendTest, DevicesThatNeverGreetAreSkippedWithinTheBound) {
    FakeHidDevice mute(dir.file("a-mute"), "");
    UniqueFd deaf = FakeHidDevice::deafListener(dir.file("b-deaf"));
    FakeHidDevice good(dir.file("c-dev"), kHello);
    ASSERT_TRUE(mute.listening() && deaf.valid() && good.listening());

    // Repeated, because a device that never accepts fills its backlog after the first look.
    for (int round = 0; round < 3; ++round) {
        auto t0 = Clock::now();
        auto list = bus->enumerate();
        auto took = Clock::now() - t0;
        ASSERT_EQ(list.size(), 1u) << "round " << round;
        EXPECT_EQ(list[0].path, dir.file("c-dev"));
        EXPECT_LT(took, 1500ms) << "round " << round;  // two silent devices, 200 ms each
    }
    auto t0 = Clock::now();
    EXPECT_EQ(bus->open(dir.file("a-mute")), nullptr);
    EXPECT_EQ(bus->open(dir.file("b-deaf")), nullptr);
    EXPECT_LT(Clock::now() - t0, 1500ms);
}

TEST_F(SimHidBackendTest, ReportsRoundTripOneMessageEach) {
    FakeHidDevice dev(dir.file("dev"), kHello);
    auto hid = bus->open(dir.file("dev"));
    ASSERT_NE(hid, nullptr);

    for (std::uint8_t i = 0; i < 3; ++i) {
        Report out = numbered(static_cast<std::uint8_t>(10 * i));
        ASSERT_EQ(hid->write(out.data(), 65, 1000), 65);
        EXPECT_EQ(dev.receive(1000), out);
    }
    // Two reports sent back to back stay two reads.
    Report first = numbered(1), second = numbered(100);
    ASSERT_TRUE(dev.send(first));
    ASSERT_TRUE(dev.send(second));
    Report in(65);
    ASSERT_EQ(hid->read(in.data(), 65, 1000), 65);
    EXPECT_EQ(in, first);
    ASSERT_EQ(hid->read(in.data(), 65, 1000), 65);
    EXPECT_EQ(in, second);
}

TEST_F(SimHidBackendTest, AReportAfterATimeOutAnswersTheNextRead) {
    FakeHidDevice dev(dir.file("dev"), kHello);
    auto hid = bus->open(dir.file("dev"));
    ASSERT_NE(hid, nullptr);
    Report in(65, 0xEE);

    auto t0 = Clock::now();
    EXPECT_EQ(hid->read(in.data(), 65, 50), 0);
    EXPECT_GE(Clock::now() - t0, 49ms);
    EXPECT_EQ(hid->read(in.data(), 65, 0), 0);

    Report late = numbered(7);
    ASSERT_TRUE(dev.send(late));
    ASSERT_EQ(hid->read(in.data(), 65, 1000), 65);
    EXPECT_EQ(in, late);
    // A report already waiting is taken at once, even by a read that would not wait.
    ASSERT_TRUE(dev.send(numbered(8)));
    ASSERT_EQ(hid->read(in.data(), 65, 0), 65);
    EXPECT_EQ(in, numbered(8));
    EXPECT_EQ(hid->read(in.data(), 65, 20), 0);  // nothing left over

    // One arriving while a read waits ends that wait at once.
    std::thread sender([&dev] {
        std::this_thread::sleep_for(50ms);
        dev.send(numbered(9));
    });
    t0 = Clock::now();
    EXPECT_EQ(hid->read(in.data(), 65, 3000), 65);
    EXPECT_LT(Clock::now() - t0, 2s);
    sender.join();
    EXPECT_EQ(in, numbered(9));
}

TEST_F(SimHidBackendTest, AnUnpluggedDeviceGivesMinusOne) {
    FakeHidDevice dev(dir.file("dev"), kHello);
    auto hid = bus->open(dir.file("dev"));
    ASSERT_NE(hid, nullptr);
    dev.unplug();
    Report buf(65);
    auto t0 = Clock::now();
    EXPECT_EQ(hid->read(buf.data(), 65, 2000), -1);
    EXPECT_LT(Clock::now() - t0, 1500ms);  // known at once, not after the time-out
    EXPECT_EQ(hid->write(buf.data(), 65, 100), -1);
}

TEST_F(SimHidBackendTest, AWriteToADeviceThatStopsReadingGivesUpInTime) {
    FakeHidDevice dev(dir.file("dev"), kHello);
    auto hid = bus->open(dir.file("dev"));
    ASSERT_NE(hid, nullptr);
    Report out = numbered(0);
    int result = 0;
    for (int i = 0; i < 100000 && result >= 0; ++i) {
        auto t0 = Clock::now();
        result = hid->write(out.data(), 65, 30);
        ASSERT_LT(Clock::now() - t0, 1s);
    }
    EXPECT_EQ(result, -1);
}

TEST_F(SimHidBackendTest, BadArgumentsAndPathsAreRefused) {
    FakeHidDevice dev(dir.file("dev"), kHello);
    auto hid = bus->open(dir.file("dev"));
    ASSERT_NE(hid, nullptr);
    Report buf(65);
    EXPECT_EQ(hid->read(nullptr, 65, 10), -1);
    EXPECT_EQ(hid->read(buf.data(), 0, 10), -1);
    EXPECT_EQ(hid->write(nullptr, 65, 10), -1);
    EXPECT_EQ(hid->write(buf.data(), 0, 10), -1);

    EXPECT_EQ(bus->open(dir.file("missing")), nullptr);
    EXPECT_EQ(bus->open(""), nullptr);
    EXPECT_EQ(bus->open(dir.file(std::string(200, 'x'))), nullptr);  // longer than a socket name
    EXPECT_TRUE(makeSimHidBackend(dir.file("no-such-folder"))->enumerate().empty());
}

TEST_F(SimHidBackendTest, VexaHidSelectsTheSimulatedBus) {
    FakeHidDevice dev(dir.file("dev"), kHello);
    test::ScopedEnv env("VEXA_HID", ("sim:" + dir.path() + "/").c_str());
    auto list = makeHidBackend()->enumerate();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].path, dir.file("dev"));
}

}  // namespace
}  // namespace vexa
