// Engineering texts of every conversion family at the ends of their ranges, and texts written
// back as raw register values, against a simulated module behind a USB coupler (whose block
// reads come in two replies).
#include <cmath>

#include "SubSupport.h"

using namespace vexa;
using namespace vexa::test;

namespace {

class SubConversion : public SubTest {
protected:
    KO_SUBHANDLE hidSub(std::uint16_t type, std::uint16_t hardVer = 0x100) {
        c = add(Wire::Hid, {{1, sim::subIdentity(type, hardVer)}});
        start();
        h = operateHid(c);
        s = h ? KO_SetOperateSubDev(h, 1) : nullptr;
        return s && readBoth() ? s : nullptr;
    }
    void set(int reg, int value) { ASSERT_TRUE(c->setSubRegister(1, reg, static_cast<std::uint16_t>(value))); }
    int reg(int r) const { return c->subRegister(1, r); }
    bool readBoth() { return KO_ReadSubDevProperty(s) == RC_OK && KO_ReadSubDevData(s) == RC_OK; }
    // Raw value `code` in register `r`, read back as the text of data item `key`.
    std::string dataFor(int r, int code, const char* key) {
        set(r, code);
        return readBoth() ? data(s, key) : "read failed";
    }
    // Writes `text` to a data item and returns the register the module then holds.
    int writeData(const char* key, const char* text, int r) {
        if (KO_ModifySubDevData(s, key, text) != RC_OK || KO_SubmitSubDevData(s) != RC_OK) return -1;
        return reg(r);
    }
    int writeProp(const char* key, const char* text, int r) {
        if (KO_ModifySubDevProperty(s, key, text) != RC_OK || KO_SubmitSubDevProperty(s) != RC_OK) return -1;
        return reg(r);
    }
    sim::SimCoupler* c = nullptr;
    KO_HANDLE h = nullptr;
    KO_SUBHANDLE s = nullptr;
};

}  // namespace

// Counters are read low word first; a changed counter is written as a big-endian number.
TEST_F(SubConversion, CountersLowWordFirst) {
    ASSERT_NE(hidSub(0x1804), nullptr);
    set(2, 0xFFFF);
    set(3, 0x7FFF);
    set(4, 0x0000);
    set(5, 0x8000);
    ASSERT_TRUE(readBoth());
    EXPECT_EQ(data(s, "DATA_COUNT_0"), "2147483647");
    EXPECT_EQ(data(s, "DATA_COUNT_1"), "-2147483648");
    EXPECT_EQ(writeData("DATA_COUNT_0", "100000", 2), 0x0001);
    EXPECT_EQ(reg(3), 0x86A0);
}

TEST_F(SubConversion, BipolarRangeEnds) {
    ASSERT_NE(hidSub(0x4017), nullptr);  // ranges 0, 1, 2, 4, 6, 17, 0, 15 on channels 0..7
    EXPECT_EQ(dataFor(64, 0x0000, "DATA_AIN_0"), "-10.000 V---0x0000----Normal");
    EXPECT_EQ(dataFor(64, 0xFFFF, "DATA_AIN_0"), "10.000 V---0xffff----Normal");
    EXPECT_EQ(dataFor(64, 0x8000, "DATA_AIN_0"), " 0.000 V---0x8000----Normal");
    EXPECT_EQ(dataFor(65, 0x0000, "DATA_AIN_1"), "-5.000 V---0x0000----Normal");
    EXPECT_EQ(dataFor(66, 0xFFFF, "DATA_AIN_2"), " 2.500 V---0xffff----Normal");
    EXPECT_EQ(dataFor(67, 0x0000, "DATA_AIN_3"), "-625.000 mV---0x0000----Normal");
    EXPECT_EQ(dataFor(68, 0xFFFF, "DATA_AIN_4"), "156.250 mV---0xffff---Normal");
    EXPECT_EQ(dataFor(69, 0x0000, "DATA_AIN_5"), "20.000 mA---0x0000---Normal");  // the magnitude, times 4
    EXPECT_EQ(dataFor(69, 0xFFFF, "DATA_AIN_5"), "20.000 mA---0xffff---Normal");
    EXPECT_EQ(dataFor(71, 0x1234, "DATA_AIN_7"), "0.000V---0x1234---Close");
}

