// The two coupler helpers against the simulated rack: the Ethernet coupler's search-then-write
// and the RS-485 coupler's private write frame, with their refusals.
#include <gtest/gtest.h>

#include <cstdio>

#include "MbTestSupport.h"
#include "sim/SimRack.h"

namespace mbtest {
namespace {

using vexa::sim::SimRack;

std::string macText(const std::array<std::uint8_t, 6>& m) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    return buf;
}

vexa::sim::Identity identityWith(std::uint16_t mode, std::array<std::uint8_t, 4> serial) {
    auto id = vexa::sim::subIdentity(0x4017);
    id.mode = mode;
    id.serial = serial;
    return id;
}

// All Ethernet cases in one test: the helper's local UDP port is fixed, one user at a time.
TEST(MbCouplerHelpers, EthernetSearchesThenWritesWithTheSubIdentity) {
    TempAppDir dir;
    SimRack rack({.liveData = false});
    auto* eth = rack.addEthernet({.subs = {{1, vexa::sim::subIdentity(0x4017)},
                                           {3, identityWith(0x0A0B, {0xC1, 0xC2, 0xC3, 0xC4})}}});
    ASSERT_NE(eth, nullptr);
    ASSERT_EQ(rack.start(), vexa::sim::kSimOk);
    const std::string addr = eth->address(), mac = macText(eth->mac());
    const short values[3] = {0x1234, -1, 7};

    ASSERT_EQ(KMB_SetRegByVexa(addr.c_str(), mac.c_str(), 3, 2, 3, values), KMB_OK);
    EXPECT_EQ(eth->subRegister(3, 2), 0x1234);
    EXPECT_EQ(eth->subRegister(3, 3), 0xFFFF);
    EXPECT_EQ(eth->subRegister(3, 4), 7);
    auto requests = eth->requests();
    ASSERT_EQ(requests.size(), 2u);
    vexa::sim::Bytes search = {0xA1, 0x03, 0, 0, 0, 0};
    vexa::sim::Bytes write = {0xA1, 0x05, 3, 2, 0, 3};
    const auto macBytes = eth->mac();
    for (auto* frame : {&search, &write}) {
        frame->insert(frame->end(), macBytes.begin(), macBytes.end());
        frame->push_back(0x0A);
    }
    write.insert(write.end(), {0x0A, 0x0B, 0xC1, 0xC2, 0xC3, 0xC4, 0x12, 0x34, 0xFF, 0xFF, 0x00, 0x07});
    EXPECT_EQ(requests[0], search);
    EXPECT_EQ(requests[1], write);
    EXPECT_EQ(write.size(), 19u + 2 * 3);

    // Bit 7 of start asks for the property registers.
    eth->clearLog();
    ASSERT_EQ(KMB_SetRegByVexa(addr.c_str(), mac.c_str(), 1, 0x85, 1, values), KMB_OK);
    EXPECT_EQ(eth->requests().back()[1], 0x09);
    EXPECT_EQ(eth->subRegister(1, 0x85), 0x1234);

    // Refusals before anything is sent.
    eth->clearLog();
    EXPECT_EQ(KMB_SetRegByVexa(addr.c_str(), mac.c_str(), 0, 0, 1, values), KMB_ERR_VEXA_NO_SUB) << "empty slot";
    EXPECT_EQ(KMB_SetRegByVexa(addr.c_str(), mac.c_str(), 256, 0, 1, values), KMB_ERR_VEXA_NO_SUB);
    EXPECT_EQ(KMB_SetRegByVexa(addr.c_str(), mac.c_str(), 1, 256, 1, values), KMB_ERR_VEXA_SEND);
    EXPECT_EQ(KMB_SetRegByVexa(addr.c_str(), mac.c_str(), 1, 0, 256, values), KMB_ERR_VEXA_SEND);
    EXPECT_EQ(KMB_SetRegByVexa(addr.c_str(), mac.c_str(), 1, 0, 0, values), KMB_ERR_VEXA_SEND);
    EXPECT_EQ(KMB_SetRegByVexa(addr.c_str(), mac.c_str(), 1, 0, 1, nullptr), KMB_ERR_VEXA_SEND);
    EXPECT_EQ(KMB_SetRegByVexa(addr.c_str(), "00:11:22", 1, 0, 1, values), KMB_ERR_VEXA_SEND);
    EXPECT_EQ(KMB_SetRegByVexa(addr.c_str(), nullptr, 1, 0, 1, values), KMB_ERR_VEXA_SEND);
    EXPECT_EQ(KMB_SetRegByVexa(nullptr, mac.c_str(), 1, 0, 1, values), KMB_ERR_VEXA_SEND);
    EXPECT_EQ(KMB_SetRegByVexa("", mac.c_str(), 1, 0, 1, values), KMB_ERR_VEXA_SEND);
    EXPECT_EQ(eth->requestCount(), 0u);

    // The coupler's answers.
    EXPECT_EQ(KMB_SetRegByVexa(addr.c_str(), mac.c_str(), 2, 0, 1, values), KMB_ERR_VEXA_NO_SUB) << "no module there";
    const short ten[10] = {};
    EXPECT_EQ(KMB_SetRegByVexa(addr.c_str(), mac.c_str(), 1, 250, 10, ten), KMB_ERR_VEXA_REFUSED);
    eth->pushFault({vexa::sim::FaultKind::None});
    eth->pushFault({vexa::sim::FaultKind::Drop});
    EXPECT_EQ(KMB_SetRegByVexa(addr.c_str(), mac.c_str(), 1, 0, 1, values), KMB_ERR_VEXA_NO_REPLY);
    eth->pushFault({vexa::sim::FaultKind::Truncate});
    EXPECT_EQ(KMB_SetRegByVexa(addr.c_str(), mac.c_str(), 1, 0, 1, values), KMB_ERR_VEXA_SEARCH);
    eth->setSilent(true);
    EXPECT_EQ(KMB_SetRegByVexa(addr.c_str(), mac.c_str(), 1, 0, 1, values), KMB_ERR_VEXA_SEARCH);
}

class MbRsHelper : public ::testing::Test {
protected:
    void SetUp() override {
        coupler_ = rack_.addSerial({.line = 0, .station = 1, .subs = {{2, vexa::sim::subIdentity(0x4017)}}});
        ASSERT_NE(coupler_, nullptr);
        ASSERT_EQ(rack_.start(), vexa::sim::kSimOk);
    }
    void* connect(int framing) {
        void* h = KMB_SerConnectMDBServer(framing, rack_.serialPath(0).c_str(), 115200, 8, 0, 0, 1, 0, 0, 0, 200);
        writes_ = 0;
        KMB_SetCommunicationHandle(h, &MbRsHelper::countWrites, 1);
        return h;
    }
    static void countWrites(unsigned, intptr_t direction, intptr_t) { writes_ += direction == KMB_NOTIFY_WRITE; }

