// VexaBootPort's DEV_ functions in-process against a stand-in for the device library, so that
// every call the plug-in makes is seen and every answer it gets is the test's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "BootPortContract.h"
#include "FakeSdk.h"
#include "VexaBootParams.h"
#include "VexaSdk.h"

namespace {

using fakesdk::Bytes;
using fakesdk::Coupler;
using fakesdk::Slot;
using fakesdk::state;

constexpr short kBoot = static_cast<short>(0x9999);

class VexaBootPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("VEXA_BOOT_PACING", "0", 1);
        fakesdk::reset();
    }
    void TearDown() override { DEV_Close(); }

    static VexaPortParams params(std::uint8_t transport = VEXA_PORT_ETHERNET, std::uint8_t filter = 0) {
        VexaPortParams p{};
        p.magic = VEXA_PORT_MAGIC;
        p.transport = transport;
        p.subAddress = filter;
        return p;
    }
    // One coupler with the given modules, opened over Ethernet and searched.
    int openWith(std::vector<Slot> slots, std::uint8_t filter = 0) {
        state().couplers = {Coupler{std::move(slots)}};
        VexaPortParams p = params(VEXA_PORT_ETHERNET, filter);
        EXPECT_EQ(DEV_Open(&p), 1);
        return DEV_Search(handles);
    }
    static std::vector<fakesdk::SubCall> callsOf(const std::string& what) {
        std::vector<fakesdk::SubCall> out;
        for (const auto& c : state().calls)
            if (c.what == what) out.push_back(c);
        return out;
    }

    int handles[DEV_MAX_HANDLES] = {};
};

TEST_F(VexaBootPortTest, OpenTakesDefaultsAndRefusesAnotherMagicAndBadPortTexts) {
    state().couplers = {Coupler{{{1, kBoot}}}};
    EXPECT_EQ(DEV_Open(nullptr), 1);
    EXPECT_EQ(DEV_Search(handles), 1);
    EXPECT_EQ(state().searches.front(), "EthSearchAll") << "defaults: Ethernet, the whole network";

    VexaPortParams p = params();
    p.magic = MB_PORT_MAGIC;
    EXPECT_EQ(DEV_Open(&p), 0);
    EXPECT_EQ(DEV_Search(handles), 0) << "a refused record leaves the plug-in closed";

    p = params(VEXA_PORT_RS485);
    p.portText = nullptr;
    EXPECT_EQ(DEV_Open(&p), 0);
    const std::string longText(300, 'p');
    p.portText = longText.c_str();
    EXPECT_EQ(DEV_Open(&p), 0);
    EXPECT_EQ(DEV_Search(handles), 0);

    const std::string port(63, 'q');
    p.portText = port.c_str();
    EXPECT_EQ(DEV_Open(&p), 1) << "63 characters and the zero fit";
}

TEST_F(VexaBootPortTest, SearchBeforeOpenFindsNothingAndTouchesNoLibrary) {
    state().couplers = {Coupler{{{1, kBoot}}}};
    EXPECT_EQ(DEV_Search(handles), 0);
    EXPECT_EQ(DEV_EnterBootMode(), 0);
    std::uint8_t buf[4] = {};
    EXPECT_EQ(DEV_Write(1, buf, 4, 0), DEV_ERROR);
    EXPECT_EQ(DEV_Read(1, buf, 4, 0), DEV_ERROR);
    EXPECT_TRUE(state().searches.empty());
}

TEST_F(VexaBootPortTest, EachTransportSearchesWithItsOwnArguments) {
    state().couplers = {Coupler{{{2, kBoot}}}};
    VexaPortParams p = params(VEXA_PORT_ETHERNET);
    const std::uint8_t ip[4] = {10, 1, 2, 3};
    std::memcpy(&p.ipAddress, ip, 4);
    ASSERT_EQ(DEV_Open(&p), 1);
    EXPECT_EQ(DEV_Search(handles), 1);
    EXPECT_EQ(state().searches.back(), "EthSearchByIP 10.1.2.3");

    const std::string port = "/dev/pts/77";
    p = params(VEXA_PORT_RS485);
    p.station = 7;
    p.rsParam = 1;
    p.portText = port.c_str();
    const std::int32_t serial[8] = {19200, 8, 2, 0, 1, 1, 5, 6};
    std::copy(serial, serial + 8, p.serial);
    ASSERT_EQ(DEV_Open(&p), 1);
    EXPECT_EQ(DEV_Search(handles), 1);
    const auto& s = state().searches;
    ASSERT_GE(s.size(), 2u);
    EXPECT_EQ(s[s.size() - 2], "RSSearchByID /dev/pts/77 7 1 19200 8 2 0 1 1 5 6 2000");
    EXPECT_EQ(s.back(), "RSSetOperateDev /dev/pts/77 7 36880 1 1 19200 8 2 0 1 1 5 6 2000");

    p = params(VEXA_PORT_HID);
    ASSERT_EQ(DEV_Open(&p), 1);
    EXPECT_EQ(DEV_Search(handles), 1);
    EXPECT_EQ(state().searches.back(), "HIDSearchAll");

    p = params(3);
    ASSERT_EQ(DEV_Open(&p), 1);
    EXPECT_EQ(DEV_Search(handles), 0) << "no such transport";
}

