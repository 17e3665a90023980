#include "CSub3800E.h"

#include "SubText.h"
#include "msg/FrameChecks.h"

namespace vexa {

namespace {

constexpr unsigned kPositive = 0x8000;
constexpr unsigned kMagnitude = 0x3FFF;

// Up to `limit` the value is magnitude × perCount; past it the range end is shown as out of
// range. Texts take the value and the code.
struct SignRange {
    int code;
    unsigned limit;
    double perCount;
    double rangeEnd;
    const char* text;
    const char* overText;
};
constexpr const char* kVolts = "%6.3f  V---0x%04x----Normal  ";
constexpr const char* kVoltsOver = "%6.3f  V---0x%04x----超出量程  ";
constexpr const char* kAmps = "%6.3f mA---0x%04x----Normal  ";
constexpr const char* kAmpsOver = "%6.3f mA---0x%04x----超出量程  ";
constexpr SignRange kRanges[] = {
    {0, 8040, 0.625 / 1000, 5, kVolts, kVoltsOver},
    {1, 16079, 0.625 / 1000, 10, kVolts, kVoltsOver},
    {2, 8040, 2.5 / 1000, 20, kAmps, kAmpsOver},
    {3, 16080, 2.5 / 1000, 40, kAmps, kAmpsOver},
};

}  // namespace

void CSub3800E::FormatData(PropertyItem& item) {
    if (!startsWith(item.key, "DATA_AIN_")) return;
    unsigned code = be16(item.raw);
    const SignRange* r = rowForCode(kRanges, PropertyWord("SET_AIN_TYPE_" + std::to_string(channelOf(item.key))));
    if (!r) {
        item.floatValue = 0;
        item.setText(textf("0.000  V---0x%04x----Close   ", code));
        return;
    }
    unsigned m = code & kMagnitude;
    bool over = m > r->limit;
    double v = over ? r->rangeEnd : m * r->perCount;
    if (!(code & kPositive)) v = -v;
    item.floatValue = static_cast<float>(v);
    item.setText(tableText(over ? r->overText : r->text, v, code));
}

}  // namespace vexa
