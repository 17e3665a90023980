// Sub-module values in each class's own conversions (format 20): every class of the class table
// is created as the library creates it, its register blocks are filled from the input as a
// coupler's replies would fill them, and every class item is rendered and parsed from texts of
// the input and from its own rendered text. No class promises that a rendered text parses back
// to the same bytes (texts round values and clamp them to a range), so only crashes, undefined
// behaviour and over-long texts are findings.
//
// Input: class row, hardware version choice, then 64 bytes per register block of the class (in
// table order; missing bytes are 0), then texts separated by newlines.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "main/CUsbMain.h"
#include "sub/CVEXASub.h"
#include "sub/CVEXASubMgr.h"
#include "sub/SubTables.h"

using namespace vexa;

namespace {

constexpr std::size_t kHeader = 2;

// Reaches the two conversion hooks of any class through the base class's members; the calls
// stay virtual, so each class's own conversion runs.
struct Conversions : CVEXASub {
    static void format(CVEXASub& sub, PropertyItem& item) { (sub.*&Conversions::FormatData)(item); }
    static bool parse(CVEXASub& sub, PropertyItem& item, const std::string& text) {
        return (sub.*&Conversions::ParseData)(item, text);
    }
};

void checkText(const PropertyItem& item) {
    if (item.text.size() >= static_cast<std::size_t>(kTextSize)) __builtin_trap();
}

std::vector<std::string> splitTexts(const std::uint8_t* p, std::size_t n) {
    std::vector<std::string> texts;
    std::string t;
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] == '\n') {
            texts.push_back(t);
            t.clear();
        } else {
            t.push_back(static_cast<char>(p[i]));
        }
    }
    texts.push_back(t);
    return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) return 0;
    static CUsbMain coupler;
    const auto rows = SubClassRows();
    const SubClassRow& row = rows[data[0] % rows.size()];
    SubSlotRecord slot;
    slot.address = 1;
    slot.type = row.type;
    slot.hardVer = static_cast<std::uint16_t>(row.minHardVer + (data[1] & 3));
    auto sub = CVEXASubMgr::Make(row, slot, &coupler);
    if (!sub) return 0;

    // Register blocks as replies deliver them: raw bytes into every item, rendered.
    const std::uint8_t* p = data + kHeader;
    std::size_t left = size - kHeader;
    for (const auto* list : {&sub->propertyGroups(), &sub->dataGroups()})
        for (const ItemGroup& g : *list) {
            std::uint8_t block[CVEXASub::kBlockBytes] = {};
            const std::size_t take = std::min<std::size_t>(left, sizeof block);
            std::memcpy(block, p, take);
            p += take;
            left -= take;
            sub->ApplyBlock(g.kind, g.block, g.startReg, block, static_cast<int>(sizeof block));
        }
    const std::vector<std::string> texts = splitTexts(p, left);

    // Every class item: rendered from what the blocks gave it, then parsed from an input text and
    // from its own text, and rendered again.
    std::size_t next = 0;
    for (const auto* list : {&sub->propertyGroups(), &sub->dataGroups()})
        for (const ItemGroup& g : *list)
            for (PropertyItem item : g.items) {
                if (item.format != kFmtClass) continue;
                Conversions::format(*sub, item);
                checkText(item);
                const std::string own = item.text;
                Conversions::parse(*sub, item, texts[next++ % texts.size()]);
                Conversions::format(*sub, item);
                checkText(item);
                Conversions::parse(*sub, item, own);
                Conversions::format(*sub, item);
                checkText(item);
            }
    return 0;
}
