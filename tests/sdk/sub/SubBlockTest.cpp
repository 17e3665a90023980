// Placing block replies into items: offsets count from the first register a reply carries,
// and only items the reply carries whole are touched.
#include <gtest/gtest.h>

#include <vector>

#include "msg/CVEXAMsg.h"
#include "msg/FrameChecks.h"
#include "sub/CVEXASubMgr.h"

using namespace vexa;

namespace {

std::unique_ptr<CVEXASub> build(std::uint16_t type) {
    SubSlotRecord s;
    s.address = 1;
    s.type = type;
    s.hardVer = 0x100;
    return CVEXASubMgr::Make(*FindSubClass(type, 0x100), s, nullptr);
}

// Register r holds the value r.
std::vector<std::uint8_t> numbered(int first, int count) {
    std::vector<std::uint8_t> d(static_cast<std::size_t>(count) * 2);
    for (int i = 0; i < count; ++i) putBe16(&d[static_cast<std::size_t>(2 * i)], static_cast<std::uint32_t>(first + i));
    return d;
}

const PropertyItem* item(const CVEXASub& sub, const std::string& key) {
    for (const auto* groups : {&sub.propertyGroups(), &sub.dataGroups()})
        for (const auto& g : *groups)
            for (const auto& it : g.items)
                if (it.key == key) return &it;
    return nullptr;
}

}  // namespace

// A USB block arrives as registers 128..153 and 144..159: every item shows its own register.
TEST(SubBlockPlacement, TwoPartReplyFillsEveryItemFromItsOwnRegister) {
    auto sub = build(0x7404);
    auto first = numbered(128, 26), second = numbered(144, 16);
    sub->ApplyBlock(kSubProperty, 4, 128, first.data(), static_cast<int>(first.size()));
    sub->ApplyBlock(kSubProperty, 4, 144, second.data(), static_cast<int>(second.size()));
    for (const auto& g : sub->propertyGroups()) {
        if (g.block != 4) continue;
        for (const auto& it : g.items) {
            ASSERT_FALSE(it.text.empty()) << it.key;
            EXPECT_EQ(be16(it.raw), it.offset) << it.key;
            if (it.length == 4) {
                EXPECT_EQ(be16(it.raw + 2), it.offset + 1) << it.key;
            }
        }
    }
    EXPECT_EQ(item(*sub, "SET_ENCODE_FENDU_1")->text, "154");
    EXPECT_EQ(item(*sub, "SET_ENCODE_MAXCOUNT_0")->text, std::to_string(157 << 16 | 158));
}

TEST(SubBlockPlacement, ItemsOutsideTheReplyKeepTheirValue) {
    auto sub = build(0x7404);
    auto part = numbered(144, 16);
    sub->ApplyBlock(kSubProperty, 4, 144, part.data(), static_cast<int>(part.size()));
    EXPECT_TRUE(item(*sub, "SET_CF_WORKMODE_0")->text.empty());
    EXPECT_EQ(item(*sub, "SET_CF_HIGH_VOL_1")->text, "144");
    // A reply of registers 150..157 carries only half of the 32-bit item at 157..158.
    auto shortPart = numbered(150, 8);
    auto fresh = build(0x7404);
    fresh->ApplyBlock(kSubProperty, 4, 150, shortPart.data(), static_cast<int>(shortPart.size()));
    EXPECT_EQ(item(*fresh, "SET_ENCODE_FENDU_0")->text, "153");
    EXPECT_TRUE(item(*fresh, "SET_ENCODE_MAXCOUNT_0")->text.empty());
}

TEST(SubBlockPlacement, ReplyForAnotherBlockOrEmptyChangesNothing) {
    auto sub = build(0x2808);
    auto d = numbered(0, 32);
    sub->ApplyBlock(kSubProperty, 7, 224, d.data(), static_cast<int>(d.size()));
    sub->ApplyBlock(kSubProperty, 4, 128, nullptr, 64);
    sub->ApplyBlock(kSubProperty, 4, 128, d.data(), 0);
    EXPECT_TRUE(item(*sub, "SET_DOUT_MODE_0")->text.empty());
}
