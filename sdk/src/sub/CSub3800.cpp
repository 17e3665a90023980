#include "CSub3800.h"

#include "SubText.h"
#include "msg/FrameChecks.h"

namespace vexa {

namespace {

constexpr int kMidCode = 2048;

// Value per count away from mid scale, and the text (value, code).
struct OffsetRange {
    int code;
    double perCount;
    const char* text;
};
constexpr OffsetRange kRanges[] = {
    {0, 10.0 / 4096, "%6.3f V---0x%04x---Normal"},                // +-5 V
    {1, 20.0 / 4096, "%6.3f V---0x%04x---Normal"},                // +-10 V
    {2, 10.0 / 4096 / 250 * 1000, "%6.3f mA---0x%04x---Normal"},  // +-20 mA over 250 ohm
};

}  // namespace

void CSub3800::FormatData(PropertyItem& item) {
    if (!startsWith(item.key, "DATA_AIN_")) return;
    unsigned code = be16(item.raw);
    const OffsetRange* r = rowForCode(kRanges, PropertyWord("SET_AIN_TYPE_" + std::to_string(channelOf(item.key))));
    if (!r) {
        item.floatValue = 0;
        item.setText(textf("0.000 V---0x%04x---Close", code));
        return;
    }
    double v = (static_cast<int>(code) - kMidCode) * r->perCount;
    item.floatValue = static_cast<float>(v);
    item.setText(tableText(r->text, v, code));
}

}  // namespace vexa
