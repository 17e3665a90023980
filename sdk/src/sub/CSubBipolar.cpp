#include "CSubBipolar.h"

#include <cmath>

#include "SubText.h"
#include "msg/FrameChecks.h"

namespace vexa {

namespace {

constexpr int kVariants = 3;  // BipolarVariant

// Full scale is 10 / divisor; the value is scaled for the unit, and current ranges show its
// magnitude. One text per variant, each taking the value and the code.
struct BipolarRange {
    int code;
    int divisor;
    double factor;
    bool magnitude;
    const char* text[kVariants];
};
constexpr BipolarRange kRanges[] = {
    {0, 1, 1, false, {"%6.3f V---0x%04x----Normal", "%6.3f  V---0x%04x----Normal", "%6.3f V---0x%04x---Normal"}},
    {1, 2, 1, false, {"%6.3f V---0x%04x----Normal", "%6.3f  V---0x%04x----Normal", "%6.3f V---0x%04x---Normal"}},
    {2, 4, 1, false, {"%6.3f V---0x%04x----Normal", "%6.3f  V---0x%04x----Normal", "%6.3f V---0x%04x---Normal"}},
    {4, 16, 1000, false, {"%6.3f mV---0x%04x----Normal", "%6.3f mV---0x%04x----Normal", "%6.3f mV---0x%04x---Normal"}},
    {6, 64, 1000, false, {"%6.3f mV---0x%04x---Normal", "%6.3f mV---0x%04x----Normal", "%6.3f mV---0x%04x---Normal"}},
    {17, 2, 4, true, {"%6.3f mA---0x%04x---Normal", "%6.3f mA---0x%04x----Normal", "%6.3f mA---0x%04x---Normal"}},
};

// A range code no row serves: a channel that is switched off (its own code, if the variant has
// one) or anything else. Texts that take the code have it in them.
struct ClosedTexts {
    int closedCode;          // -1: none
    const char* closedText;  // takes the code
    const char* otherText;
    bool otherTakesCode;
};
constexpr ClosedTexts kClosed[kVariants] = {
    {-1, nullptr, "0.000V---0x%04x---Close", true},
    {15, "0.000  V---0x%04x----Close", "ERROR NO THIS", false},
    {-1, nullptr, "0.000 V---0x%04x---Close", true},
};

}  // namespace

void CSubBipolar::FormatData(PropertyItem& item) {
    if (!startsWith(item.key, "DATA_AIN_")) return;
    int variant = row_ && row_->variant < kVariants ? row_->variant : 0;
    unsigned code = be16(item.raw);
    int type = PropertyWord("SET_AIN_TYPE_" + std::to_string(channelOf(item.key)));
    if (const BipolarRange* r = rowForCode(kRanges, type)) {
        double fs = 10.0 / r->divisor;
        double v = (2.0 * code * fs / 65535.0 - fs) * r->factor;
        if (r->magnitude) v = std::fabs(v);
        item.floatValue = static_cast<float>(v);
        item.setText(tableText(r->text[variant], v, code));
        return;
    }
    const ClosedTexts& c = kClosed[variant];
    item.floatValue = 0;
    if (type == c.closedCode)
        item.setText(tableText(c.closedText, code));
    else
        item.setText(c.otherTakesCode ? tableText(c.otherText, code) : std::string(c.otherText));
}

}  // namespace vexa
