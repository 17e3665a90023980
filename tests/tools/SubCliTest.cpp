// vexactl's sub-module commands on a rack holding every sub-module type: listed, every
// setting and process value read as an engineering text, a changed setting written back.
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

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class SubCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto types = vexa::sim::everySubModuleType();
        for (std::size_t first = 0; first < types.size(); first += vexa::sim::kMaxSubModules) {
            vexa::sim::EthCouplerConfig cfg;
            for (std::size_t i = first; i < types.size() && i < first + vexa::sim::kMaxSubModules; ++i)
                cfg.subs.push_back({static_cast<int>(i - first) + 1, types[i]});
            couplers.push_back(rack.addEthernet(cfg));
        }
        ASSERT_EQ(rack.start(), vexa::sim::kSimOk);
        setenv("VEXA_ETH_BROADCAST", rack.hubAddress().c_str(), 1);
    }
    vexa::sim::SimRack rack{vexa::sim::RackOptions{.liveData = false}};
    std::vector<vexa::sim::SimCoupler*> couplers;
};

}  // namespace

TEST_F(SubCliTest, EveryTypeListedAndReadAsTexts) {
    int modules = 0;
    for (auto* c : couplers) {
        std::string target = "eth:" + c->address();
        CliRun subs = vexactl("subs " + target);
        ASSERT_EQ(subs.status, 0) << subs.out;
        for (int p = 1; p <= vexa::sim::kMaxSubModules; ++p) {
            if (!c->hasSub(p)) continue;
            ++modules;
            EXPECT_NE(subs.out.find("address=" + std::to_string(p) + "  "), std::string::npos) << subs.out;
            for (const char* cmd : {"sub-props ", "sub-data "}) {
                CliRun r = vexactl(cmd + target + " " + std::to_string(p));
                EXPECT_EQ(r.status, 0) << cmd << p << "\n" << r.out;
                // Every key of the class has a text: none is reported as a failure.
                EXPECT_EQ(count(r.out, "value=RC_"), 0) << cmd << p << "\n" << r.out;
                EXPECT_EQ(count(r.out, "value=\n"), 0) << cmd << p << "\n" << r.out;
            }
        }
        EXPECT_EQ(count(subs.out, "class=(no class)"), 0) << subs.out;
    }
    EXPECT_EQ(modules, static_cast<int>(vexa::sim::everySubModuleType().size()));
}

TEST_F(SubCliTest, ChangedSettingIsWrittenBackAndReadAgain) {
    std::string target = "eth:" + couplers[0]->address();
    // 0x4017 at address 8: range of channel 2 from +-2.5 V to +-5 V.
    CliRun r = vexactl("sub-set " + target + " 8 SET_AIN_TYPE_2 1");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("key=SET_AIN_TYPE_2  value=1"), std::string::npos) << r.out;
    EXPECT_EQ(couplers[0]->subRegister(8, 130), 1);
    // A process value: the 0x2808 output 3, at address 2.
    r = vexactl("sub-set " + target + " 2 DATA_DOUT_3 1 --data --json");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\"value\":\"1\""), std::string::npos) << r.out;
    EXPECT_EQ(couplers[0]->subRegister(2, 32), 0x0008);
    r = vexactl("sub-props " + target + " 8 SET_AIN_TYPE_2 SLAVER_TYPE");
    EXPECT_NE(r.out.find("key=SLAVER_TYPE  value=VEXA-4017"), std::string::npos) << r.out;
}

TEST_F(SubCliTest, FailuresNameTheirResult) {
    std::string target = "eth:" + couplers[0]->address();
    CliRun r = vexactl("sub-set " + target + " 8 NO_SUCH_KEY 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("303 RC_KEY_UNKNOWN"), std::string::npos) << r.out;
    r = vexactl("sub-set " + target + " 8 SET_AIN_TYPE_2 abc");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("999 RC_FAILED"), std::string::npos) << r.out;
    r = vexactl("sub-set " + target + " 8 DATA_AIN_0 1 --data");  // a measured input
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("is an input"), std::string::npos) << r.out;
    r = vexactl("sub-props " + couplers.back()->address() + " 1");
    EXPECT_EQ(r.status, 2) << r.out;
    r = vexactl("sub-props " + target + " 0");
    EXPECT_EQ(r.status, 2) << r.out;
    r = vexactl("sub-data eth:" + couplers.back()->address() + " 7");  // an empty slot
    EXPECT_EQ(r.status, 1) << r.out;
    r = vexactl("sub-reboot " + target + " 1");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(couplers[0]->waitForRequests(1, 100));
    EXPECT_EQ(couplers[0]->subRebootCount(), 1u);
}
