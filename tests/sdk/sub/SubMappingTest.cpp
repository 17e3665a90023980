// The CANopen mapping a typical rack contributes: I/O map records, SDO records and the I/O
// channel list, against values worked out by hand from the register maps.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sub/CVEXASubMgr.h"

using namespace vexa;

namespace {

std::unique_ptr<CVEXASub> build(std::uint16_t type, int address, std::uint16_t hardVer = 0x100) {
    SubSlotRecord s;
    s.address = static_cast<std::uint16_t>(address);
    s.type = type;
    s.hardVer = hardVer;
    const SubClassRow* row = FindSubClass(type, hardVer);
    return row ? CVEXASubMgr::Make(*row, s, nullptr) : nullptr;
}

// sub address, direction, register, length
using Word = std::array<int, 4>;

std::vector<Word> ioMap(const CVEXASub& sub) {
    std::vector<Word> out;
    for (const auto& r : sub.ioMapRecords()) out.push_back({r.subAddress, r.direction, r.reg, r.lengthRegs});
    return out;
}

// index, sub-index, sub address, register, length
using Sdo = std::array<int, 5>;

std::vector<Sdo> sdo(const CVEXASub& sub) {
    std::vector<Sdo> out;
    for (const auto& r : sub.sdoRecords()) {
        EXPECT_EQ(r.zero, 0);
        out.push_back({r.index, r.subIndex, r.subAddress, r.reg, r.lengthRegs});
    }
    return out;
}

}  // namespace

// 0x1804 at 1: DI word 0 and twelve 2-register counters from 2 are 25 registers, which the
// coupler wants as 26 (register 1 lies between).
TEST(SubMapping, DigitalInputCountersSpanTwentySix) {
    auto sub = build(0x1804, 1);
    EXPECT_EQ(ioMap(*sub), (std::vector<Word>{{1, 0, 0, 26}}));
    EXPECT_EQ(sdo(*sub), (std::vector<Sdo>{{0x3000, 1, 1, 128, 1}}));
}

TEST(SubMapping, DigitalOutputs) {
    auto sub = build(0x2808, 2);
    EXPECT_EQ(ioMap(*sub), (std::vector<Word>{{2, 1, 32, 1}}));
    EXPECT_EQ(sdo(*sub), (std::vector<Sdo>{{0x3009, 1, 2, 128, 1}, {0x3009, 2, 2, 129, 1}}));
}

TEST(SubMapping, BipolarInputsWithTheirCalibrationObjects) {
    auto sub = build(0x4017, 3);
    EXPECT_EQ(ioMap(*sub), (std::vector<Word>{{3, 0, 64, 8}}));
    auto s = sdo(*sub);
    ASSERT_EQ(s.size(), 11u);
    EXPECT_EQ(s[0], (Sdo{0x3032, 1, 3, 128, 1}));
    EXPECT_EQ(s[8], (Sdo{0x3032, 9, 3, 136, 1}));
    EXPECT_EQ(s[9], (Sdo{0x3032, 10, 3, 152, 1}));
    EXPECT_EQ(s[10], (Sdo{0x3032, 11, 3, 153, 1}));
}

// 0x3402 at 4: the outputs of block 3 (registers 96, 97, 112, 113) are mapped as the two
// output registers only.
TEST(SubMapping, MixedModuleOutputsAreTwoRegisters) {
    auto sub = build(0x3402, 4);
    EXPECT_EQ(ioMap(*sub), (std::vector<Word>{{4, 0, 0, 1}, {4, 1, 32, 1}, {4, 0, 64, 16}, {4, 1, 96, 2}}));
    auto s = sdo(*sub);
    ASSERT_EQ(s.size(), 14u);
    EXPECT_EQ(s.front(), (Sdo{0x301B, 1, 4, 128, 1}));
    EXPECT_EQ(s.back(), (Sdo{0x301B, 14, 4, 141, 1}));
}

// 0x3412 at 5: the event counter at 0x5E is an output the coupler also reads as an input.
TEST(SubMapping, MillivoltEventCounterIsMappedBothWays) {
    auto sub = build(0x3412, 5);
    EXPECT_EQ(ioMap(*sub), (std::vector<Word>{{5, 0, 0, 1}, {5, 1, 32, 1}, {5, 0, 64, 4}, {5, 0, 94, 2},
                                              {5, 1, 94, 2}, {5, 1, 96, 1}}));
    EXPECT_EQ(sdo(*sub).back(), (Sdo{0x3024, 17, 5, 144, 1}));
}

