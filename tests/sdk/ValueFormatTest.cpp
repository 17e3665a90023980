// Every value format, raw -> text and text -> raw, at its edges.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "main/ValueFormat.h"

using namespace vexa;

namespace {

PropertyItem item(int format, int length, std::initializer_list<std::uint8_t> raw = {}) {
    PropertyItem it;
    it.format = format;
    it.length = static_cast<std::uint16_t>(length);
    int i = 0;
    for (auto b : raw) it.raw[i++] = b;
    return it;
}

std::string shown(int format, int length, std::initializer_list<std::uint8_t> raw) {
    PropertyItem it = item(format, length, raw);
    renderText(it);
    return it.text;
}

}  // namespace

TEST(ValueFormat, NumbersRender) {
    EXPECT_EQ(shown(kFmtByteDec, 1, {255}), "255");
    EXPECT_EQ(shown(kFmtByteHex, 1, {0x0A}), "0a");
    EXPECT_EQ(shown(kFmtHexBytes, 4, {0xDE, 0xAD, 0x00, 0x01}), "de ad 00 01 ");
    EXPECT_EQ(shown(kFmtBe16Dec, 2, {0xFF, 0xFF}), "65535");
    EXPECT_EQ(shown(kFmtBe16Hex, 2, {0x12, 0x34}), "0x1234");
    EXPECT_EQ(shown(kFmtBe32Dec, 4, {0xFF, 0xFF, 0xFF, 0xFE}), "-2");
    EXPECT_EQ(shown(kFmtBe32Hex, 4, {0, 1, 0, 0}), "0x10000");
    EXPECT_EQ(shown(kFmtBe32Unsigned, 4, {0xFF, 0xFF, 0xFF, 0xFE}), "4294967294");
    EXPECT_EQ(shown(kFmtVersion, 2, {0x01, 0x50}), "V1.80");
    EXPECT_EQ(shown(kFmtModelName, 2, {9, 0}), "VEXA-9000");
    EXPECT_EQ(shown(kFmtModelName, 2, {0x17, 0x40}), "VEXA-4017");
    EXPECT_EQ(shown(kFmtHost16Hex, 2, {0x10, 0x90}), "9010");
    EXPECT_EQ(shown(kFmtMac, 6, {0, 0x1A, 0xFF, 3, 4, 5}), "00:1A:FF:03:04:05");
    EXPECT_EQ(shown(kFmtIPv4, 4, {192, 168, 0, 255}), "192.168.0.255");
    EXPECT_EQ(shown(kFmtDateBytes, 6, {13, 0, 5, 0, 20, 0}), "13-05-20");
    EXPECT_EQ(shown(kFmtPackedDate, 2, {0xB4, 0x1A}), "2013-05-20");
    EXPECT_EQ(shown(kFmtSerial, 4, {1, 2, 3, 0xAB}), "AB030201");
}

TEST(ValueFormat, TenthsKeepTheirSign) {
    EXPECT_EQ(shown(kFmtTenths, 2, {0xFF, 0x9C}), "-10.0---0xff9c---Normal");
    EXPECT_EQ(shown(kFmtTenths, 2, {0xFF, 0xFB}), "-0.5---0xfffb---Normal");
    EXPECT_EQ(shown(kFmtTenths, 2, {0x00, 0xFB}), "25.1---0x00fb---Normal");
    EXPECT_EQ(shown(kFmtTenths, 2, {0x80, 0x00}), "-3276.8---0x8000---Normal");
    PropertyItem it = item(kFmtTenths, 2);
    ASSERT_TRUE(parseText(it, "-1.5"));
    EXPECT_EQ(it.raw[0], 0xFF);
    EXPECT_EQ(it.raw[1], 0xF1);
    ASSERT_TRUE(parseText(it, "-0.5"));
    EXPECT_EQ(it.raw[1], 0xFB);
    ASSERT_TRUE(parseText(it, "12"));
    EXPECT_EQ(it.raw[1], 120);
    // The shown text parses back to the same value.
    ASSERT_TRUE(parseText(it, "-10.0---0xff9c---Normal"));
    EXPECT_EQ(it.raw[0], 0xFF);
    EXPECT_EQ(it.raw[1], 0x9C);
    EXPECT_FALSE(parseText(it, "hot"));
    EXPECT_FALSE(parseText(it, "4000.0"));  // beyond 16 bits
    EXPECT_EQ(it.raw[1], 0x9C);
}

