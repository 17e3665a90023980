// Changing sub-module values and writing them back: bit items of one register merged into one
// write, the order of writes, what stays local, and what a failing write does to the rest.
#include "SubSupport.h"

using namespace vexa;
using namespace vexa::test;

namespace {

class SubSubmit : public SubTest {
protected:
    // An Ethernet coupler with `type` at address 1, operated, the module read.
    KO_SUBHANDLE ethSub(std::uint16_t type, std::uint16_t hardVer = 0x100) {
        c = add(Wire::Eth, {{1, sim::subIdentity(type, hardVer)}});
        start();
        h = operateEth(c);
        if (!h) return nullptr;
        KO_SUBHANDLE s = KO_SetOperateSubDev(h, 1);
        if (!s || KO_ReadSubDevProperty(s) != RC_OK || KO_ReadSubDevData(s) != RC_OK) return nullptr;
        c->clearLog();
        return s;
    }
    sim::SimCoupler* c = nullptr;
    KO_HANDLE h = nullptr;
};

}  // namespace

TEST_F(SubSubmit, BitsOfOneRegisterGoOutAsOneWritePerRegister) {
    KO_SUBHANDLE s = ethSub(0x2808);
    ASSERT_NE(s, nullptr);
    c->setSubRegister(1, 128, 0x0080);  // bit 7 set on the device, and the library read it so
    ASSERT_EQ(KO_ReadSubDevProperty(s), RC_OK);
    c->clearLog();
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_DOUT_MODE_0", "1"), RC_OK);
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_DOUT_DEFAULT_1", "1"), RC_OK);
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_DOUT_MODE_3", "1"), RC_OK);
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_DOUT_MODE_7", "0"), RC_OK);
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_DOUT_MODE_5", "1"), RC_OK);
    ASSERT_EQ(KO_SubmitSubDevProperty(s), RC_OK);
    auto writes = ethWrites(c->requests());
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].command, 0x09);
    EXPECT_EQ(writes[0].start, 128);
    EXPECT_EQ(writes[0].words, std::vector<int>{0x0029});
    EXPECT_EQ(writes[1].start, 129);
    EXPECT_EQ(writes[1].words, std::vector<int>{0x0002});
    EXPECT_EQ(c->subRegister(1, 128), 0x0029);
    // The items show what the module now holds, and a later change starts from it.
    EXPECT_EQ(prop(s, "SET_DOUT_MODE_3"), "1");
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_DOUT_MODE_1", "1"), RC_OK);
    ASSERT_EQ(KO_SubmitSubDevProperty(s), RC_OK);
    EXPECT_EQ(c->subRegister(1, 128), 0x002B);
    EXPECT_EQ(KO_SubmitSubDevProperty(s), RC_NOTHING_TO_SUBMIT);
}

TEST_F(SubSubmit, OutputBitsMergeTooAndDataValuesQueueEveryChange) {
    KO_SUBHANDLE s = ethSub(0x4400);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(KO_ModifySubDevData(s, "DATA_AOUT_0", "100"), RC_OK);
    ASSERT_EQ(KO_ModifySubDevData(s, "DATA_AOUT_0", "200"), RC_OK);
    ASSERT_EQ(KO_SubmitSubDevData(s), RC_OK);
    auto writes = ethWrites(c->requests());
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].command, 0x05);
    EXPECT_EQ(writes[0].words, std::vector<int>{0x100});
    EXPECT_EQ(writes[1].words, std::vector<int>{0x200});
    EXPECT_EQ(c->subRegister(1, 96), 0x200);
}

