// Ethernet couplers over UDP: searches through the hub and unicast, property blocks, sub
// modules, and the frames a coupler must refuse or ignore.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "WireClient.h"
#include "sim/SimRack.h"

using namespace vexa::sim;
using namespace vexa::simtest;

namespace {

const Bytes kSearch = {0xA1, 0x15, 0x02, 0x00, 0x00, 0xFF};

class EthCouplerTest : public ::testing::Test {
protected:
    void SetUp() override {
        rack = std::make_unique<SimRack>(RackOptions{.liveData = false});
        EthCouplerConfig a;
        a.subs = {{1, subIdentity(0x4017)}, {3, subIdentity(0x2808)}};
        first = rack->addEthernet(a);
        second = rack->addEthernet({});
        ASSERT_TRUE(first && second);
        ASSERT_EQ(rack->start(), kSimOk);
    }

    std::optional<Datagram> ask(SimCoupler* c, const Bytes& request) {
        udp.send(c->address(), request);
        return udp.receive(1000);
    }

    std::unique_ptr<SimRack> rack;
    SimCoupler* first = nullptr;
    SimCoupler* second = nullptr;
    UdpClient udp;
};

std::array<std::uint8_t, 4> ipBytes(const std::string& dotted) {
    std::uint32_t net = 0;
    vexa::parseIPv4(dotted, net);
    std::array<std::uint8_t, 4> b;
    std::memcpy(b.data(), &net, 4);
    return b;
}

TEST_F(EthCouplerTest, SearchThroughTheHubIsAnsweredOncePerCouplerFromItsOwnAddress) {
    udp.send(rack->hubAddress(), kSearch);
    auto replies = udp.receiveAll(300);
    ASSERT_EQ(replies.size(), 2u);
    std::set<std::string> senders;
    for (const auto& d : replies) {
        senders.insert(d.from);
        ASSERT_EQ(d.bytes.size(), 24u);
        EXPECT_EQ(Bytes(d.bytes.begin(), d.bytes.begin() + 4), (Bytes{0x00, 0x02, 0x00, 0x02}));
        SimCoupler* c = d.from == first->address() ? first : second;
        auto mac = c->mac();
        EXPECT_TRUE(std::equal(mac.begin(), mac.end(), d.bytes.begin() + 4));
        EXPECT_EQ(d.bytes[11] << 8 | d.bytes[12], 9);  // the Ethernet coupler's type
        auto ip = ipBytes(d.from);
        EXPECT_TRUE(std::equal(ip.begin(), ip.end(), d.bytes.begin() + 18)) << "address inside the reply";
    }
    EXPECT_EQ(senders, (std::set<std::string>{first->address(), second->address()}));
}

TEST_F(EthCouplerTest, UnicastSearchIsAnsweredByThatCouplerOnly) {
    udp.send(second->address(), kSearch);
    auto replies = udp.receiveAll(200);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].from, second->address());
    EXPECT_EQ(first->requestCount(), 0u);
}

TEST_F(EthCouplerTest, MainBlockReadCarriesTheBlockWithLengthInWords) {
    auto d = ask(first, ethHeader(0x01, 0x00, 0x00, 0x01, 0x00, first->mac()));
    ASSERT_TRUE(d);
    ASSERT_EQ(d->bytes.size(), 269u);
    EXPECT_EQ(d->bytes[1], 0x01);
    EXPECT_EQ(d->bytes[4] << 8 | d->bytes[5], 128) << "256 bytes are 128 words";
    EXPECT_STREQ(reinterpret_cast<const char*>(&d->bytes[13]), "VEXA-9000");
    auto ip = ipBytes(first->address());
    EXPECT_TRUE(std::equal(ip.begin(), ip.end(), d->bytes.begin() + 13 + 32)) << "MAIN_IP";

    auto b1 = ask(first, ethHeader(0x01, 0x01, 0x00, 0x01, 0x00, first->mac()));
    ASSERT_TRUE(b1);
    ASSERT_EQ(b1->bytes.size(), 269u);
    Bytes block1 = first->block(1);
    EXPECT_TRUE(std::equal(block1.begin(), block1.end(), b1->bytes.begin() + 13));
}