TEST_F(SubConversion, BipolarTextsOfTheNewerGeneration) {
    ASSERT_NE(hidSub(0x4017, 0x120), nullptr);
    EXPECT_EQ(dataFor(64, 0xFFFF, "DATA_AIN_0"), "10.000  V---0xffff----Normal");
    EXPECT_EQ(dataFor(68, 0x0000, "DATA_AIN_4"), "-156.250 mV---0x0000----Normal");
    EXPECT_EQ(dataFor(69, 0x0000, "DATA_AIN_5"), "20.000 mA---0x0000----Normal");
    EXPECT_EQ(dataFor(71, 0x1234, "DATA_AIN_7"), "0.000  V---0x1234----Close");
    set(134, 3);  // no such range
    EXPECT_EQ(dataFor(70, 0x1234, "DATA_AIN_6"), "ERROR NO THIS");
}

TEST_F(SubConversion, OffsetBinaryRangeEnds) {
    ASSERT_NE(hidSub(0x3800), nullptr);  // ranges 0, 1, 2 on channels 0..2
    EXPECT_EQ(dataFor(64, 0x0000, "DATA_AIN_0"), "-5.000 V---0x0000---Normal");
    EXPECT_EQ(dataFor(64, 0x0FFF, "DATA_AIN_0"), " 4.998 V---0x0fff---Normal");
    EXPECT_EQ(dataFor(65, 0x0000, "DATA_AIN_1"), "-10.000 V---0x0000---Normal");
    EXPECT_EQ(dataFor(66, 0x0000, "DATA_AIN_2"), "-20.000 mA---0x0000---Normal");
    set(128, 9);
    EXPECT_EQ(dataFor(64, 0x0800, "DATA_AIN_0"), "0.000 V---0x0800---Close");
}

TEST_F(SubConversion, SignMagnitudeRangeChecks) {
    ASSERT_NE(hidSub(0x3800, 0x150), nullptr);  // ranges 0, 1, 2, 3 on channels 0..3
    EXPECT_EQ(dataFor(64, 0x8000 | 8040, "DATA_AIN_0"), " 5.025  V---0x9f68----Normal  ");
    EXPECT_EQ(dataFor(64, 0x8000 | 8041, "DATA_AIN_0"), " 5.000  V---0x9f69----超出量程  ");
    EXPECT_EQ(dataFor(64, 8041, "DATA_AIN_0"), "-5.000  V---0x1f69----超出量程  ");
    EXPECT_EQ(dataFor(65, 0x8000 | 16080, "DATA_AIN_1"), "10.000  V---0xbed0----超出量程  ");
    EXPECT_EQ(dataFor(67, 0x8000 | 16080, "DATA_AIN_3"), "40.200 mA---0xbed0----Normal  ");
    EXPECT_EQ(dataFor(67, 16081, "DATA_AIN_3"), "-40.000 mA---0x3ed1----超出量程  ");
    set(128, 4);
    EXPECT_EQ(dataFor(64, 0x8001, "DATA_AIN_0"), "0.000  V---0x8001----Close   ");
}

TEST_F(SubConversion, MillivoltInputsLimitsAndOutput) {
    ASSERT_NE(hidSub(0x3412), nullptr);  // ranges 0, 2, 4, 6 on channels 0..3
    EXPECT_EQ(dataFor(64, 0xFFFF, "DATA_AIN_0"), "  15.000 mV  -  0xffff---Normal");
    EXPECT_EQ(dataFor(64, 0x7FFF, "DATA_AIN_0"), " -15.000 mV  -  0x7fff---Normal");
    EXPECT_EQ(dataFor(66, 0xFFFF, "DATA_AIN_2"), "  1000.0 mV  -  0xffff---Normal");
    EXPECT_EQ(dataFor(67, 0xFFFF, "DATA_AIN_3"), "  20.000 mA  -  0xffff---Normal");
    // Limits are written by the inverse of the same scaling, sign bit set for positive.
    EXPECT_EQ(writeProp("SET_AIN_MAX_0", "15", 132), 0xFFFF);
    EXPECT_EQ(writeProp("SET_AIN_MIN_0", "-15", 133), 0x7FFF);
    EXPECT_EQ(writeProp("SET_AIN_MIN_0", "-40", 133), 0x7FFF);
    EXPECT_EQ(writeProp("SET_AIN_MAX_1", "50", 134), 0x8000 | 16384);
    ASSERT_TRUE(readBoth());
    EXPECT_EQ(prop(s, "SET_AIN_MAX_1"), "   50.00 mV  -  0xc000---Normal");
    EXPECT_EQ(writeData("DATA_AOUT_VOLTAGE_0", "10", 96), 4095);
    ASSERT_TRUE(readBoth());
    EXPECT_EQ(data(s, "DATA_AOUT_VOLTAGE_0"), "10.000 V---0x0fff");
    EXPECT_EQ(data(s, "DATA_AOUT_ELECTRIC_0"), "0.000 mA---0x0fff");
}

