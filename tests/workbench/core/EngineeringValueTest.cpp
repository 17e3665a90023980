// Process-value texts to number and unit: the renderings of the data page, and texts that only
// look numeric.
#include <gtest/gtest.h>

#include <string>

#include "core/EngineeringValue.h"

namespace {

using vexadesk::parseEngineering;

struct Valued {
    const char* text;
    double value;
    const char* unit;
};

TEST(EngineeringValue, ReadsNumberAndUnit) {
    const Valued cases[] = {
        // the library's renderings: value, unit, then raw register and state
        {"  12.345 mA---0x04d2----Normal", 12.345, "mA"}, {" -3.210  V---0x8000----Normal  ", -3.21, "V"},
        {"   1.5 mV  -  0x04d2---Normal", 1.5, "mV"},     {"    0.1234 -- 0x00000001 -- ok", 0.1234, ""},
        {"0.000V---0x0000---Close", 0, "V"},              {"  4.000 mA---0x1000----超出量程  ", 4, "mA"},
        {"-1.5---0x0015---Normal", -1.5, ""},             {"1500.00 rpm", 1500, "rpm"},
        // the forms of a number
        {"+7", 7, ""}, {".25", 0.25, ""}, {"3.", 3, ""}, {"1.5e3", 1500, ""}, {"2E-3 A", 0.002, "A"},
        {"-4.5e+2kPa", -450, "kPa"}, {"5eV", 5, "eV"}, {"0X1f", 31, ""}, {"-0x10", -16, ""},
        {"0xFFFFFFFFFFFFFFFF", 18446744073709551615.0, ""}, {"0x04d2 counts", 1234, "counts"},
        // units as written, blanks around (ASCII, no-break, ideographic)
        {"23.4℃", 23.4, "℃"}, {"75 %", 75, "%"}, {"45 %RH", 45, "%RH"},
        {"3 m³/h", 3, "m³/h"}, {"3 m3/h", 3, "m3/h"}, {"9.81 m/s^2", 9.81, "m/s^2"}, {"100 Ω", 100, "Ω"},
        {"1500 转/分", 1500, "转/分"}, {"101.3 千帕", 101.3, "千帕"}, {"\t 8 \r\n", 8, ""},
        {"\xC2\xA0" "8\xC2\xA0mA\xC2\xA0", 8, "mA"}, {"\xE3\x80\x80" "8\xE3\x80\x80" "伏\xE3\x80\x80", 8, "伏"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        double value = -999;
        std::string unit = "untouched";
        ASSERT_TRUE(parseEngineering(c.text, value, unit));
        EXPECT_DOUBLE_EQ(value, c.value);
        EXPECT_EQ(unit, c.unit);
    }
}

TEST(EngineeringValue, RefusesTextsThatAreNoValue) {
    const std::string cases[] = {
        "", "   ", "\xC2\xA0", "Close", "----Normal", "---", "-", "+", ".", "e5", "超出量程", "V1.02",
        "inf", "nan", "0x", "0x1Fg", "0x10000000000000000", "1e999", "-1e999",
        "192.168.1.10", "12:30:05", "0a:1b:2c", "2024-01-05", "5-3", "1,5",  // addresses, times, dates
        "- 5", "--5", "+-5", "5 mA Normal", "5 m A", "12 (raw)", "5 #",        // more than a value
        "5 \xFF", "5 m\xC3", std::string("12\0mA", 5),                       // bad UTF-8, NUL
    };
    for (const auto& text : cases) {
        SCOPED_TRACE(text);
        double value = -999;
        std::string unit = "untouched";
        EXPECT_FALSE(parseEngineering(text, value, unit));
        EXPECT_EQ(value, -999);
        EXPECT_EQ(unit, "untouched");
    }
}

}  // namespace
