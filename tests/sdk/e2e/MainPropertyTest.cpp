// Reading, modifying and writing back coupler properties over every transport.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "SimFixture.h"

using namespace vexa;
using namespace vexa::test;

namespace {

std::string blockText(const sim::Bytes& block, size_t off, size_t n) {
    std::string s(block.begin() + static_cast<long>(off), block.begin() + static_cast<long>(off + n));
    return s.substr(0, s.find('\0'));
}

}  // namespace

TEST_F(SimTest, EthernetReadModifySubmitReadBack) {
    auto* c = rack->addEthernet({});
    start();
    KO_HANDLE h = operateEth(c);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(get(h, "MAIN_IP"), "rc=301");
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    EXPECT_EQ(get(h, "MAIN_IP"), c->address());
    EXPECT_EQ(get(h, "MAIN_TYPE"), "VEXA-9000");
    // The search reply carries the hardware version minor byte first.
    EXPECT_EQ(get(h, "MAIN_HARDVER"), "V1.00");
    EXPECT_EQ(get(h, "NO_SUCH_KEY"), "rc=303");
    ASSERT_EQ(KO_ModifyMainProperty(h, "MAIN_NAME", "line-3 rack"), RC_OK);
    ASSERT_EQ(KO_ModifyMainProperty(h, "MAIN_GATE", "127.0.0.254"), RC_OK);
    ASSERT_EQ(KO_SubmitMainProperty(h, ""), RC_OK);
    EXPECT_EQ(blockText(c->block(0), 0, 16), "line-3 rack");
    EXPECT_EQ(c->block(0)[40], 127);
    EXPECT_EQ(c->block(0)[43], 254);
    EXPECT_EQ(KO_SubmitMainProperty(h, ""), RC_NOTHING_TO_SUBMIT);
    c->setBlock(0, 0, {'f', 'r', 'o', 'm', ' ', 'd', 'e', 'v', 0});
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    EXPECT_EQ(get(h, "MAIN_NAME"), "from dev");
}

TEST_F(SimTest, SerialReadModifySubmitReadBackInBothFramings) {
    auto* c = rack->addSerial({.station = 3});
    start();
    for (int framing : {0, 1}) {
        KO_HANDLE h = operateSerial(c, framing);
        ASSERT_NE(h, nullptr) << framing;
        ASSERT_EQ(KO_ReadMainProperty(h), RC_OK) << framing;
        EXPECT_EQ(get(h, "MAIN_TYPE"), "VEXA-9010");
        std::string name = framing ? "ascii-name" : "rtu-name";
        ASSERT_EQ(KO_ModifyMainProperty(h, "MAIN_NAME", name.c_str()), RC_OK);
        ASSERT_EQ(KO_ModifyMainProperty(h, "MAIN_BYTE_TO", "350"), RC_OK);
        ASSERT_EQ(KO_SubmitMainProperty(h, nullptr), RC_OK) << framing;
        EXPECT_EQ(blockText(c->block(0), 0, 16), name);
        EXPECT_EQ(c->block(0)[34] << 8 | c->block(0)[35], 350);
        ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
        EXPECT_EQ(get(h, "MAIN_NAME"), name);
        EXPECT_EQ(KO_UnOperateDev(h), 1);  // frees the port for the next framing
    }
}

TEST_F(SimTest, HidReadModifySubmitReadBack) {
    auto* c = rack->addHid({});
    start();
    KO_HANDLE h = operateHid(c);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    EXPECT_EQ(get(h, "MAIN_TYPE"), "VEXA-9020");
    ASSERT_EQ(KO_ModifyMainProperty(h, "MAIN_CANOPEN_ADDR", "42"), RC_OK);
    ASSERT_EQ(KO_SubmitMainProperty(h, ""), RC_OK);
    EXPECT_EQ(c->block(2)[0], 42);
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    EXPECT_EQ(get(h, "MAIN_CANOPEN_ADDR"), "42");
    ASSERT_EQ(KO_ModifyMainProperty(h, "MAIN_USER_CANBAUD", "250000"), RC_OK);
    ASSERT_EQ(KO_SubmitMainProperty(h, ""), RC_OK);
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    EXPECT_EQ(get(h, "MAIN_USER_CANBAUD"), "250000");
    // There is no password on this coupler: a login against the device always fails.
    EXPECT_EQ(KO_LoginMain(h, ""), RC_FAILED);
}

TEST_F(SimTest, LongNameWritesExactlyTheItemLength) {
    auto* c = rack->addEthernet({});
    start();
    KO_HANDLE h = operateEth(c);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    c->clearLog();
    sim::Bytes before = c->block(0);
    ASSERT_EQ(KO_ModifyMainProperty(h, "MAIN_NAME", std::string(100, 'Q').c_str()), RC_OK);
    ASSERT_EQ(KO_SubmitMainProperty(h, ""), RC_OK);
    auto reqs = c->requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].size(), 13u + 16 + 16);
    EXPECT_EQ(blockText(c->block(0), 0, 16), std::string(16, 'Q'));
    sim::Bytes after = c->block(0);
    EXPECT_TRUE(std::equal(after.begin() + 16, after.end(), before.begin() + 16));  // nothing past the name
}