// Merged bit writes first, then every other change in the order made; a property changed
// twice is written once, with its last text.
TEST_F(SubSubmit, SubmitOrderAndOneWritePerProperty) {
    KO_SUBHANDLE s = ethSub(0x3402);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_TYPE_2", "0"), RC_OK);
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_DOUT_MODE_1", "1"), RC_OK);
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_LINK", "3"), RC_OK);
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_TYPE_2", "1"), RC_OK);
    ASSERT_EQ(KO_SubmitSubDevProperty(s), RC_OK);
    auto writes = ethWrites(c->requests());
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].start, 128);
    EXPECT_EQ(writes[0].words, std::vector<int>{0x0002});
    EXPECT_EQ(writes[1].start, 133);
    EXPECT_EQ(writes[1].words, std::vector<int>{1});
    EXPECT_EQ(writes[2].start, 130);
    EXPECT_EQ(writes[2].words, std::vector<int>{3});
}

// Identity items and displays are kept here only: nothing is queued, nothing goes out.
TEST_F(SubSubmit, IdentityAndDisplayItemsAreNeverWritten) {
    KO_SUBHANDLE s = ethSub(0x3904);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SLAVER_ADDRESS", "5"), RC_OK);
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SLAVER_TYPE", "VEXA-1234"), RC_OK);
    EXPECT_EQ(KO_SubmitSubDevProperty(s), RC_NOTHING_TO_SUBMIT);
    EXPECT_EQ(c->requestCount(), 0u);
    // A gain display folds its edit into SET_AI_PLUS: one write of that register.
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_PLUS_2", "3"), RC_OK);
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_TYPE_4", "1"), RC_OK);
    ASSERT_EQ(KO_SubmitSubDevProperty(s), RC_OK);
    auto writes = ethWrites(c->requests());
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].start, 129);
    EXPECT_EQ(writes[0].words, (std::vector<int>{0x0000, 0x0034}));  // channel 1 at 1, channel 2 at 3
    EXPECT_EQ(writes[1].start, 131);
    EXPECT_EQ(writes[1].words, std::vector<int>{0x0012});
    EXPECT_EQ(c->subRegister(1, 0), 0);  // nothing went to register 0
}

// An analog output whose item carries the converter resolution is a value, not a bit.
TEST_F(SubSubmit, CalibratedOutputIsOneRegisterWriteOfTheParsedCode) {
    KO_SUBHANDLE s = ethSub(0x3902);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(KO_ModifySubDevData(s, "DATA_AOUT_0", "5.0"), RC_OK);
    ASSERT_EQ(KO_SubmitSubDevData(s), RC_OK);
    auto writes = ethWrites(c->requests());
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].start, 96);
    EXPECT_EQ(writes[0].words, std::vector<int>{3072});  // (5 + 10) / (20 / 4096)
    ASSERT_EQ(KO_ReadSubDevData(s), RC_OK);
    EXPECT_EQ(data(s, "DATA_AOUT_0"), "   5.0000  V -- 0x0c00");
}

// A failed merged write ends the submit with its result; the rest is dropped unsent.
TEST_F(SubSubmit, FailedMergedWriteStopsAndSaysSo) {
    KO_SUBHANDLE s = ethSub(0x2808);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_DOUT_MODE_0", "1"), RC_OK);
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_DOUT_DEFAULT_0", "1"), RC_OK);
    c->pushFault({sim::FaultKind::Drop});
    EXPECT_EQ(KO_SubmitSubDevProperty(s), RC_NO_REPLY);
    EXPECT_EQ(c->requestCount(), 1u);
    EXPECT_EQ(KO_SubmitSubDevProperty(s), RC_NOTHING_TO_SUBMIT);
    c->clearLog();
    ASSERT_EQ(KO_ModifySubDevData(s, "DATA_DOUT_0", "1"), RC_OK);
    ASSERT_EQ(KO_ModifySubDevData(s, "DATA_DOUT_1", "1"), RC_OK);
    c->pushFault({sim::FaultKind::Corrupt});
    EXPECT_NE(KO_SubmitSubDevData(s), RC_OK);
    EXPECT_EQ(c->requestCount(), 1u);
}