TEST_F(VexaBootPortTest, BootListKeepsBootLoadersInAddressRangeThatPassTheFilter) {
    const std::vector<Slot> slots = {{1, kBoot}, {3, kBoot}, {4, 0x270F}, {0, kBoot}, {16, kBoot}, {5, 0x4017}};
    EXPECT_EQ(openWith(slots), 3) << "addresses 1, 3 and 4: 0 and 16 are no addresses, 0x4017 runs its firmware";
    EXPECT_EQ(std::vector<int>(handles, handles + 3), (std::vector<int>{1, 2, 3}));

    EXPECT_EQ(openWith(slots, 3), 1);
    EXPECT_EQ(DEV_EnterBootMode(), 1);
    std::vector<int> told;
    for (const auto& c : callsOf("prop-write")) {
        told.push_back(c.address);
        EXPECT_EQ(c.reg, 0xFF);
        EXPECT_EQ(c.count, 2) << "two bytes: one register";
        EXPECT_EQ(c.data, (Bytes{0xAA, 0xAA}));
    }
    EXPECT_EQ(told, (std::vector<int>{1, 3, 4, 5})) << "every module found is told, whatever the filter";
    EXPECT_EQ(openWith(slots, 16), 3) << "a filter above 15 lets every module through";
}

TEST_F(VexaBootPortTest, AModuleThatCannotBeSelectedCountsAsFailedAttempts) {
    state().unselectable = {2};
    openWith({{2, 0x7777}, {3, 0x4017}});
    state().selects = 0;
    EXPECT_EQ(DEV_EnterBootMode(), 1);
    EXPECT_EQ(state().selects, 4 + 1) << "four attempts at 2, then 3 at once";
    ASSERT_EQ(callsOf("prop-write").size(), 1u);
    EXPECT_EQ(callsOf("prop-write")[0].address, 3);
}

TEST_F(VexaBootPortTest, EveryOperatedCouplerIsReleasedOnceEvenWithoutModules) {
    state().couplers = {Coupler{{{1, kBoot}, {2, kBoot}}}, Coupler{}};
    VexaPortParams p = params();
    ASSERT_EQ(DEV_Open(&p), 1);
    EXPECT_EQ(DEV_Search(handles), 2);
    EXPECT_EQ(DEV_Search(handles), 2);
    EXPECT_EQ(state().couplers[0].releases, 1) << "once, not once per module";
    EXPECT_EQ(state().couplers[1].releases, 1) << "the coupler without modules too";
    EXPECT_EQ(DEV_Close(), 1);
    EXPECT_EQ(state().couplers[0].releases, 2);
    EXPECT_EQ(state().couplers[1].releases, 2);
    EXPECT_EQ(DEV_Close(), 1);
    EXPECT_EQ(state().couplers[0].releases, 2) << "nothing left to release";
}

TEST_F(VexaBootPortTest, ASearchReportsAtMost300Devices) {
    std::vector<Coupler> many(40);
    for (auto& c : many)
        for (short a = 1; a <= 8; ++a) c.slots.push_back({a, kBoot});
    state().couplers = many;
    VexaPortParams p = params();
    ASSERT_EQ(DEV_Open(&p), 1);
    EXPECT_EQ(DEV_Search(handles), 300);
    EXPECT_EQ(handles[299], 300);
}

TEST_F(VexaBootPortTest, WritesGoOutInPiecesOf64WithOddPiecesPaddedAtRegisterOne) {
    ASSERT_EQ(openWith({{1, kBoot}}), 1);
    Bytes data(130);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i + 1);
    EXPECT_EQ(DEV_Write(1, data.data(), 130, 0), 130);
    auto writes = callsOf("data-write");
    ASSERT_EQ(writes.size(), 3u);
    const int lengths[] = {64, 64, 2};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(writes[i].reg, 2);
        EXPECT_EQ(writes[i].count, lengths[i]);
    }
    EXPECT_EQ(writes[2].data, (Bytes{129, 130}));

    state().calls.clear();
    EXPECT_EQ(DEV_Write(1, data.data(), 3, 0), 3) << "the padding byte is not counted";
    writes = callsOf("data-write");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].reg, 1);
    EXPECT_EQ(writes[0].data, (Bytes{1, 2, 3, 0}));
}