// 12-bit outputs are limited to 0..full scale before converting: a negative text is 0.
TEST_F(SubConversion, MixedModuleInputsAndLimitedOutputs) {
    ASSERT_NE(hidSub(0x3402), nullptr);  // input ranges 0, 1, 2; output types 0 and 1
    EXPECT_EQ(dataFor(64, 0x0000, "DATA_AIN_REGION_0"), "-10.000 V---0x0000---Normal");
    EXPECT_EQ(dataFor(64, 0xFFFF, "DATA_AIN_REGION_0"), "10.000 V---0xffff---Normal");
    EXPECT_EQ(dataFor(66, 0xFFFF, "DATA_AIN_REGION_1"), "40.000 mA---0xffff---Normal");
    set(65, 2);
    EXPECT_EQ(dataFor(64, 0x8000, "DATA_AIN_REGION_0"), " 0.000 V---0x8000---Close");
    EXPECT_EQ(dataFor(68, 0x1234, "DATA_AIN_REGION_2"), "0.000 V---0x1234---Close");

    EXPECT_EQ(writeData("DATA_AOUT_VOLTAGE_0", "-5", 96), 0x0000);
    EXPECT_EQ(writeData("DATA_AOUT_VOLTAGE_0", "10", 96), 4095);
    EXPECT_EQ(writeData("DATA_AOUT_VOLTAGE_0", "12", 96), 4095);
    EXPECT_EQ(writeData("DATA_AOUT_VOLTAGE_0", "5", 96), 2047);
    EXPECT_EQ(writeData("DATA_AOUT_ELECTRIC_1", "20", 97), 4095);
    EXPECT_EQ(writeData("DATA_AOUT_ELECTRIC_1", "-1", 97), 0);
    EXPECT_EQ(writeProp("SET_AOUT_DEFAULT_0", "10", 140), 4095);
    ASSERT_TRUE(readBoth());
    EXPECT_EQ(prop(s, "SET_AOUT_DEFAULT_0"), "10.000 V---0x0fff");
    EXPECT_EQ(data(s, "DATA_AOUT_VOLTAGE_1"), "0.000 V---0x0000");
    // Under an output type without a scale the value stays as it was.
    set(139, 7);
    ASSERT_TRUE(readBoth());
    EXPECT_EQ(writeData("DATA_AOUT_VOLTAGE_0", "1", 96), 2047);
    ASSERT_TRUE(readBoth());
    EXPECT_EQ(data(s, "DATA_AOUT_VOLTAGE_0"), " 4.999 V---07ff");
}

