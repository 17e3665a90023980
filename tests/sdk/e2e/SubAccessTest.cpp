// Selecting sub modules, the read flags, register access by address, raw frames and reboots,
// and what bad handles, arguments and replies give.
#include <chrono>

#include "SubSupport.h"

using namespace vexa;
using namespace vexa::test;

namespace {

class SubAccess : public SubTest, public ::testing::WithParamInterface<Wire> {};

sim::Identity unknownType() { return sim::subIdentity(0x1234); }

}  // namespace

TEST_P(SubAccess, SelectionReadFlagsAndIdentity) {
    Wire wire = GetParam();
    auto* c = add(wire, {{1, sim::subIdentity(0x4017)}, {2, unknownType()}, {4, sim::subIdentity(0x2808)}}, 3);
    start();
    KO_HANDLE h = operate(wire, c);
    ASSERT_NE(h, nullptr);
    int a1 = addressOf(wire, c, 1);
    KO_SUBHANDLE s = KO_SetOperateSubDev(h, a1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(KO_SetOperateSubDev(h, a1), s);                         // the same object again
    EXPECT_EQ(KO_SetOperateSubDev(h, addressOf(wire, c, 2)), nullptr);  // no class for the type
    EXPECT_EQ(KO_SetOperateSubDev(h, addressOf(wire, c, 3)), nullptr);  // empty slot
    EXPECT_EQ(KO_SetOperateSubDev(h, 0), nullptr);

    EXPECT_EQ(prop(s, "SLAVER_TYPE"), "rc=301");
    EXPECT_EQ(data(s, "DATA_AIN_0"), "rc=302");
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_TYPE_0", "1"), RC_NOT_READ);
    EXPECT_EQ(KO_ModifySubDevData(s, "DATA_AIN_0", "1"), RC_DATA_NOT_READ);
    ASSERT_EQ(KO_ReadSubDevProperty(s), RC_OK);
    ASSERT_EQ(KO_ReadSubDevData(s), RC_OK);
    EXPECT_EQ(prop(s, "SLAVER_ADDRESS"), std::to_string(a1));
    EXPECT_EQ(prop(s, "SLAVER_MANFT"), "0x4b58");
    EXPECT_EQ(prop(s, "SLAVER_TYPE"), "VEXA-4017");
    EXPECT_EQ(prop(s, "SLAVER_MODE"), "0001");
    EXPECT_EQ(prop(s, "SLAVER_HARDVER"), "V1.00");
    EXPECT_EQ(prop(s, "SLAVER_SN"), "20 24 40 17 ");
    EXPECT_EQ(prop(s, "NO_SUCH_KEY"), "rc=303");
    EXPECT_EQ(data(s, "NO_SUCH_KEY"), "rc=304");
    EXPECT_EQ(data(s, "SET_AIN_TYPE_0"), "rc=304");  // properties are not data
    EXPECT_EQ(KO_GetSubDevProperty(s, nullptr, nullptr), RC_KEY_UNKNOWN);
    EXPECT_EQ(KO_GetSubDevProperty(s, "SLAVER_TYPE", nullptr), RC_FAILED);

    // Two modules read one after the other keep their own values.
    KO_SUBHANDLE d = KO_SetOperateSubDev(h, addressOf(wire, c, 4));
    ASSERT_NE(d, nullptr);
    c->setSubRegister(4, 128, 0x0003);
    ASSERT_EQ(KO_ReadSubDevProperty(d), RC_OK);
    ASSERT_EQ(KO_ReadSubDevProperty(s), RC_OK);
    EXPECT_EQ(prop(d, "SET_DOUT_MODE_1"), "1");
    EXPECT_EQ(prop(s, "SET_AIN_TYPE_1"), "1");
}

// Register access by address: writes then reads give the same bytes, and a read never writes
// past the length asked for, whatever the reply carries.
TEST_P(SubAccess, ByAddressReadsAndWrites) {
    Wire wire = GetParam();
    auto* c = add(wire, {{1, sim::subIdentity(0x4400)}});
    start();
    KO_HANDLE h = operate(wire, c);
    ASSERT_NE(h, nullptr);
    KO_SUBHANDLE s = KO_SetOperateSubDev(h, addressOf(wire, c, 1));
    ASSERT_NE(s, nullptr);

    const std::uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    ASSERT_EQ(KO_WriteSubDataByAddr(s, 97, 6, bytes), RC_OK);
    EXPECT_EQ(c->subRegister(1, 97), 0x1234);
    EXPECT_EQ(c->subRegister(1, 99), 0x9ABC);
    // Property writes count bytes, as callers pass them: 4 bytes are two registers.
    ASSERT_EQ(KO_WriteSubPropByAddr(s, 140, 4, bytes), RC_OK);
    EXPECT_EQ(c->subRegister(1, 141), 0x5678);
    ASSERT_EQ(KO_WriteSubPropByAddr(s, 142, 1, bytes + 4), RC_OK);
    EXPECT_EQ(c->subRegister(1, 142), 0x9A00);

    std::uint8_t buf[80];
    std::memset(buf, 0xCC, sizeof buf);
    int len = -1;
    ASSERT_EQ(KO_ReadSubPropByAddr(s, 140, 2, buf, &len), RC_OK);
    EXPECT_EQ(len, 4);
    EXPECT_EQ(std::vector<int>(buf, buf + 5), (std::vector<int>{0x12, 0x34, 0x56, 0x78, 0xCC}));

    std::memset(buf, 0xCC, sizeof buf);
    ASSERT_EQ(KO_ReadSubDataByAddr(s, 97, 6, buf, &len), RC_OK);
    if (wire == Wire::Hid) {
        // [received - 2][the first received - 2 bytes]
        EXPECT_EQ(len, 4);
        EXPECT_EQ(std::vector<int>(buf, buf + 6), (std::vector<int>{4, 0x12, 0x34, 0x56, 0x78, 0xCC}));
    } else {
        EXPECT_EQ(len, 6);
        EXPECT_EQ(std::vector<int>(buf, buf + 7), (std::vector<int>{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xCC}));
    }
    // 66 bytes asked for: at most 66 written, whatever the transport.
    std::memset(buf, 0xCC, sizeof buf);
    ASSERT_EQ(KO_ReadSubDataByAddr(s, 0, 66, buf, &len), RC_OK);
    EXPECT_LE(len, 66);
    for (int i = 66; i < 80; ++i) EXPECT_EQ(buf[i], 0xCC) << i;
    // An odd length: the last register is read, half of it copied.
    std::memset(buf, 0xCC, sizeof buf);
    ASSERT_EQ(KO_ReadSubDataByAddr(s, 97, 5, buf, &len), RC_OK);
    EXPECT_EQ(buf[5], 0xCC);

    // Arguments that name no registers or no buffer.
    EXPECT_EQ(KO_ReadSubDataByAddr(s, 97, 6, nullptr, &len), RC_FAILED);
    EXPECT_EQ(KO_ReadSubDataByAddr(s, 97, 0, buf, &len), RC_FAILED);
    EXPECT_EQ(KO_ReadSubDataByAddr(s, 255, 4, buf, &len), RC_FAILED);
    EXPECT_EQ(KO_ReadSubPropByAddr(s, -1, 1, buf, &len), RC_FAILED);
    EXPECT_EQ(KO_ReadSubPropByAddr(s, 140, 1, buf, nullptr), RC_FAILED);
    EXPECT_EQ(KO_WriteSubDataByAddr(s, 97, -2, bytes), RC_FAILED);
    EXPECT_EQ(KO_WriteSubPropByAddr(s, 140, 2, nullptr), RC_FAILED);
    EXPECT_EQ(KO_WriteSubPropByAddr(s, 254, 6, bytes), RC_FAILED);

    // A module that does not answer: no reply, and the caller's buffer untouched.
    c->setSilent(true);
    std::memset(buf, 0xCC, sizeof buf);
    EXPECT_EQ(KO_ReadSubPropByAddr(s, 140, 2, buf, &len), RC_NO_REPLY);
    EXPECT_EQ(buf[0], 0xCC);
}

TEST_P(SubAccess, RebootAndRawFrames) {
    Wire wire = GetParam();
    auto* c = add(wire, {{1, sim::subIdentity(0x2808)}});
    start();
    KO_HANDLE h = operate(wire, c);
    ASSERT_NE(h, nullptr);
    KO_SUBHANDLE s = KO_SetOperateSubDev(h, addressOf(wire, c, 1));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(KO_RebootSubDev(h, addressOf(wire, c, 1)), RC_OK);
    EXPECT_TRUE(c->waitForRequests(c->requestCount(), 100));
    EXPECT_EQ(c->subRebootCount(), 1u);
    EXPECT_EQ(KO_RebootSubDev(h, 0), RC_FAILED);
    c->setSilent(true);
    EXPECT_EQ(KO_RebootSubDev(h, addressOf(wire, c, 1)), RC_OK);  // a restarting module may not answer
    c->setSilent(false);

    // A raw request through the sub module's coupler, and its reply.
    std::vector<std::uint8_t> req;
    if (wire == Wire::Hid) req = {0x7E, 0x00, 0x10, 0x01};
    else if (wire == Wire::Eth) req = {0xA1, 0x03, 0, 0, 0, 0};
    else req = {static_cast<std::uint8_t>(c->station()), 0x46, 'K', 'V', 'M', 'B', 0x02};
    if (wire == Wire::Eth) {
        auto mac = c->mac();
        req.insert(req.end(), mac.begin(), mac.end());
        req.push_back(0x0A);
    }
    if (wire != Wire::Ascii) {
        EXPECT_GT(KO_SendSubCmd(s, req.data(), static_cast<int>(req.size()), 1), 0);
        std::uint8_t buf[300] = {};
        EXPECT_GT(KO_ReadSubBuf(s, buf, sizeof buf), 0);
    }
    // No reply: nothing copied, the buffer as it was.
    c->setSilent(true);
    EXPECT_GT(KO_SendSubCmd(s, req.data(), static_cast<int>(req.size()), 1), 0);
    std::uint8_t buf[64];
    std::memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(KO_ReadSubBuf(s, buf, sizeof buf), 0);
    for (auto b : buf) ASSERT_EQ(b, 0x5A);
}

INSTANTIATE_TEST_SUITE_P(Wires, SubAccess, ::testing::Values(Wire::Eth, Wire::Rtu, Wire::Ascii, Wire::Hid),
                         [](const auto& info) { return std::string(wireName(info.param)); });

TEST_F(SubTest, BadHandlesAreRefused) {
    int local = 0;
    void* foreign = &local;
    for (void* s : {static_cast<void*>(nullptr), foreign}) {
        char text[KO_TEXT_SIZE];
        int len;
        std::uint8_t buf[8] = {};
        EXPECT_EQ(KO_ReadSubDevProperty(s), RC_FAILED);
        EXPECT_EQ(KO_ReadSubDevData(s), RC_FAILED);
        EXPECT_EQ(KO_GetSubDevProperty(s, "SLAVER_TYPE", text), RC_FAILED);
        EXPECT_EQ(KO_GetSubDevData(s, "DATA_AIN_0", text), RC_FAILED);
        EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_TYPE_0", "1"), RC_FAILED);
        EXPECT_EQ(KO_ModifySubDevData(s, "DATA_AOUT_0", "1"), RC_FAILED);
        EXPECT_EQ(KO_ResetSubDevProperty(s), RC_FAILED);
        EXPECT_EQ(KO_ResetSubDevData(s), RC_FAILED);
        EXPECT_EQ(KO_SubmitSubDevProperty(s), RC_FAILED);
        EXPECT_EQ(KO_SubmitSubDevData(s), RC_FAILED);
        EXPECT_EQ(KO_ReadSubPropByAddr(s, 0, 1, buf, &len), RC_FAILED);
        EXPECT_EQ(KO_WriteSubPropByAddr(s, 0, 1, buf), RC_FAILED);
        EXPECT_EQ(KO_ReadSubDataByAddr(s, 0, 2, buf, &len), RC_FAILED);
        EXPECT_EQ(KO_WriteSubDataByAddr(s, 0, 2, buf), RC_FAILED);
        EXPECT_EQ(KO_SendSubCmd(s, buf, 4, 0), -1);
        EXPECT_EQ(KO_ReadSubBuf(s, buf, sizeof buf), 0);
        EXPECT_EQ(KO_SetOperateSubDev(s, 1), nullptr);
        EXPECT_EQ(KO_RebootSubDev(s, 1), RC_FAILED);
    }
}

// USB by-address reads page the bytes the coupler holds: a request for more than its
// collection buffer, an empty page or a reply that is no page are bad replies, never a hang.
TEST_F(SubTest, UsbByAddressPagesAreBounded) {
    start();
    enum class Page { Full, Empty, Error } mode = Page::Full;
    FakeHidCoupler fake(rack->hidFolder(), 0x4400, [&](const std::vector<std::uint8_t>& f) -> std::optional<std::vector<std::uint8_t>> {
        switch (f[2]) {
            case 0x81: return FakeHidCoupler::frame(0x81, {f.size() > 5 ? f[5] : std::uint8_t(0)});
            case 0x82: {
                if (mode == Page::Error) return FakeHidCoupler::frame(0xFF, {});
                if (mode == Page::Empty) return FakeHidCoupler::frame(0x82, {});
                // More than was asked for: the library takes only what it asked.
                return FakeHidCoupler::frame(0x82, std::vector<std::uint8_t>(50, 0x11));
            }
            default: return FakeHidCoupler::frame(0xFF, {});
        }
    });
    ASSERT_TRUE(fake.ok());
    KO_HIDSearchAll();
    char path[KO_HID_PATH_SIZE];
    short m, t, mo, hw, sw;
    int sn;
    KO_HANDLE h = nullptr;
    while (KO_HIDGetSearchDev(path, &m, &t, &mo, &hw, &sw, &sn) == RC_OK)
        if (fake.path() == path) h = KO_HIDSetOperateDev(path, static_cast<unsigned short>(t), 0);
    ASSERT_NE(h, nullptr);
    KO_SUBHANDLE s = KO_SetOperateSubDev(h, 1);
    ASSERT_NE(s, nullptr);

    std::uint8_t buf[600];
    std::memset(buf, 0xCC, sizeof buf);
    int len = -1;
    ASSERT_EQ(KO_ReadSubDataByAddr(s, 0, 10, buf, &len), RC_OK);
    EXPECT_EQ(len, 8);
    EXPECT_EQ(buf[0], 8);
    EXPECT_EQ(buf[1], 0x11);
    EXPECT_EQ(buf[9], 0xCC);
    EXPECT_EQ(KO_ReadSubDataByAddr(s, 0, 499, buf, &len), RC_BAD_REPLY);
    EXPECT_EQ(KO_ReadSubDataByAddr(s, 0, 1, buf, &len), RC_BAD_REPLY);  // fewer than 2 bytes
    mode = Page::Empty;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(KO_ReadSubDataByAddr(s, 0, 10, buf, &len), RC_BAD_REPLY);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    mode = Page::Error;
    EXPECT_EQ(KO_ReadSubDataByAddr(s, 0, 10, buf, &len), RC_BAD_REPLY);

    // A USB write goes out in pieces of 32 bytes numbered 0, 1, ... and 255 for the last.
    std::vector<std::uint8_t> seventy(70, 0x42);
    std::size_t before = fake.scripted().size();
    EXPECT_EQ(KO_WriteSubDataByAddr(s, 10, 70, seventy.data()), RC_BAD_REPLY);  // this fake refuses writes
    auto sent = fake.scripted();
    ASSERT_EQ(sent.size(), before + 1);  // the first refused piece ends the write
    EXPECT_EQ(sent.back()[2], 0x80);
    EXPECT_EQ(sent.back()[3], 0);
}

// The same write against the simulated coupler, which takes the pieces.
TEST_F(SubTest, UsbWriteByAddressInNumberedPieces) {
    auto* c = add(Wire::Hid, {{1, sim::subIdentity(0x4400)}});
    start();
    KO_HANDLE h = operateHid(c);
    ASSERT_NE(h, nullptr);
    KO_SUBHANDLE s = KO_SetOperateSubDev(h, 1);
    ASSERT_NE(s, nullptr);
    std::vector<std::uint8_t> seventy(70);
    for (std::size_t i = 0; i < seventy.size(); ++i) seventy[i] = static_cast<std::uint8_t>(i);
    c->clearLog();
    ASSERT_EQ(KO_WriteSubDataByAddr(s, 100, 70, seventy.data()), RC_OK);
    auto requests = c->requests();
    ASSERT_EQ(requests.size(), 3u);
    // report ID, 7E, length, 80, sequence, sub address, start, data
    EXPECT_EQ(requests[0][4], 0);
    EXPECT_EQ(requests[1][4], 1);
    EXPECT_EQ(requests[2][4], 255);
    EXPECT_EQ(requests[0][2], 5 + 3 + 32);
    EXPECT_EQ(requests[2][2], 5 + 3 + 6);
    EXPECT_EQ(c->subRegister(1, 100), 0x0001);
    EXPECT_EQ(c->subRegister(1, 134), 0x4445);
}