TEST(ValueFormat, PackedDateParsesShownAndShortForms) {
    PropertyItem it = item(kFmtPackedDate, 2);
    ASSERT_TRUE(parseText(it, "13-05-20"));
    EXPECT_EQ(it.raw[0] | it.raw[1] << 8, 6836);
    it.raw[0] = it.raw[1] = 0;
    ASSERT_TRUE(parseText(it, "2013-05-20"));
    EXPECT_EQ(it.raw[0] | it.raw[1] << 8, 6836);
    EXPECT_FALSE(parseText(it, "13-13-01"));
    EXPECT_FALSE(parseText(it, "13-05"));
    EXPECT_EQ(it.raw[0] | it.raw[1] << 8, 6836);
}

TEST(ValueFormat, TextNeverOverrunsTheItem) {
    PropertyItem it = item(kFmtText, 16);
    std::memset(it.raw, 0x55, sizeof it.raw);
    ASSERT_TRUE(parseText(it, std::string(100, 'n')));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(it.raw[i], 'n');
    for (int i = 16; i < kRawSize; ++i) EXPECT_EQ(it.raw[i], 0) << i;
    renderText(it);
    EXPECT_EQ(it.text, std::string(16, 'n'));
}

TEST(ValueFormat, RoundTrips) {
    struct Case {
        int format, length;
        const char* text;
    } cases[] = {
        {kFmtByteDec, 1, "200"},          {kFmtByteHex, 1, "7f"},          {kFmtHexBytes, 3, "01 a0 ff "},
        {kFmtBe16Dec, 2, "65535"},        {kFmtBe16Hex, 2, "0xbeef"},      {kFmtBe32Dec, 4, "-2147483648"},
        {kFmtBe32Hex, 4, "0xffffffff"},   {kFmtBe32Unsigned, 4, "4294967295"},
        {kFmtMac, 6, "00:11:22:AA:BB:CC"}, {kFmtIPv4, 4, "10.0.0.254"},    {kFmtText, 16, "name"},
        {kFmtFloatSwapped, 4, "1.5000000"}, {kFmtDateBytes, 6, "26-12-07"}, {kFmtDateBytes, 6, "255-00-100"},
    };
    for (const auto& c : cases) {
        PropertyItem it = item(c.format, c.length);
        ASSERT_TRUE(parseText(it, c.text)) << c.text;
        renderText(it);
        EXPECT_EQ(it.text, c.text) << "format " << c.format;
    }
}

TEST(ValueFormat, FloatUsesTheWordSwappedByteOrder) {
    PropertyItem it = item(kFmtFloatSwapped, 4);
    // 0x3F800000: each 16-bit half big-endian, low half first.
    ASSERT_TRUE(parseText(it, "1.0"));
    EXPECT_EQ(it.raw[0], 0x00);
    EXPECT_EQ(it.raw[1], 0x00);
    EXPECT_EQ(it.raw[2], 0x3F);
    EXPECT_EQ(it.raw[3], 0x80);
    EXPECT_FLOAT_EQ(it.floatValue, 1.0f);
}

TEST(ValueFormat, BadTextsChangeNothing) {
    struct Case {
        int format, length;
        const char* text;
    } cases[] = {
        {kFmtByteDec, 1, "abc"}, {kFmtBe16Hex, 2, "zz"},      {kFmtBe32Unsigned, 4, "-1"},
        {kFmtMac, 6, "00:11"},   {kFmtIPv4, 4, "300.1.1.1"},  {kFmtIPv4, 4, "1.2.3"},
        {kFmtHexBytes, 2, "0"},  {kFmtHexBytes, 2, "01 02 03"}, {kFmtFloatSwapped, 4, "x"},
        {kFmtDateBytes, 6, "26-12"}, {kFmtDateBytes, 6, "26-256-07"}, {kFmtDateBytes, 6, "-1-12-07"},
        {kFmtDateBytes, 6, "26-12-07-01"}, {kFmtDateBytes, 6, "26/12/07"}, {kFmtDateBytes, 6, ""},
        {kFmtDateBytes, 6, "26-12-99999999999"},
    };
    for (const auto& c : cases) {
        PropertyItem it = item(c.format, c.length, {0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5});
        EXPECT_FALSE(parseText(it, c.text)) << c.format << " " << c.text;
        for (int i = 0; i < 6; ++i) EXPECT_EQ(it.raw[i], 0xA5) << c.format << " " << c.text;
    }
}