    TempAppDir dir_;
    SimRack rack_{{.liveData = false}};
    vexa::sim::SimCoupler* coupler_ = nullptr;
    static inline int writes_ = 0;
};

TEST_F(MbRsHelper, RtuFrameIsStationPrivateWriteAndCrc) {
    void* h = connect(KMB_FRAMING_RTU);
    ASSERT_NE(h, nullptr);
    const short values[3] = {0x0102, 0x0304, -2};
    ASSERT_EQ(KMB_SetRegByRSVexa(h, 2, 5, 3, values), KMB_OK);  // sub 2 answers station + 1
    ASSERT_TRUE(coupler_->waitForRequests(1, 1000));
    const auto frame = coupler_->requests().back();
    const vexa::sim::Bytes body = {2, 0x47, 'K', 'V', 'M', 'B', 0x05, 0, 5, 0, 3, 6, 1, 2, 3, 4, 0xFF, 0xFE};
    ASSERT_EQ(frame.size(), 18u + 2);
    EXPECT_EQ(vexa::sim::Bytes(frame.begin(), frame.begin() + 18), body);
    const std::uint16_t crc = testCrc16(body.data(), body.size());
    EXPECT_EQ(frame[18], crc & 0xFF);
    EXPECT_EQ(frame[19], crc >> 8);
    ASSERT_TRUE(coupler_->waitForReplies(1, 1000));
    EXPECT_EQ(coupler_->subRegister(2, 5), 0x0102);
    EXPECT_EQ(coupler_->subRegister(2, 7), 0xFFFE);
    KMB_DisConnectMDBServer(h);
}

// The rack's Modbus TCP gateway: the unit id is the station; the sub module answers its
// registers as it does on the line, and a station nobody answers is the gateway's exception.
TEST_F(MbRsHelper, TheRacksModbusTcpGatewayReachesTheLine) {
    const std::string endpoint = rack_.modbusTcpEndpoint();
    const auto colon = endpoint.rfind(':');
    ASSERT_NE(colon, std::string::npos) << endpoint;
    ASSERT_TRUE(coupler_->setSubRegister(2, 5, 0x1234));
    void* h = KMB_TCPConnectMDBServer(endpoint.substr(0, colon).c_str(), std::stoi(endpoint.substr(colon + 1)), 0);
    ASSERT_NE(h, nullptr);
    short value = 0;
    EXPECT_EQ(KMB_ReadHoldReg(h, 2, 5, 1, &value, 0), KMB_OK);  // sub 2 answers station + 1
    EXPECT_EQ(static_cast<std::uint16_t>(value), 0x1234);
    EXPECT_EQ(KMB_ReadHoldReg(h, 99, 5, 1, &value, 0), KMB_EX_GATEWAY_TARGET);
    KMB_DisConnectMDBServer(h);
}

TEST_F(MbRsHelper, AsciiSendIsReportedAsSent) {
    void* h = connect(KMB_FRAMING_ASCII);
    ASSERT_NE(h, nullptr);
    const short values[3] = {11, 22, 33};
    EXPECT_EQ(KMB_SetRegByRSVexa(h, 2, 0, 3, values), KMB_OK);
    ASSERT_TRUE(coupler_->waitForReplies(1, 1000));
    EXPECT_EQ(coupler_->subRegister(2, 2), 33);
    KMB_DisConnectMDBServer(h);
}

TEST_F(MbRsHelper, OutOfRangeFieldsAreRefusedUnsent) {
    void* h = connect(KMB_FRAMING_RTU);
    ASSERT_NE(h, nullptr);
    std::vector<short> values(256, 1);
    EXPECT_EQ(KMB_SetRegByRSVexa(h, 2, 0, 200, values.data()), KMB_ERR_RS_SEND);
    EXPECT_EQ(KMB_SetRegByRSVexa(h, 2, 0, 128, values.data()), KMB_ERR_RS_SEND);
    EXPECT_EQ(KMB_SetRegByRSVexa(h, 2, 256, 1, values.data()), KMB_ERR_RS_SEND);
    EXPECT_EQ(KMB_SetRegByRSVexa(h, 2, 0, 0, values.data()), KMB_ERR_RS_SEND);
    EXPECT_EQ(KMB_SetRegByRSVexa(h, 256, 0, 1, values.data()), KMB_ERR_RS_SEND);
    EXPECT_EQ(KMB_SetRegByRSVexa(h, 2, 0, 1, nullptr), KMB_ERR_RS_SEND);
    EXPECT_EQ(writes_, 0) << "nothing went out";
    EXPECT_EQ(KMB_SetRegByRSVexa(h, 2, 255, 127, values.data()), KMB_OK);
    EXPECT_EQ(writes_, 1);
    KMB_DisConnectMDBServer(h);
}

}  // namespace
}  // namespace mbtest
