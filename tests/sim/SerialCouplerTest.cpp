// RS-485 couplers on a pty: RTU and ASCII framing, the private functions, standard register
// functions for sub-module data, and the frames a line must leave unanswered.
#include <gtest/gtest.h>

#include <thread>

#include "WireClient.h"
#include "sim/SimRack.h"

using namespace vexa::sim;
using namespace vexa::simtest;

namespace {

Bytes priv(std::uint8_t address, std::uint8_t function, std::uint8_t sub, const Bytes& args = {}) {
    Bytes b;
    b.reserve(7 + args.size());  // built by push_back: g++ 12 warns wrongly on inserts into short vectors
    for (std::uint8_t x : {address, function, std::uint8_t{'K'}, std::uint8_t{'V'}, std::uint8_t{'M'},
                           std::uint8_t{'B'}, sub})
        b.push_back(x);
    for (std::uint8_t x : args) b.push_back(x);
    return b;
}

class SerialCouplerTest : public ::testing::Test {
protected:
    void SetUp() override {
        rack = std::make_unique<SimRack>(RackOptions{.liveData = false});
        SerialCouplerConfig a;
        a.station = 1;
        a.subs = {{1, subIdentity(0x4017)}, {2, subIdentity(0x2808)}};
        SerialCouplerConfig b;
        b.station = 9;
        b.subs = {{1, subIdentity(0x1804)}};
        low = rack->addSerial(a);
        high = rack->addSerial(b);
        ASSERT_TRUE(low && high);
        ASSERT_EQ(rack->start(), kSimOk);
        line = std::make_unique<LineClient>(rack->serialPath(0));
        ASSERT_TRUE(line->isOpen());
    }

    Bytes rtu(const Bytes& body) {
        line->send(withCrc(body));
        return line->receive();
    }