TEST_F(SimTest, PartialReadIsAFailureAndLoginDoesNotPass) {
    auto* c = rack->addEthernet({});
    start();
    KO_HANDLE h = operateEth(c);
    ASSERT_NE(h, nullptr);
    c->pushFault({sim::FaultKind::Drop});  // block 0 times out, block 1 answers
    EXPECT_EQ(KO_ReadMainProperty(h), RC_NO_REPLY);
    EXPECT_EQ(get(h, "MAIN_NAME"), "rc=301");
    c->pushFault({sim::FaultKind::Drop});
    EXPECT_EQ(KO_LoginMain(h, ""), RC_FAILED);
}

TEST_F(SimTest, LoginComparesThePassword) {
    auto* c = rack->addEthernet({});
    start();
    c->setBlock(0, 16, {'s', 'e', 'c', 'r', 'e', 't', 0});
    KO_HANDLE h = operateEth(c);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(KO_LoginMain(h, "secret"), RC_OK);
    EXPECT_EQ(KO_LoginMain(h, "Secret"), RC_FAILED);
    EXPECT_EQ(KO_LoginMain(h, ""), RC_FAILED);
    EXPECT_EQ(KO_LoginMain(h, nullptr), RC_FAILED);
}

TEST_F(SimTest, FixedBlockItemsAreNeverWritten) {
    auto* c = rack->addEthernet({});
    start();
    KO_HANDLE h = operateEth(c);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    size_t before = c->requestCount();
    ASSERT_EQ(KO_ModifyMainProperty(h, "MAIN_HARDVER", "V9.99"), RC_OK);
    EXPECT_EQ(get(h, "MAIN_HARDVER"), "V9.99");
    EXPECT_EQ(KO_SubmitMainProperty(h, ""), RC_NOTHING_TO_SUBMIT);
    EXPECT_EQ(c->requestCount(), before);
}

TEST_F(SimTest, UnparsableTextChangesNothing) {
    auto* c = rack->addEthernet({});
    start();
    KO_HANDLE h = operateEth(c);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    std::string ip = get(h, "MAIN_IP");
    EXPECT_EQ(KO_ModifyMainProperty(h, "MAIN_IP", "not.an.ip"), RC_FAILED);
    EXPECT_EQ(get(h, "MAIN_IP"), ip);
    EXPECT_EQ(KO_SubmitMainProperty(h, ""), RC_NOTHING_TO_SUBMIT);
    EXPECT_EQ(KO_ModifyMainProperty(h, "NO_SUCH", "1"), RC_KEY_UNKNOWN);
    EXPECT_EQ(KO_ModifyMainProperty(h, nullptr, "1"), RC_KEY_UNKNOWN);
    EXPECT_EQ(KO_ModifyMainProperty(h, "MAIN_IP", nullptr), RC_FAILED);
    EXPECT_EQ(KO_GetMainProperty(h, "MAIN_IP", nullptr), RC_FAILED);
}

