// Faults on replies, seen from the client side of each wire: every kind, scripted and by rate.
#include <gtest/gtest.h>

#include <chrono>

#include "WireClient.h"
#include "sim/SimRack.h"

using namespace vexa::sim;
using namespace vexa::simtest;

namespace {

class EthFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        rack = std::make_unique<SimRack>(RackOptions{.liveData = false});
        c = rack->addEthernet({.subs = {{1, subIdentity(0x4017)}}});
        ASSERT_TRUE(c);
        ASSERT_EQ(rack->start(), kSimOk);
    }
    Bytes readBlock(int block) {
        return ethHeader(0x01, static_cast<std::uint8_t>(block), 0x00, 0x01, 0x00, c->mac());
    }
    std::vector<Datagram> ask(const Bytes& request, int quietMs = 250) {
        udp.send(c->address(), request);
        return udp.receiveAll(quietMs);
    }

    std::unique_ptr<SimRack> rack;
    SimCoupler* c = nullptr;
    UdpClient udp;
};

TEST_F(EthFaultTest, DropLeavesOneRequestUnansweredThenRepliesResume) {
    c->pushFault({FaultKind::Drop});
    EXPECT_TRUE(ask(readBlock(0)).empty());
    EXPECT_EQ(c->requestCount(), 1u);
    EXPECT_EQ(c->replyCount(), 0u);
    EXPECT_EQ(ask(readBlock(0)).size(), 1u);
}

TEST_F(EthFaultTest, DelayHoldsTheReplyBack) {
    c->pushFault({FaultKind::Delay, 300});
    auto sent = std::chrono::steady_clock::now();
    udp.send(c->address(), readBlock(0));
    EXPECT_FALSE(udp.receive(100)) << "not before the delay";
    auto d = udp.receive(2000);
    ASSERT_TRUE(d);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(300));
    EXPECT_EQ(d->bytes.size(), 269u);
}

TEST_F(EthFaultTest, CorruptTruncateDuplicateAndStaleAreVisibleOnTheWire) {
    auto clean = ask(readBlock(0));
    ASSERT_EQ(clean.size(), 1u);
    const Bytes good = clean[0].bytes;

    c->pushFault({FaultKind::Corrupt});
    auto corrupt = ask(readBlock(0));
    ASSERT_EQ(corrupt.size(), 1u);
    EXPECT_EQ(corrupt[0].bytes.size(), good.size());
    EXPECT_NE(corrupt[0].bytes[1], 0x01) << "the command no longer matches the request";

    c->pushFault({FaultKind::Truncate});
    auto cut = ask(readBlock(0));
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].bytes.size(), good.size() / 2);

    c->pushFault({FaultKind::Duplicate});
    auto twice = ask(readBlock(0));
    ASSERT_EQ(twice.size(), 2u);
    EXPECT_EQ(twice[0].bytes, good);
    EXPECT_EQ(twice[1].bytes, good);

    ask(readBlock(1));  // the last reply is now block 1's
    c->pushFault({FaultKind::Stale});
    auto stale = ask(readBlock(0));
    ASSERT_EQ(stale.size(), 2u);
    EXPECT_EQ(stale[0].bytes[2], 0x01) << "block 1's old reply first";
    EXPECT_EQ(stale[1].bytes, good);
    EXPECT_EQ(c->replyCount(), 1u + 1 + 1 + 2 + 1 + 2);
}

TEST_F(EthFaultTest, SilentCouplerLogsButNeverAnswers) {
    c->setSilent(true);
    EXPECT_TRUE(ask({0xA1, 0x15, 0x02, 0x00, 0x00, 0xFF}).empty());
    EXPECT_TRUE(ask(readBlock(0)).empty());
    EXPECT_EQ(c->requestCount(), 2u);
    EXPECT_EQ(c->replyCount(), 0u);
    c->clearFaults();
    EXPECT_EQ(ask(readBlock(0)).size(), 1u);
}

TEST_F(EthFaultTest, ScriptedFaultsApplyInOrderOnePerReplyBeforeRates) {
    c->setFaultRates({.drop = 1.0});
    c->pushFault({FaultKind::Duplicate});
    c->pushFault({FaultKind::None});
    EXPECT_EQ(ask(readBlock(0)).size(), 2u);
    EXPECT_EQ(ask(readBlock(0)).size(), 1u);
    EXPECT_EQ(ask(readBlock(0)).size(), 0u) << "the rates take over once the script is spent";
}

// Which of `n` requests got an answer, with drop rate 0.5 from `seed`.
std::string dropPattern(std::uint32_t seed, int n) {
    SimRack rack(RackOptions{.liveData = false});
    SimCoupler* c = rack.addEthernet({});
    if (!c || rack.start() != kSimOk) return "no rack";
    c->setFaultRates({.drop = 0.5, .seed = seed});
    UdpClient udp;
    std::string pattern;
    for (int i = 0; i < n; ++i) {
        udp.send(c->address(), ethHeader(0x06, 0, 0, 0, 0, c->mac()));
        if (!c->waitForRequests(static_cast<std::size_t>(i + 1), 1000)) return "lost request";
        // The reply, if any, left before the request was counted.
        pattern += udp.receive(50) ? 'r' : '.';
    }
    return pattern;
}

TEST(FaultRates, SameSeedGivesTheSameFaults) {
    std::string a = dropPattern(7, 16);
    EXPECT_EQ(a, dropPattern(7, 16));
    EXPECT_NE(a.find('r'), std::string::npos);
    EXPECT_NE(a.find('.'), std::string::npos);
}

TEST(FaultsOnOtherWires, CorruptBreaksTheRtuCrcAndTruncateShortensTheHidReport) {
    SimRack rack(RackOptions{.liveData = false});
    SimCoupler* rs = rack.addSerial({});
    SimCoupler* hid = rack.addHid({});
    ASSERT_TRUE(rs && hid);
    ASSERT_EQ(rack.start(), kSimOk);

    LineClient line(rack.serialPath(0));
    rs->pushFault({FaultKind::Corrupt});
    Bytes search = withCrc({1, 0x46, 'K', 'V', 'M', 'B', 0x01});
    line.send(search);
    Bytes bad = line.receive();
    ASSERT_EQ(bad.size(), 24u);
    EXPECT_NE(withCrc(Bytes(bad.begin(), bad.end() - 2)), bad);
    rs->pushFault({FaultKind::Truncate});
    line.send(search);
    EXPECT_EQ(line.receive().size(), 12u);

    HidClient h(hid->address());
    hid->pushFault({FaultKind::Truncate});
    auto r = h.exchange(0x01, {});
    ASSERT_TRUE(r);
    EXPECT_LT(r->size(), 65u);
    hid->pushFault({FaultKind::Corrupt});
    auto c = h.exchange(0x01, {});
    ASSERT_TRUE(c);
    EXPECT_FALSE(hidCheckHolds(*c));
}

}  // namespace