TEST_F(EthCouplerTest, MainBlockWriteIsKeptAndReadsBack) {
    Bytes w = ethHeader(0x02, 0x00, 0x00, 0x00, 0x10, first->mac());
    Bytes password(16, 0);
    w.insert(w.end(), password.begin(), password.end());
    Bytes name = {'L', 'i', 'n', 'e', ' ', '7'};
    name.resize(16, 0);
    w.insert(w.end(), name.begin(), name.end());
    auto reply = ask(first, w);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes, Bytes(w.begin(), w.begin() + 13)) << "a write is answered by its header";

    auto r = ask(first, ethHeader(0x01, 0x00, 0x00, 0x01, 0x00, first->mac()));
    ASSERT_TRUE(r);
    EXPECT_STREQ(reinterpret_cast<const char*>(&r->bytes[13]), "Line 7");
    EXPECT_STREQ(reinterpret_cast<const char*>(first->block(0).data()), "Line 7");
}

TEST_F(EthCouplerTest, PasswordIsCheckedWhenTheCouplerAsksForIt) {
    SimRack guarded(RackOptions{.liveData = false});
    EthCouplerConfig cfg;
    cfg.checkPassword = true;
    SimCoupler* c = guarded.addEthernet(cfg);
    ASSERT_EQ(guarded.start(), kSimOk);
    auto writeName = [&](const char* password) {
        Bytes w = ethHeader(0x02, 0x00, 0x00, 0x00, 0x02, c->mac());
        Bytes pw(16, 0);
        std::memcpy(pw.data(), password, std::strlen(password));
        w.insert(w.end(), pw.begin(), pw.end());
        w.push_back('Q');
        w.push_back(0);
        udp.send(c->address(), w);
        return udp.receive(1000);
    };
    auto refused = writeName("wrong");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->bytes[1], 0x82);
    EXPECT_STREQ(reinterpret_cast<const char*>(c->block(0).data()), "VEXA-9000");
    auto accepted = writeName("123456");
    ASSERT_TRUE(accepted);
    EXPECT_EQ(accepted->bytes[1], 0x02);
    EXPECT_STREQ(reinterpret_cast<const char*>(c->block(0).data()), "Q");
}

TEST_F(EthCouplerTest, FramesForAnotherMacAndShortFramesAreIgnored) {
    udp.send(first->address(), ethHeader(0x01, 0x00, 0x00, 0x01, 0x00, second->mac()));
    udp.send(first->address(), Bytes{0xA1, 0x01, 0x00});
    EXPECT_FALSE(udp.receive(200));
    EXPECT_TRUE(first->waitForRequests(2, 1000));
    EXPECT_EQ(first->replyCount(), 0u);
}

TEST_F(EthCouplerTest, SubSearchListsEightRecordsWithIdentities) {
    auto d = ask(first, ethHeader(0x03, 0, 0, 0, 0, first->mac()));
    ASSERT_TRUE(d);
    ASSERT_EQ(d->bytes.size(), 13u + 8 * 15);
    const std::uint8_t* rec1 = &d->bytes[13];
    EXPECT_EQ(rec1[0], 1);
    EXPECT_EQ(rec1[3] << 8 | rec1[4], 0x4017);
    Identity id = first->subIdentity(1);
    EXPECT_EQ(rec1[5] << 8 | rec1[6], id.mode);
    EXPECT_TRUE(std::equal(id.serial.begin(), id.serial.end(), rec1 + 11));
    EXPECT_EQ(d->bytes[13 + 15], 0) << "position 2 is empty";
    EXPECT_EQ(d->bytes[13 + 2 * 15], 3);
    EXPECT_EQ(d->bytes[13 + 2 * 15 + 3] << 8 | d->bytes[13 + 2 * 15 + 4], 0x2808);
}

