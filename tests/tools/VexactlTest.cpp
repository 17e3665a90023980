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
}