TEST_F(VexaBootPortTest, AWriteGivesUpAfterTwoRefusedPiecesInAll) {
    ASSERT_EQ(openWith({{1, kBoot}}), 1);
    int refusals = 1;
    state().write = [&](int, int, const std::uint8_t*) { return refusals-- > 0 ? RC_NO_REPLY : RC_OK; };
    Bytes data(100, 0x42);
    EXPECT_EQ(DEV_Write(1, data.data(), 100, 0), 100) << "one refusal is retried";
    refusals = 2;
    EXPECT_EQ(DEV_Write(1, data.data(), 100, 0), DEV_ERROR);
}

TEST_F(VexaBootPortTest, ReadsAskForTheirPieceAndStopAtAShortOne) {
    ASSERT_EQ(openWith({{1, kBoot}}), 1);
    state().read = [](int, int length, std::uint8_t* buf, int* received) {
        const int n = length == 66 ? 64 : 3;  // the full piece, then a short one
        buf[0] = static_cast<std::uint8_t>(n);
        for (int i = 1; i <= n; ++i) buf[i] = static_cast<std::uint8_t>(i);
        *received = length;
        return RC_OK;
    };
    std::uint8_t buf[200];
    EXPECT_EQ(DEV_Read(1, buf, 5, 0), 3);
    EXPECT_EQ(DEV_Read(1, buf, 64 + 5, 0), 64 + 3);
    const auto reads = callsOf("data-read");
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(reads[0].reg, 1);
    EXPECT_EQ(reads[0].count, 6) << "5 bytes: register 1, one more";
    EXPECT_EQ(reads[1].reg, 2);
    EXPECT_EQ(reads[1].count, 66) << "64 bytes: register 2, two more";
    EXPECT_EQ(reads[2].count, 6);
}

TEST_F(VexaBootPortTest, ACountByteBeyondThePieceOrWhatArrivedFailsWithoutOverrun) {
    ASSERT_EQ(openWith({{1, kBoot}}), 1);
    struct Case {
        const char* what;
        std::uint8_t count;
        int received;
    };
    for (const Case& c : {Case{"count 100 for a piece of 64", 100, 66}, Case{"count above what arrived", 10, 4},
                          Case{"a negative length", 1, -1}}) {
        state().read = [&](int, int, std::uint8_t* buf, int* received) {
            buf[0] = c.count;
            std::memset(buf + 1, 0x5A, c.count);
            *received = c.received;
            return RC_OK;
        };
        std::uint8_t buf[64 + 8];
        std::memset(buf, 0xEE, sizeof buf);
        EXPECT_EQ(DEV_Read(1, buf, 64, 0), DEV_ERROR) << c.what;
        for (std::size_t i = 64; i < sizeof buf; ++i) ASSERT_EQ(buf[i], 0xEE) << c.what;
    }
    state().read = [](int, int, std::uint8_t*, int*) { return RC_NO_REPLY; };
    std::uint8_t buf[8];
    EXPECT_EQ(DEV_Read(1, buf, 8, 0), 0) << "no reply: nothing came";
}

TEST_F(VexaBootPortTest, BadHandlesGiveZeroAndAnUnselectableModuleFails) {
    ASSERT_EQ(openWith({{1, kBoot}, {2, kBoot}}), 2);
    std::uint8_t buf[8] = {};
    EXPECT_EQ(DEV_Write(0, buf, 4, 0), 0);
    EXPECT_EQ(DEV_Write(3, buf, 4, 0), 0);
    EXPECT_EQ(DEV_Read(0, buf, 4, 0), 0);
    EXPECT_EQ(DEV_Read(3, buf, 4, 0), 0);
    EXPECT_EQ(DEV_Write(1, nullptr, 4, 0), DEV_ERROR);
    EXPECT_EQ(DEV_Read(1, nullptr, 4, 0), DEV_ERROR);
    state().unselectable = {2};
    EXPECT_EQ(DEV_Write(2, buf, 4, 0), DEV_ERROR);
    EXPECT_EQ(DEV_Read(2, buf, 4, 0), DEV_ERROR);
    // Without a display the transport dialog is not shown and nothing changes.
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
    EXPECT_EQ(DEV_Config(nullptr), 1);
    EXPECT_EQ(DEV_Config(reinterpret_cast<void*>(1)), 1);
}

}  // namespace