TEST_F(SubConversion, SixteenBitOutputsByRange) {
    ASSERT_NE(hidSub(0x4410), nullptr);  // ranges 1, 3, 5, 2 on channels 0..3
    EXPECT_EQ(writeData("DATA_AOUT_0", "10", 96), 0xFFFF);
    EXPECT_EQ(writeData("DATA_AOUT_0", "11", 96), 0xFFFF);
    EXPECT_EQ(writeData("DATA_AOUT_0", "0", 96), 0x0000);
    EXPECT_EQ(writeData("DATA_AOUT_3", "5", 99), 0xFFFF);
    EXPECT_EQ(writeData("DATA_AOUT_3", "-5", 99), 0x0001);
    EXPECT_EQ(writeData("DATA_AOUT_3", "-6", 99), 0x0000);
    EXPECT_EQ(writeData("DATA_AOUT_2", "4", 98), 0x0000);
    EXPECT_EQ(writeData("DATA_AOUT_2", "20", 98), 0xFFFF);
    EXPECT_EQ(writeProp("SET_AOUT_DEFAULT_1", "-10", 134), 0x0001);
    ASSERT_TRUE(readBoth());
    EXPECT_EQ(data(s, "DATA_AOUT_2"), "20.000 mA---0xffff");
    EXPECT_EQ(data(s, "DATA_AOUT_3"), "-5.000  V---0x0000");
    EXPECT_EQ(prop(s, "SET_AOUT_DEFAULT_1"), "-10.000  V---0x0001");
    set(129, 0);  // 0-5 V
    EXPECT_EQ(dataFor(96, 0xFFFF, "DATA_AOUT_0"), " 5.000  V---0xffff");
}

TEST_F(SubConversion, CalibratedValuesCoefficientsAndDisplays) {
    ASSERT_NE(hidSub(0x3906), nullptr);  // a = 20 / 4096, b = -10; channel 1 at +-5 V, measuring current
    EXPECT_EQ(dataFor(64, 0x0000, "DATA_AIN_0"), " -10.0000  V -- 0x0000");
    EXPECT_EQ(dataFor(64, 0x0FFF, "DATA_AIN_0"), "   9.9951  V -- 0x0fff");
    EXPECT_EQ(dataFor(65, 0x0800, "DATA_AIN_1"), "   0.0000 mA -- 0x0800");
    EXPECT_EQ(writeData("DATA_AOUT_0", "10", 96), 4095);
    EXPECT_EQ(writeData("DATA_AOUT_0", "-20", 96), 0);
    EXPECT_EQ(writeData("DATA_AOUT_1", "10", 97), 3072);  // limited to +-5 V by its gain
    EXPECT_EQ(writeProp("SET_DOUT_DEFAULT_0", "0", 164), 2048);
    // Coefficients are floats kept low word first; their texts say whether they are valid.
    EXPECT_EQ(writeProp("SET_AIN_a_CALIB_0", "0.5", 132), 0x0000);
    EXPECT_EQ(reg(133), 0x3F00);
    set(174, 0x03FE);
    ASSERT_TRUE(readBoth());
    EXPECT_EQ(prop(s, "SET_AIN_a_CALIB_0"), "   0.5000 -- 0x3f000000 -- 校准无效");
    EXPECT_EQ(prop(s, "SET_AIN_a_CALIB_1"), "   0.0049 -- 0x3ba00000 -- 校准有效");
    EXPECT_EQ(data(s, "DATA_AIN_0"), " 2037.5000  V -- 0x0fff");  // 0.5 × 4095 - 10
    EXPECT_EQ(writeProp("SET_TESTVALUE_1", "-2.5", 177), 0xDA60);  // -2500000 = 0xFFD9DA60, low word first
    EXPECT_EQ(reg(178), 0xFFD9);
    EXPECT_EQ(writeProp("SET_CMD_CALIB_W", "0x5A", 176), 0x5A);
    EXPECT_EQ(writeProp("SET_AI_ADJUST_DATE", "25-12-31", 175), 0x9F33);  // 25 × 512 + 12 × 32 + 31 = 0x339F, host order
    ASSERT_TRUE(readBoth());
    EXPECT_EQ(prop(s, "SET_CMD_CALIB_W"), "0x0");
    EXPECT_EQ(prop(s, "SET_CMD_CALIB_R"), "0x5a");
    EXPECT_EQ(prop(s, "SET_TESTVALUE_1"), "-2.5000");
    EXPECT_EQ(prop(s, "SET_AI_ADJUST_DATE"), "2025-12-31");
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_PLUS_0", "4"), RC_FAILED);
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_TYPE_0", "yes"), RC_FAILED);
}