// Sub-module writes carry the module's mode and serial number, as its search reported them.
Bytes subWrite(SimCoupler* c, std::uint8_t command, int position, int start, const Bytes& data,
               std::uint16_t mode, const std::array<std::uint8_t, 4>& serial) {
    Bytes w = ethHeader(command, static_cast<std::uint8_t>(position), static_cast<std::uint8_t>(start), 0,
                        static_cast<std::uint8_t>(data.size() / 2), c->mac());
    w.push_back(static_cast<std::uint8_t>(mode >> 8));
    w.push_back(static_cast<std::uint8_t>(mode & 0xFF));
    w.insert(w.end(), serial.begin(), serial.end());
    w.insert(w.end(), data.begin(), data.end());
    return w;
}

TEST_F(EthCouplerTest, SubRegistersWrittenAsDataAndPropertyReadBack) {
    Identity id = first->subIdentity(1);
    auto dataReply = ask(first, subWrite(first, 0x05, 1, 32, {0x00, 0xA5, 0x12, 0x34}, id.mode, id.serial));
    ASSERT_TRUE(dataReply);
    EXPECT_EQ(dataReply->bytes.size(), 13u);
    EXPECT_EQ(dataReply->bytes[1], 0x05);
    auto propReply = ask(first, subWrite(first, 0x09, 1, 128, {0x00, 0x04}, id.mode, id.serial));
    ASSERT_TRUE(propReply);
    EXPECT_EQ(propReply->bytes[1], 0x09);

    auto r = ask(first, ethHeader(0x04, 1, 32, 0, 2, first->mac()));
    ASSERT_TRUE(r);
    ASSERT_EQ(r->bytes.size(), 13u + 4);
    EXPECT_EQ(Bytes(r->bytes.begin() + 13, r->bytes.end()), (Bytes{0x00, 0xA5, 0x12, 0x34}));
    EXPECT_EQ(r->bytes[5], 2) << "the count is echoed";
    EXPECT_EQ(first->subRegister(1, 128), 4);
}

TEST_F(EthCouplerTest, WriteWithAnotherModulesIdentityIsRefused) {
    Identity id = first->subIdentity(1);
    auto wrongSerial = id.serial;
    wrongSerial[3] ^= 0xFF;
    auto r = ask(first, subWrite(first, 0x05, 1, 32, {0x00, 0x01}, id.mode, wrongSerial));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->bytes[1], 0x85);
    auto m = ask(first, subWrite(first, 0x09, 1, 128, {0x00, 0x01}, static_cast<std::uint16_t>(id.mode + 1), id.serial));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->bytes[1], 0x89);
    EXPECT_EQ(first->subRegister(1, 32), 0);
    EXPECT_EQ(first->subRegister(1, 128), 0);
}

TEST_F(EthCouplerTest, ReadsPastRegister255OrOfAbsentModulesAreRefused) {
    auto past = ask(first, ethHeader(0x04, 1, 250, 0, 8, first->mac()));
    ASSERT_TRUE(past);
    EXPECT_EQ(past->bytes[1], 0x84);
    EXPECT_EQ(past->bytes.size(), 13u);
    auto lastOne = ask(first, ethHeader(0x04, 1, 255, 0, 1, first->mac()));
    ASSERT_TRUE(lastOne);
    EXPECT_EQ(lastOne->bytes[1], 0x04) << "register 255 itself is there";
    auto absent = ask(first, ethHeader(0x04, 2, 0, 0, 1, first->mac()));
    ASSERT_TRUE(absent);
    EXPECT_EQ(absent->bytes[1], 0x84);
    auto unknown = ask(first, ethHeader(0x33, 0, 0, 0, 0, first->mac()));
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->bytes[1], 0xB3);
}

TEST_F(EthCouplerTest, RebootsAreAnsweredAndCounted) {
    auto r = ask(first, ethHeader(0x06, 0, 0, 0, 0, first->mac()));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->bytes[1], 0x06);
    auto s = ask(first, ethHeader(0x07, 3, 0, 0, 0, first->mac()));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->bytes[1], 0x07);
    EXPECT_EQ(first->rebootCount(), 1u);
    EXPECT_EQ(first->subRebootCount(), 1u);
    auto log = first->requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], ethHeader(0x06, 0, 0, 0, 0, first->mac())) << "the log keeps the exact bytes";
}

}  // namespace