// A numeric text is taken whole and only within what the item can show back: the ends of each
// format's range parse, one past them (and a number with anything after it) changes nothing.
TEST(ValueFormat, NumbersAreTakenWholeAndWithinRange) {
    struct Case {
        int format, length;
        const char* lowest;
        const char* highest;
        const char* belowLowest;
        const char* aboveHighest;
    } cases[] = {
        {kFmtByteDec, 1, "0", "255", "-1", "256"},
        {kFmtByteHex, 1, "0", "ff", "-1", "100"},
        {kFmtBe16Dec, 2, "-32768", "65535", "-32769", "65536"},
        {kFmtBe16Hex, 2, "0x0", "0xffff", "-1", "0x10000"},
        {kFmtBe32Dec, 4, "-2147483648", "4294967295", "-2147483649", "4294967296"},
        {kFmtBe32Hex, 4, "0", "0xffffffff", "-1", "0x100000000"},
        {kFmtBe32Unsigned, 4, "0", "4294967295", "-1", "4294967296"},
    };
    for (const auto& c : cases) {
        for (const char* good : {c.lowest, c.highest}) {
            PropertyItem it = item(c.format, c.length);
            EXPECT_TRUE(parseText(it, good)) << c.format << " " << good;
        }
        const std::string trailing = std::string(c.highest) + "abc";
        for (const std::string& bad : {std::string(c.belowLowest), std::string(c.aboveHighest), trailing,
                                      std::string("12 34"), std::string("")}) {
            PropertyItem it = item(c.format, c.length, {0xA5, 0xA5, 0xA5, 0xA5});
            EXPECT_FALSE(parseText(it, bad)) << c.format << " " << bad;
            for (int i = 0; i < 4; ++i) EXPECT_EQ(it.raw[i], 0xA5) << c.format << " " << bad;
        }
    }
    PropertyItem f = item(kFmtFloatSwapped, 4);
    EXPECT_FALSE(parseText(f, "1.5x"));
    EXPECT_TRUE(parseText(f, " 1.5 "));
}

// Only the three shown numbers are the user's: the bytes between them stay as the module sent them.
TEST(ValueFormat, DateBytesSetEveryOtherByte) {
    PropertyItem it = item(kFmtDateBytes, 6, {24, 0xA1, 3, 0xA2, 15, 0xA3});
    ASSERT_TRUE(formatParses(kFmtDateBytes));
    ASSERT_TRUE(parseText(it, " 26-12-7 "));
    const std::uint8_t expect[6] = {26, 0xA1, 12, 0xA2, 7, 0xA3};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(it.raw[i], expect[i]) << i;
    renderText(it);
    EXPECT_EQ(it.text, "26-12-07");
}

TEST(ValueFormat, DisplayOnlyFormatsKeepRawBytes) {
    for (int f : {kFmtVersion, kFmtModelName, kFmtHost16Hex, kFmtBit, kFmtSerial}) {
        PropertyItem it = item(f, 2, {1, 2});
        EXPECT_TRUE(parseText(it, "anything"));
        EXPECT_FALSE(formatParses(f));
        EXPECT_EQ(it.raw[0], 1);
        EXPECT_EQ(it.raw[1], 2);
    }
}

TEST(ValueFormat, BitItemsReadTheirBit) {
    PropertyItem it = item(kFmtBit, 2, {0x80, 0x01});
    it.bitNumber = 15;
    renderText(it);
    EXPECT_EQ(it.text, "1");
    it.bitNumber = 1;
    renderText(it);
    EXPECT_EQ(it.text, "0");
    it.bitNumber = 16;  // no such bit: the text stays
    it.text = "x";
    renderText(it);
    EXPECT_EQ(it.text, "x");
}
