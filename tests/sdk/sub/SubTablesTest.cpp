// The class table: which class serves a slot, and that every class builds a consistent
// register map.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "main/ValueFormat.h"
#include "sub/CVEXASubMgr.h"

using namespace vexa;

namespace {

SubSlotRecord slotOf(std::uint16_t type, std::uint16_t hardVer, int address = 1) {
    SubSlotRecord s;
    s.address = static_cast<std::uint16_t>(address);
    s.type = type;
    s.hardVer = hardVer;
    return s;
}

std::unique_ptr<CVEXASub> build(std::uint16_t type, std::uint16_t hardVer, int address = 1) {
    const SubClassRow* row = FindSubClass(type, hardVer);
    return row ? CVEXASubMgr::Make(*row, slotOf(type, hardVer, address), nullptr) : nullptr;
}

}  // namespace

TEST(SubClassTable, HardwareVersionChoosesTheGeneration) {
    struct Case {
        std::uint16_t type, hardVer;
        const char* className;
        int ownCode;
    } cases[] = {
        {0x3800, 0x014F, "CSub3800", 0x3800}, {0x3800, 0x0150, "CSub3800E", 0x3800},
        {0x4017, 0x011F, "CSub4017", 0x4017}, {0x4017, 0x0120, "CSub4017E", 0x4117},
        {0x4400, 0x010F, "CSub4400", 0x4400}, {0x4400, 0x0110, "CSub4400E", 0x4410},
        {0x4410, 0x0100, "CSub4400E", 0x4410}, {0x270F, 0x0100, "CSub9999", 0x9999},
        {0x390B, 0x0100, "CSub390B", 0x390B},
    };
    for (const auto& c : cases) {
        auto sub = build(c.type, c.hardVer);
        ASSERT_NE(sub, nullptr) << std::hex << c.type;
        EXPECT_STREQ(sub->className(), c.className) << std::hex << c.type << " " << c.hardVer;
        EXPECT_EQ(sub->typeCode(), c.ownCode) << std::hex << c.type;
    }
    EXPECT_EQ(FindSubClass(0x1234, 0x0100), nullptr);
    EXPECT_EQ(FindSubClass(0x0000, 0x0100), nullptr);
}

// Keys are unique per table, every item lies inside the register space and inside the block
// of its group (displays excepted), and bit items name a bit of their register.
TEST(SubClassTable, EveryClassBuildsAConsistentMap) {
    for (const auto& row : SubClassRows()) {
        auto sub = CVEXASubMgr::Make(row, slotOf(row.type, row.minHardVer), nullptr);
        ASSERT_NE(sub, nullptr) << row.className;
        for (const auto* groups : {&sub->propertyGroups(), &sub->dataGroups()}) {
            std::set<std::string> keys;
            for (const auto& g : *groups)
                for (const auto& it : g.items) {
                    EXPECT_TRUE(keys.insert(it.key).second) << row.className << " " << it.key;
                    if (it.bitNumber == -1) continue;
                    int first = it.offset, last = it.offset + (it.length + 1) / 2 - 1;
                    EXPECT_GE(first, g.startReg) << row.className << " " << it.key;
                    EXPECT_LT(last, g.startReg + g.lengthBytes / 2) << row.className << " " << it.key;
                    if (it.format == kFmtBit) {
                        EXPECT_EQ(it.length, 2) << it.key;
                        EXPECT_LT(it.bitNumber, 16) << it.key;
                    }
                }
        }
        EXPECT_EQ(sub->propertyGroups().front().items.front().key, "SLAVER_ADDRESS") << row.className;
    }
}

TEST(SubClassTable, SdoObjectCountsPerClass) {
    struct Case {
        std::uint16_t type, hardVer;
        std::size_t count;
    } cases[] = {
        {0x1804, 0x100, 1},  {0x2808, 0x100, 2},  {0x4055, 0x100, 3},  {0x3402, 0x100, 14}, {0x3412, 0x100, 17},
        {0x3800, 0x100, 8},  {0x3800, 0x150, 8},  {0x4017, 0x100, 11}, {0x4017, 0x120, 11}, {0x4400, 0x100, 9},
        {0x4410, 0x100, 11}, {0x5508, 0x100, 18}, {0x6608, 0x100, 21}, {0x7404, 0x100, 46}, {0x9308, 0x100, 0},
        {0x9606, 0x100, 0},  {0x7204, 0x100, 0},  {0x9108, 0x100, 0},  {0x3900, 0x100, 0},  {0x9999, 0x100, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(build(c.type, c.hardVer)->sdoRecords().size(), c.count) << std::hex << c.type;
}

TEST(SubClassTable, KeysForToolsFollowTheTable) {
    const SubClassRow* row = FindSubClass(0x2808, 0x100);
    ASSERT_NE(row, nullptr);
    auto props = SubClassKeys(*row, false);
    auto data = SubClassKeys(*row, true);
    ASSERT_EQ(props.size(), 7u + 16u);
    EXPECT_EQ(props[0], "SLAVER_ADDRESS");
    EXPECT_EQ(props[7], "SET_DOUT_MODE_0");
    EXPECT_EQ(props[22], "SET_DOUT_DEFAULT_7");
    ASSERT_EQ(data.size(), 8u);
    EXPECT_EQ(data[7], "DATA_DOUT_7");
}
