// vexactl's coupler commands: output, JSON, exit statuses.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "CliRun.h"
#include "sim/SimRack.h"

namespace {

using clitest::CliRun;
using clitest::vexactl;

class VexactlTest : public ::testing::Test {
protected:
    void SetUp() override {
        eth = rack.addEthernet({});
        rs = rack.addSerial({.station = 4});
        hid = rack.addHid({});
        ASSERT_EQ(rack.start(), vexa::sim::kSimOk);
        setenv("VEXA_ETH_BROADCAST", rack.hubAddress().c_str(), 1);
        setenv("VEXA_HID", ("sim:" + rack.hidFolder()).c_str(), 1);
    }
    vexa::sim::SimRack rack{vexa::sim::RackOptions{.liveData = false}};
    vexa::sim::SimCoupler *eth = nullptr, *rs = nullptr, *hid = nullptr;
};

}  // namespace

TEST_F(VexactlTest, SearchesEveryTransport) {
    CliRun r = vexactl("search eth");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("target=eth:" + eth->address()), std::string::npos) << r.out;
    r = vexactl("search rs " + rack.serialPath(rs->line()) + " --station 4 --ascii");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("type=9010"), std::string::npos) << r.out;
    r = vexactl("search hid --json");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\"target\":\"hid:" + hid->address() + "\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"ok\":true"), std::string::npos);

    // A station range, and one rule for every kind: nothing found fails and says so.
    const std::string port = rack.serialPath(rs->line());
    r = vexactl("search rs " + port + " --station 3-4 --ascii");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("target=rs:" + port + ":4"), std::string::npos) << r.out;
    r = vexactl("search rs " + port + " --station 200-201 --ascii --timeout 100");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("NOTHING_FOUND"), std::string::npos) << r.out;
    EXPECT_EQ(vexactl("search rs " + port + " --station 5-2").status, 2);
    r = vexactl("search eth --ip " + eth->address());
    EXPECT_EQ(r.status, 0) << r.out;
}

TEST_F(VexactlTest, PropsGetAndSet) {
    std::string target = "eth:" + eth->address();
    CliRun r = vexactl("props " + target);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("key=MAIN_IP  value=" + eth->address()), std::string::npos) << r.out;
    r = vexactl("set " + target + " MAIN_NAME cell-7");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("value=cell-7"), std::string::npos) << r.out;
    r = vexactl("get rs:" + rack.serialPath(rs->line()) + ":4 MAIN_TYPE --json");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\"value\":\"VEXA-9010\""), std::string::npos) << r.out;
    r = vexactl("set hid MAIN_CANOPEN_ADDR 9");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(hid->block(2)[0], 9);
    // A value the item cannot hold is refused, not written modulo its width.
    for (const char* bad : {"999", "-1", "12abc"}) {
        r = vexactl(std::string("set hid MAIN_CANOPEN_ADDR ") + bad);
        EXPECT_EQ(r.status, 1) << bad << ": " << r.out;
        EXPECT_EQ(hid->block(2)[0], 9) << bad;
    }
}

TEST_F(VexactlTest, FailuresNameTheirResult) {
    CliRun r = vexactl("get eth:" + eth->address() + " NO_SUCH_KEY");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("303 RC_KEY_UNKNOWN"), std::string::npos) << r.out;
    eth->setSilent(true);
    r = vexactl("props eth:" + eth->address());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("RC_NO_REPLY"), std::string::npos) << r.out;
    r = vexactl("props nowhere");
    EXPECT_EQ(r.status, 2);
    r = vexactl("frobnicate");
    EXPECT_EQ(r.status, 2);
    // Missing arguments say what the command takes; --help asks for it.
    for (const char* cmd : {"props", "get hid", "set hid MAIN_NAME", "subs", "sub-props hid", "map download"}) {
        r = vexactl(cmd);
        EXPECT_EQ(r.status, 2) << cmd;
        EXPECT_NE(r.out.find("usage: vexactl "), std::string::npos) << cmd << ": " << r.out;
    }
    r = vexactl("props --help");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("usage: vexactl props"), std::string::npos) << r.out;
}