// A module whose identity no longer matches makes the Ethernet coupler answer with its error
// bit: property writes go on past it (and say so in the result), data writes stop.
TEST_F(SubSubmit, ErrorReplyIsToleratedForPropertiesOnly) {
    KO_SUBHANDLE s = ethSub(0x4400);
    ASSERT_NE(s, nullptr);
    sim::Identity other = sim::subIdentity(0x4400);
    other.serial = {9, 9, 9, 9};
    ASSERT_TRUE(c->addSub({1, other}));
    c->clearLog();
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_AOUT_TYPE_0", "1"), RC_OK);
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_AOUT_TYPE_1", "2"), RC_OK);
    EXPECT_EQ(KO_SubmitSubDevProperty(s), RC_ERROR_REPLY);
    EXPECT_EQ(c->requestCount(), 2u);
    c->clearLog();
    ASSERT_EQ(KO_ModifySubDevData(s, "DATA_AOUT_0", "1"), RC_OK);
    ASSERT_EQ(KO_ModifySubDevData(s, "DATA_AOUT_1", "2"), RC_OK);
    EXPECT_EQ(KO_SubmitSubDevData(s), RC_ERROR_REPLY);
    EXPECT_EQ(c->requestCount(), 1u);
}

// Texts that are no value of their item change nothing and queue nothing.
TEST_F(SubSubmit, TextsOutsideAnItemsRangeAreRefused) {
    KO_SUBHANDLE s = ethSub(0x5508);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_TYPE_0", "abc"), RC_FAILED);
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_TYPE_0", "70000"), RC_FAILED);
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_TYPE_0", "-40000"), RC_FAILED);
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_DOUT_MODE_0", "2"), RC_FAILED);
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_MAX_0", "5000.0"), RC_FAILED);  // past 16 bits of tenths
    EXPECT_EQ(KO_ModifySubDevData(s, "DATA_DOUT_0", "on"), RC_FAILED);
    EXPECT_EQ(prop(s, "SET_AIN_TYPE_0"), "1");
    EXPECT_EQ(KO_SubmitSubDevProperty(s), RC_NOTHING_TO_SUBMIT);
    EXPECT_EQ(KO_SubmitSubDevData(s), RC_NOTHING_TO_SUBMIT);
    EXPECT_EQ(c->requestCount(), 0u);
    // A text past the item's text size is cut, not refused.
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_CHECK", (std::string("7") + std::string(400, ' ')).c_str()), RC_OK);
    EXPECT_EQ(KO_ResetSubDevProperty(s), RC_OK);
    EXPECT_EQ(KO_SubmitSubDevProperty(s), RC_NOTHING_TO_SUBMIT);
}

// A date text reaches the module in the year, month and day bytes; the byte after each is the
// module's own and goes back as it came. A text that is no date queues nothing.
TEST_F(SubSubmit, CheckDateIsWrittenIntoItsThreeBytes) {
    KO_SUBHANDLE s = ethSub(0x3402);
    ASSERT_NE(s, nullptr);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(c->setSubRegister(1, 144 + i, static_cast<std::uint16_t>(0x01A0 + i)));
    ASSERT_EQ(KO_ReadSubDevProperty(s), RC_OK);
    c->clearLog();
    ASSERT_EQ(KO_ModifySubDevProperty(s, "SET_CHECK_DATA", "26-12-07"), RC_OK);
    ASSERT_EQ(KO_SubmitSubDevProperty(s), RC_OK);
    auto writes = ethWrites(c->requests());
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].start, 144);
    EXPECT_EQ(writes[0].words, (std::vector<int>{0x1AA0, 0x0CA1, 0x07A2}));
    for (const char* bad : {"26-12", "26-12-256", "today"})
        EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_CHECK_DATA", bad), RC_FAILED) << bad;
    EXPECT_EQ(KO_SubmitSubDevProperty(s), RC_NOTHING_TO_SUBMIT);
    ASSERT_EQ(KO_ReadSubDevProperty(s), RC_OK);
    EXPECT_EQ(prop(s, "SET_CHECK_DATA"), "26-12-07");
}