TEST_F(SimTest, InjectedFaultsGiveResultCodesAndKeepProperties) {
    auto* c = rack->addEthernet({});
    start();
    KO_HANDLE h = operateEth(c);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    std::string name = get(h, "MAIN_NAME");
    c->setBlock(0, 0, {'c', 'h', 'a', 'n', 'g', 'e', 'd', 0});
    struct {
        sim::FaultKind kind;
        int rc;
    } cases[] = {{sim::FaultKind::Drop, RC_NO_REPLY},
                 {sim::FaultKind::Corrupt, RC_PARSE_FAILED},
                 {sim::FaultKind::Truncate, RC_PARSE_FAILED},
                 {sim::FaultKind::Stale, RC_PARSE_FAILED}};
    for (auto& k : cases) {
        c->pushFault({k.kind});
        EXPECT_EQ(KO_ReadMainProperty(h), k.rc) << static_cast<int>(k.kind);
        EXPECT_EQ(get(h, "MAIN_NAME"), name) << static_cast<int>(k.kind);
        // Let whatever a fault left on its way (the real reply behind a stale one) arrive, so
        // that the next case starts from a quiet line even on a slow, instrumented build.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    // A duplicated reply is left behind; the next exchange still gets its own answer. The copy
    // follows the read's last reply (block 1), and the next read starts once it has gone out: a
    // copy still on its way is indistinguishable from a reply.
    std::size_t replies = c->replyCount();
    c->pushFault({sim::FaultKind::None});
    c->pushFault({sim::FaultKind::Duplicate});
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    ASSERT_TRUE(c->waitForReplies(replies + 3, 2000));
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    EXPECT_EQ(get(h, "MAIN_NAME"), "changed");
}

TEST_F(SimTest, SerialFaultsAreResultCodes) {
    auto* c = rack->addSerial({});
    start();
    KO_HANDLE h = operateSerial(c, 0);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    c->pushFault({sim::FaultKind::Corrupt});
    EXPECT_EQ(KO_ReadMainProperty(h), RC_PARSE_FAILED);
    c->pushFault({sim::FaultKind::Drop});
    EXPECT_EQ(KO_ReadMainProperty(h), RC_NO_REPLY);
    EXPECT_EQ(KO_ReadMainProperty(h), RC_OK);
}

TEST_F(SimTest, HidLateReplyIsNotTakenForTheNextOne) {
    setenv("VEXA_TEST_HID_TIMEOUT_MS", "300", 1);
    auto* c = rack->addHid({});
    start();
    KO_HANDLE h = operateHid(c);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    c->pushFault({sim::FaultKind::Delay, 600});
    EXPECT_EQ(KO_ReadMainProperty(h), RC_NO_REPLY);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the late reply is now waiting
    c->setBlock(2, 0, {77});
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    EXPECT_EQ(get(h, "MAIN_CANOPEN_ADDR"), "77");
    unsetenv("VEXA_TEST_HID_TIMEOUT_MS");
}

TEST_F(SimTest, RawFramesAndTheirBounds) {
    setenv("VEXA_TEST_HID_TIMEOUT_MS", "200", 1);
    auto* c = rack->addHid({});
    start();
    KO_HANDLE h = operateHid(c);
    ASSERT_NE(h, nullptr);
    std::vector<unsigned char> big(80, 0x11);
    big[0] = 0x7E;
    size_t before = c->requestCount();
    EXPECT_LE(KO_SendMainCmd(h, big.data(), 80, 0), 0);
    EXPECT_EQ(c->requestCount(), before);
    unsigned char reboot[3] = {0x7E, 0, 0x04};
    EXPECT_EQ(KO_SendMainCmd(h, reboot, 3, 0), 65);
    unsigned char buf[64] = {};
    EXPECT_EQ(KO_ReadMainBuf(h, buf, 3), 3);
    EXPECT_EQ(buf[2], 0x04);
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(KO_ReadMainBuf(h, buf, sizeof buf), 0);  // nothing arrives
    EXPECT_EQ(buf[0], 0xEE);
    EXPECT_EQ(KO_SendMainCmd(h, nullptr, 3, 0), 0);
    unsetenv("VEXA_TEST_HID_TIMEOUT_MS");
}

TEST_F(SimTest, RebootIsSentAndAnyAnswerIgnored) {
    auto* e = rack->addEthernet({});
    start();
    KO_HANDLE h = operateEth(e);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(KO_RebootDev(h), RC_OK);
    EXPECT_EQ(e->rebootCount(), 1u);
    e->setSilent(true);
    EXPECT_EQ(KO_RebootDev(h), RC_OK);
}

TEST_F(SimTest, HandleAfterUnOperateFailsCleanly) {
    auto* c = rack->addEthernet({});
    start();
    KO_HANDLE h = operateEth(c);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    EXPECT_EQ(KO_UnOperateDev(h), 1);
    EXPECT_EQ(KO_UnOperateDev(h), 1);
    EXPECT_EQ(KO_ReadMainProperty(h), RC_SEND_FAILED);
    EXPECT_EQ(get(h, "MAIN_IP"), c->address());  // what was read stays readable
    EXPECT_EQ(KO_ReadMainProperty(nullptr), RC_FAILED);
    int local = 0;
    EXPECT_EQ(KO_ReadMainProperty(&local), RC_FAILED);
    EXPECT_EQ(KO_UnOperateDev(nullptr), 1);
    // Operating again gives a new handle that works.
    KO_HANDLE h2 = operateEth(c);
    ASSERT_NE(h2, nullptr);
    EXPECT_NE(h2, h);
    EXPECT_EQ(KO_ReadMainProperty(h2), RC_OK);
}

TEST_F(SimTest, ConcurrentCallersRunOneAfterAnother) {
    auto* c = rack->addEthernet({});
    start();
    KO_HANDLE h = operateEth(c);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 15; ++i) {
                std::string name = "t" + std::to_string(t) + "-" + std::to_string(i);
                if (KO_ReadMainProperty(h) != RC_OK) ++failures;
                char text[KO_TEXT_SIZE];
                if (KO_GetMainProperty(h, "MAIN_IP", text) != RC_OK || c->address() != text) ++failures;
                if (KO_ModifyMainProperty(h, "MAIN_NAME", name.c_str()) != RC_OK) ++failures;
                int rc = KO_SubmitMainProperty(h, "");
                if (rc != RC_OK && rc != RC_NOTHING_TO_SUBMIT) ++failures;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    // The last write is what the device holds, whole.
    ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
    std::string name = get(h, "MAIN_NAME");
    EXPECT_EQ(name, blockText(c->block(0), 0, 16));
    EXPECT_EQ(name[0], 't');
}
