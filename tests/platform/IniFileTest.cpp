#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <sstream>

#include "TempDir.h"

namespace vexa::ini {
namespace {

using test::TempDir;

class IniFileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string file = dir.file("config.ini");
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    std::string none = dir.file("none.ini");
    EXPECT_EQ(getString(none, "ver", "ver", "dflt"), "dflt");
    EXPECT_EQ(getInt(none, "DEVDLL", "DEV_COUNT", -1), -1);
    EXPECT_TRUE(sections(none).empty());
    EXPECT_TRUE(keys(none, "DEVDLL").empty());

    dir.write("config.ini", "[SHOW_COL]\nshow_col=1\n");
    EXPECT_EQ(getString(file, "OTHER", "show_col", "d"), "d");
    EXPECT_EQ(getInt(file, "SHOW_COL", "col_0", 7), 7);
    EXPECT_EQ(getString(file, "SHOW_COL", "col_0"), "");
}

TEST_F(IniFileTest, SectionAndKeyNamesIgnoreCase) {
    dir.write("config.ini", "[DevDll]\nDEV_COUNT=2\n[dev_0]\nName = VEXA \nDll=\"VexaBootPort.dll\"\n");
    EXPECT_EQ(getInt(file, "DEVDLL", "dev_count", -1), 2);
    EXPECT_EQ(getString(file, "DEV_0", "NAME"), "VEXA");                 // blanks trimmed
    EXPECT_EQ(getString(file, "Dev_0", "dll"), "VexaBootPort.dll");      // quotes dropped
    EXPECT_EQ(sections(file), (std::vector<std::string>{"DevDll", "dev_0"}));
    EXPECT_EQ(keys(file, "DEV_0"), (std::vector<std::string>{"Name", "Dll"}));
}

TEST_F(IniFileTest, GetIntTakesTheLeadingInteger) {
    struct Case {
        const char* text;
        int expected;
    };
    constexpr Case cases[] = {
        {"12abc", 12}, {"-5", -5}, {"+3", 3}, {" 42 ", 42}, {"3.9", 3}, {"\"7\"", 7},
        {"x", 0},      {"-", 0},   {"0x1F", 0},  // no leading digits: 0, not the default
        {"", 99},                                // empty: the default
    };
    std::string content = "[N]\n";
    for (size_t i = 0; i < std::size(cases); ++i) content += "k" + std::to_string(i) + "=" + cases[i].text + "\n";
    dir.write("config.ini", content);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(getInt(file, "N", "k" + std::to_string(i), 99), cases[i].expected) << '"' << cases[i].text << '"';
}

TEST_F(IniFileTest, WriteCreatesTheFileAndReplacesAKeyInAnyCase) {
    ASSERT_TRUE(writeString(file, "LAST", "Sel", "1"));
    ASSERT_TRUE(writeString(file, "last", "SEL", "2"));
    ASSERT_TRUE(writeString(file, "LAST", "Other", "x"));
    EXPECT_EQ(getInt(file, "Last", "sel", 0), 2);
    EXPECT_EQ(keys(file, "LAST").size(), 2u);
    EXPECT_EQ(sections(file).size(), 1u);

    ASSERT_TRUE(deleteKey(file, "last", "SEL"));
    EXPECT_EQ(getString(file, "LAST", "Sel", "gone"), "gone");
    EXPECT_EQ(getString(file, "LAST", "Other"), "x");
    EXPECT_FALSE(deleteKey(dir.file("none.ini"), "LAST", "Sel"));
}

TEST_F(IniFileTest, OfAKeyGivenTwiceTheFirstCountsAndAWriteLeavesOne) {
    dir.write("config.ini", "[A]\nk=1\nK=2\nz=3\n");
    EXPECT_EQ(getInt(file, "A", "k", 0), 1);
    EXPECT_EQ(keys(file, "A"), (std::vector<std::string>{"k", "z"}));
    ASSERT_TRUE(writeString(file, "a", "K", "5"));
    EXPECT_EQ(getInt(file, "A", "k", 0), 5);
    std::string text = dir.read("config.ini");
    std::istringstream lines(text);
    size_t kLines = 0;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && (line[0] == 'k' || line[0] == 'K')) ++kLines;
    EXPECT_EQ(kLines, 1u) << text;
}

TEST_F(IniFileTest, WritingWhereNoFileCanBeFails) {
    const std::uint8_t b = 1;
    EXPECT_FALSE(writeString(dir.file("no/such/folder.ini"), "A", "b", "c"));
    EXPECT_FALSE(writeStruct(dir.file("no/such/folder.ini"), "A", "b", &b, 1));
    EXPECT_FALSE(writeStruct(file, "A", "b", nullptr, 1));
}

TEST_F(IniFileTest, StructIsUpperHexWithAnEightBitSumAndRoundTrips) {
    const std::array<std::uint8_t, 3> bytes{0x01, 0xAB, 0xFF};
    ASSERT_TRUE(writeStruct(file, "S", "blk", bytes.data(), bytes.size()));
    EXPECT_EQ(getString(file, "S", "blk"), "01ABFFAB");  // 0x01 + 0xAB + 0xFF = 0x1AB

    std::array<std::uint8_t, 3> back{};
    ASSERT_TRUE(getStruct(file, "s", "BLK", back.data(), back.size()));
    EXPECT_EQ(back, bytes);

    struct Record {
        std::int32_t a;
        std::uint16_t b;
        char name[6];
    } in{-2, 0xBEEF, "abcde"}, out{};
    ASSERT_TRUE(writeStruct(file, "S", "rec", &in, sizeof in));
    ASSERT_TRUE(getStruct(file, "S", "rec", &out, sizeof out));
    EXPECT_EQ(std::memcmp(&in, &out, sizeof in), 0);
}

TEST_F(IniFileTest, StructThatDoesNotMatchExactlyIsRefusedAndTheBufferKept) {
    dir.write("config.ini",
              "[S]\nbadsum=01ABFFAC\nshort=01ABAC\nlong=01ABFF00AB\nnothex=01ABZZAB\nodd=01ABFFA\nempty=\n");
    for (const char* key : {"badsum", "short", "long", "nothex", "odd", "empty", "missing"}) {
        std::array<std::uint8_t, 3> buf;
        buf.fill(0x5A);
        EXPECT_FALSE(getStruct(file, "S", key, buf.data(), buf.size())) << key;
        EXPECT_EQ(buf, (std::array<std::uint8_t, 3>{0x5A, 0x5A, 0x5A})) << key;
    }
    EXPECT_FALSE(getStruct(file, "S", "badsum", nullptr, 3));
}

}  // namespace
}  // namespace vexa::ini
