// A reply that comes after its request gave up carries nothing that tells it from the answer
// to a later request of the same kind. It must never be taken for one: a read that returns 0
// shows what the device holds now.
#include <stdlib.h>

#include <string>

#include "SimFixture.h"

namespace vexa::test {
namespace {

std::string nameIn(const sim::Bytes& block) { return std::string(reinterpret_cast<const char*>(block.data())); }

// The first read's reply is held back past the time-out; the device then changes; the second
// read's own reply is lost, so only the late, outdated one could answer it.
void lateThenLost(sim::SimCoupler& c, KO_HANDLE h, int lateMs, int block, const sim::Bytes& fresh) {
    c.pushFault({sim::FaultKind::Delay, lateMs});
    EXPECT_NE(KO_ReadMainProperty(h), RC_OK);
    c.setBlock(block, 0, fresh);
    c.pushFault({sim::FaultKind::Drop});
    EXPECT_NE(KO_ReadMainProperty(h), RC_OK) << "an outdated reply was taken for the read";
    c.clearFaults();
}

TEST_F(SimTest, EthernetReplyLateBeyondTheTimeOutIsNeverTakenForALaterRead) {
    auto* c = rack->addEthernet({});
    start();
    KO_HANDLE h = operateEth(c);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(KO_ModifyMainProperty(h, "MAIN_NAME", "old"), RC_OK);
    ASSERT_EQ(KO_SubmitMainProperty(h, ""), RC_OK);
    // Time-out 1 s in tests (VEXA_TEST_ETH_TIMEOUT_MS): the late reply lands 500 ms into the
    // next read's wait.
    lateThenLost(*c, h, 1500, 0, {'n', 'e', 'w', 0});
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    EXPECT_EQ(get(h, "MAIN_NAME"), "new");
    EXPECT_EQ(nameIn(c->block(0)), "new");
}

TEST_F(SimTest, SerialReplyLateBeyondTheTimeOutIsNeverTakenForALaterRead) {
    auto* c = rack->addSerial({});
    start();
    KO_HANDLE h = operateSerial(c, 0);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(KO_ModifyMainProperty(h, "MAIN_NAME", "old"), RC_OK);
    ASSERT_EQ(KO_SubmitMainProperty(h, ""), RC_OK);
    // Read time-out 1 s.
    lateThenLost(*c, h, 1300, 0, {'n', 'e', 'w', 0});
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    EXPECT_EQ(get(h, "MAIN_NAME"), "new");
}

// Two couplers on one line: the late reply of one must not answer a request to the other.
TEST_F(SimTest, SerialReplyFromAnotherStationIsNeverTakenForThisOne) {
    auto* first = rack->addSerial({.line = 0, .station = 1});
    auto* second = rack->addSerial({.line = 0, .station = 5});
    start();
    KO_HANDLE h1 = operateSerial(first, 0);
    KO_HANDLE h2 = operateSerial(second, 0);
    ASSERT_TRUE(h1 && h2);
    first->setBlock(0, 0, {'o', 'n', 'e', 0});
    second->setBlock(0, 0, {'f', 'i', 'v', 'e', 0});
    ASSERT_EQ(KO_ReadMainProperty(h2), RC_OK);
    first->pushFault({sim::FaultKind::Delay, 1300});
    EXPECT_NE(KO_ReadMainProperty(h1), RC_OK);
    second->pushFault({sim::FaultKind::Drop});
    EXPECT_NE(KO_ReadMainProperty(h2), RC_OK) << "station 1's reply was taken for station 5";
    EXPECT_EQ(get(h2, "MAIN_NAME"), "five");
}

TEST_F(SimTest, HidReplyLateBeyondTheTimeOutIsNeverTakenForALaterRead) {
    setenv("VEXA_TEST_HID_TIMEOUT_MS", "200", 1);
    auto* c = rack->addHid({});
    start();
    KO_HANDLE h = operateHid(c);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(KO_ModifyMainProperty(h, "MAIN_CANOPEN_ADDR", "11"), RC_OK);
    ASSERT_EQ(KO_SubmitMainProperty(h, ""), RC_OK);
    lateThenLost(*c, h, 300, 2, {22});
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    EXPECT_EQ(get(h, "MAIN_CANOPEN_ADDR"), "22");
    unsetenv("VEXA_TEST_HID_TIMEOUT_MS");
}

}  // namespace
}  // namespace vexa::test