// The channel is the number after the last '_': channel 12 uses sampling bit 12.
TEST_F(SubConversion, SixteenChannelModulesUseTheirOwnSamplingBit) {
    ASSERT_NE(hidSub(0x3908), nullptr);
    set(131, 0x1000);
    ASSERT_TRUE(readBoth());
    EXPECT_NE(data(s, "DATA_AIN_12").find(" mA -- "), std::string::npos) << data(s, "DATA_AIN_12");
    EXPECT_NE(data(s, "DATA_AIN_2").find("  V -- "), std::string::npos) << data(s, "DATA_AIN_2");
    EXPECT_EQ(prop(s, "SET_AIN_TYPE_12"), "1");
    EXPECT_EQ(prop(s, "SET_AIN_TYPE_2"), "0");
    // Every channel of this module uses channel 0's coefficients.
    EXPECT_EQ(writeProp("SET_AIN_a_CALIB_5", "1", 152), 0);
    EXPECT_EQ(dataFor(69, 0x0FFF, "DATA_AIN_5"), "   9.9951  V -- 0x0fff");
}

TEST_F(SubConversion, EncoderAnglesSpeedsAndTimes) {
    ASSERT_NE(hidSub(0x7404), nullptr);  // 1000 pulses per revolution, 10 ms windows
    set(72, 0xFFFF);
    set(73, 0xFB1E);  // -1250: a quarter turn backwards past one revolution
    ASSERT_TRUE(readBoth());
    EXPECT_EQ(data(s, "DATA_COUNT_ENCODE_CAIYANG_4"), " 反方向 ---  90.00°");
    EXPECT_EQ(writeProp("SET_ENCODE_SPEEDHIGH_0", "1500.5", 163), 150050 & 0xFFFF);
    ASSERT_TRUE(readBoth());
    EXPECT_EQ(prop(s, "SET_ENCODE_SPEEDHIGH_0"), "1500.50 rpm");
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_ENCODE_TIMERVALUE_0", "70000"), RC_FAILED);
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_ENCODE_SPEEDLOW_0", "-1"), RC_FAILED);
}

TEST_F(SubConversion, TenthsRangeEnds) {
    ASSERT_NE(hidSub(0x5508), nullptr);
    EXPECT_EQ(writeProp("SET_AIN_MAX_0", "3276.7", 129), 0x7FFF);
    EXPECT_EQ(writeProp("SET_AIN_MIN_0", "-3276.8", 130), 0x8000);
    EXPECT_EQ(KO_ModifySubDevProperty(s, "SET_AIN_MAX_0", "3276.8"), RC_FAILED);
    ASSERT_TRUE(readBoth());
    EXPECT_EQ(prop(s, "SET_AIN_MAX_0"), "3276.7---0x7fff---Normal");
    EXPECT_EQ(prop(s, "SET_AIN_MIN_0"), "-3276.8---0x8000---Normal");
}

// A property block whose registers hold their own numbers: over USB it comes in two replies
// (registers 128..153, then 144..159), and every item shows its own register, also those
// only the second reply carries.
TEST_F(SubConversion, NumberedBlockReadsBackItemByItemOverUsb) {
    ASSERT_NE(hidSub(0x7404), nullptr);
    for (int r = 128; r < 192; ++r) set(r, r);
    ASSERT_TRUE(readBoth());
    EXPECT_EQ(prop(s, "SET_CF_WORKMODE_0"), "0x80");
    EXPECT_EQ(prop(s, "SET_ENCODE_RESETMODE_1"), "150");
    EXPECT_EQ(prop(s, "SET_ENCODE_FENDU_1"), "154");
    EXPECT_EQ(prop(s, "SET_ENCODE_MAXCOUNT_0"), std::to_string(157 << 16 | 158));
    EXPECT_EQ(prop(s, "SET_ENCODE_MAXCOUNT_1"), std::to_string(160 << 16 | 161));
    EXPECT_EQ(prop(s, "SET_CF_CHLLOAD1_3"), std::to_string(186 << 16 | 187));
    EXPECT_EQ(prop(s, "SET_CF_RESETENABLE_3"), "1");  // register 136 = 0x88: bits 3 and 7
    EXPECT_EQ(prop(s, "SET_CF_RESETENABLE_2"), "0");
}