    std::unique_ptr<SimRack> rack;
    SimCoupler* low = nullptr;
    SimCoupler* high = nullptr;
    std::unique_ptr<LineClient> line;
};

TEST_F(SerialCouplerTest, RtuStationSearchCarriesTheIdentityUnderAValidCrc) {
    Bytes r = rtu(priv(1, 0x46, 0x01));
    ASSERT_EQ(r.size(), 22u + 2);
    EXPECT_EQ(withCrc(Bytes(r.begin(), r.end() - 2)), r);
    EXPECT_EQ(Bytes(r.begin(), r.begin() + 8), priv(1, 0x46, 0x01, {0x00}));
    Identity id = low->identity();
    EXPECT_EQ(r[8] << 8 | r[9], id.manufacturer);
    EXPECT_EQ(r[10] << 8 | r[11], 0x9010);
    EXPECT_EQ(r[14] << 8 | r[15], id.hardVer);
    EXPECT_TRUE(std::equal(id.serial.begin(), id.serial.end(), r.begin() + 18));
}

TEST_F(SerialCouplerTest, AsciiRequestIsAnsweredInAscii) {
    line->send(asciiFrame(priv(9, 0x46, 0x01)));
    Bytes r = line->receive();
    auto body = asciiBody(r);
    ASSERT_TRUE(body) << "':' hex LRC CR LF with a valid LRC";
    ASSERT_EQ(body->size(), 22u);
    EXPECT_EQ((*body)[0], 9);
    EXPECT_EQ((*body)[10] << 8 | (*body)[11], 0x9010);
}

TEST_F(SerialCouplerTest, DamagedOrForeignFramesGetNoReply) {
    Bytes bad = withCrc(priv(1, 0x46, 0x01));
    bad.back() ^= 0x01;
    line->send(bad);
    EXPECT_TRUE(line->receive(200).empty());
    Bytes badAscii = asciiFrame(priv(1, 0x46, 0x01));
    badAscii[badAscii.size() - 3] ^= 0x01;  // the LRC's last digit
    line->send(badAscii);
    EXPECT_TRUE(line->receive(200).empty());
    line->send(withCrc(priv(5, 0x46, 0x01)));  // nobody at station 5
    EXPECT_TRUE(line->receive(200).empty());
    EXPECT_EQ(low->requestCount(), 2u) << "damaged frames reach the coupler they name";
    EXPECT_EQ(low->requestCount() + high->requestCount(), 2u);
    EXPECT_EQ(low->replyCount() + high->replyCount(), 0u);
}

TEST_F(SerialCouplerTest, SubSearchListsPresentModulesOfTheAskedStation) {
    Bytes r = rtu(priv(9, 0x46, 0x02));
    ASSERT_EQ(r.size(), 8u + 16 + 2);
    EXPECT_EQ(r[7], 1) << "record count";
    EXPECT_EQ(r[8], 1);
    EXPECT_EQ(r[9], 1);
    EXPECT_EQ(r[12] << 8 | r[13], 0x1804);
    Bytes two = rtu(priv(1, 0x46, 0x02));
    ASSERT_EQ(two.size(), 8u + 32 + 2);
    EXPECT_EQ(two[7], 2);
    EXPECT_EQ(two[8 + 16], 2);
    EXPECT_EQ(two[8 + 16 + 4] << 8 | two[8 + 16 + 5], 0x2808);
}

TEST_F(SerialCouplerTest, SubDataTravelsInStandardFunctionsAtStationPlusPositionMinusOne) {
    // Station 1, position 2 answers address 2; station 9, position 1 answers address 9.
    Bytes w = rtu({2, 0x10, 0x00, 0x20, 0x00, 0x02, 0x04, 0x00, 0x0F, 0xBE, 0xEF});
    EXPECT_EQ(w, withCrc({2, 0x10, 0x00, 0x20, 0x00, 0x02}));
    Bytes r = rtu({2, 0x03, 0x00, 0x20, 0x00, 0x02});
    EXPECT_EQ(r, withCrc({2, 0x03, 0x04, 0x00, 0x0F, 0xBE, 0xEF}));
    EXPECT_EQ(low->subRegister(2, 33), 0xBEEF);

    Bytes w9 = rtu({9, 0x10, 0x00, 0x80, 0x00, 0x01, 0x02, 0x0F, 0xFF});
    EXPECT_EQ(w9, withCrc({9, 0x10, 0x00, 0x80, 0x00, 0x01}));
    EXPECT_EQ(high->subRegister(1, 128), 0x0FFF);
    EXPECT_TRUE(rtu({3, 0x03, 0x00, 0x00, 0x00, 0x01}).empty()) << "position 3 of station 1 is empty";
}

TEST_F(SerialCouplerTest, SubPropertiesTravelInPrivateFunctions) {
    Bytes w = rtu(priv(1, 0x47, 0x05, {0x00, 0x80, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x11}));
    EXPECT_EQ(w, withCrc(priv(1, 0x47, 0x05, {0x00, 0x80, 0x00, 0x02})));
    Bytes r = rtu(priv(1, 0x47, 0x04, {0x00, 0x80, 0x00, 0x02}));
    EXPECT_EQ(r, withCrc(priv(1, 0x47, 0x04, {0x04, 0x00, 0x01, 0x00, 0x11})));
}

TEST_F(SerialCouplerTest, RegistersPast255GiveExceptionTwoInTheRequestsFraming) {
    EXPECT_EQ(rtu({1, 0x03, 0x00, 0xFF, 0x00, 0x02}), withCrc({1, 0x83, 0x02}));
    EXPECT_EQ(rtu({1, 0x03, 0x01, 0x00, 0x00, 0x01}), withCrc({1, 0x83, 0x02}));
    EXPECT_EQ(rtu(priv(1, 0x47, 0x04, {0x00, 0xF0, 0x00, 0x20})), withCrc({1, 0xC7, 0x02}));
    line->send(asciiFrame({1, 0x10, 0x00, 0xFF, 0x00, 0x02, 0x04, 0, 0, 0, 0}));
    auto body = asciiBody(line->receive());
    ASSERT_TRUE(body);
    EXPECT_EQ(*body, (Bytes{1, 0x90, 0x02}));
}

TEST_F(SerialCouplerTest, MainBlockReadsAndWritesBack) {
    Bytes r = rtu(priv(1, 0x47, 0x01));
    ASSERT_EQ(r.size(), 8u + 64 + 2);
    EXPECT_EQ(r[7], 64);
    EXPECT_STREQ(reinterpret_cast<const char*>(&r[8]), "VEXA-9010");
    Bytes w = rtu(priv(1, 0x47, 0x02, {32, 2, 4, 1}));
    EXPECT_EQ(w, withCrc(priv(1, 0x47, 0x02, {32, 2})));
    Bytes block = low->block(0);
    EXPECT_EQ(block[32], 4);
    EXPECT_EQ(block[33], 1);
    EXPECT_EQ(rtu(priv(1, 0x47, 0x02, {60, 8, 0, 0, 0, 0, 0, 0, 0, 0})), withCrc({1, 0xC7, 0x02}))
        << "a write past the 64-byte block";
}

TEST_F(SerialCouplerTest, RebootsAreAnswered) {
    EXPECT_EQ(rtu(priv(9, 0x47, 0x03)), withCrc(priv(9, 0x47, 0x03)));
    EXPECT_EQ(rtu(priv(9, 0x47, 0x06)), withCrc(priv(9, 0x47, 0x06)));
    EXPECT_EQ(high->rebootCount(), 1u);
    EXPECT_EQ(high->subRebootCount(), 1u);
}

TEST_F(SerialCouplerTest, FramesAreCutByLengthAndBySilence) {
    // Two requests in one write: two replies.
    Bytes both = withCrc(priv(1, 0x46, 0x01));
    Bytes second = withCrc(priv(9, 0x46, 0x01));
    both.insert(both.end(), second.begin(), second.end());
    line->send(both);
    ASSERT_TRUE(low->waitForReplies(1, 1000));
    ASSERT_TRUE(high->waitForReplies(1, 1000));
    // One request in two writes with a short pause is still one frame.
    line->receive(100);
    Bytes one = withCrc({1, 0x03, 0x00, 0x00, 0x00, 0x01});
    line->send(Bytes(one.begin(), one.begin() + 3));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    line->send(Bytes(one.begin() + 3, one.end()));
    EXPECT_EQ(line->receive(), withCrc({1, 0x03, 0x02, 0x00, 0x00}));
    // A frame of an unknown function ends at the silence and is answered with exception 1.
    EXPECT_EQ(rtu({1, 0x2B, 0x0E, 0x01, 0x00}), withCrc({1, 0xAB, 0x01}));
}

}  // namespace