TEST(SubMapping, AnalogOutputsAndTheirReadBack) {
    auto sub = build(0x4400, 6);
    EXPECT_EQ(ioMap(*sub), (std::vector<Word>{{6, 0, 112, 4}, {6, 1, 96, 5}}));
    EXPECT_EQ(sdo(*sub).size(), 9u);
    auto e = build(0x4400, 6, 0x110);
    EXPECT_EQ(ioMap(*e), (std::vector<Word>{{6, 1, 96, 4}}));
    EXPECT_EQ(sdo(*e).front(), (Sdo{0x3045, 1, 6, 128, 1}));
}

TEST(SubMapping, EncoderObjectsOfOneAndTwoRegisters) {
    auto s = sdo(*build(0x7404, 7));
    ASSERT_EQ(s.size(), 46u);
    EXPECT_EQ(s[28], (Sdo{0x305E, 29, 7, 156, 1}));
    EXPECT_EQ(s[29], (Sdo{0x305E, 30, 7, 157, 2}));
    EXPECT_EQ(s[30], (Sdo{0x305E, 31, 7, 160, 2}));
    EXPECT_EQ(s[34], (Sdo{0x305E, 35, 7, 168, 2}));
    EXPECT_EQ(s[35], (Sdo{0x305E, 36, 7, 170, 1}));
    EXPECT_EQ(s[36], (Sdo{0x305E, 37, 7, 171, 1}));
    EXPECT_EQ(s[37], (Sdo{0x305E, 38, 7, 172, 2}));
    EXPECT_EQ(s[44], (Sdo{0x305E, 45, 7, 186, 2}));
    EXPECT_EQ(s[45], (Sdo{0x305E, 46, 7, 188, 1}));
}

// One record per distinct register of the data items, directions by register range, key and
// the class's type code filled in; the count is the whole list even past the capacity.
TEST(SubMapping, IoChannelListOfTheMixedModule) {
    auto sub = build(0x3402, 4);
    int count = -1;
    sub->GetIoChannels(nullptr, 0, &count);
    EXPECT_EQ(count, 14);

    std::vector<IoMapRecord> rec(20);
    sub->GetIoChannels(rec.data(), 20, &count);
    ASSERT_EQ(count, 14);
    struct Expect {
        int dir, reg, len;
        const char* key;
    } expect[] = {
        {0, 0, 1, "DATA_DIN_0"},          {1, 32, 1, "DATA_DOUT_0"},         {0, 64, 2, "DATA_AIN_REGION_0"},
        {0, 78, 2, "DATA_AIN_REGION_7"},  {1, 96, 1, "DATA_AOUT_VOLTAGE_0"}, {1, 97, 1, "DATA_AOUT_VOLTAGE_1"},
        {1, 112, 1, "DATA_AOUT_CHECK_SEND"}, {1, 113, 1, "DATA_AOUT_CHECK_READ"},
    };
    int at[] = {0, 1, 2, 9, 10, 11, 12, 13};
    for (std::size_t i = 0; i < std::size(expect); ++i) {
        const IoMapRecord& r = rec[static_cast<std::size_t>(at[i])];
        EXPECT_EQ(r.subAddress, 4) << i;
        EXPECT_EQ(r.direction, expect[i].dir) << expect[i].key;
        EXPECT_EQ(r.reg, expect[i].reg) << expect[i].key;
        EXPECT_EQ(r.lengthRegs, expect[i].len) << expect[i].key;
        EXPECT_STREQ(r.key, expect[i].key);
        EXPECT_EQ(r.type, 0x3402);
    }

    // A short array is filled no further than its capacity.
    std::vector<IoMapRecord> few(4);
    std::memset(few.data(), 0xAB, few.size() * sizeof(IoMapRecord));
    sub->GetIoChannels(few.data(), 3, &count);
    EXPECT_EQ(count, 14);
    EXPECT_STREQ(few[2].key, "DATA_AIN_REGION_0");
    EXPECT_EQ(few[3].subAddress, 0xAB);
}

TEST(SubMapping, NewerGenerationReportsItsOwnTypeInChannels) {
    auto sub = build(0x4017, 2, 0x120);
    IoMapRecord rec[8];
    int count = 0;
    sub->GetIoChannels(rec, 8, &count);
    ASSERT_EQ(count, 8);
    EXPECT_EQ(rec[0].type, 0x4117);
    EXPECT_EQ(rec[0].direction, 0);
}
