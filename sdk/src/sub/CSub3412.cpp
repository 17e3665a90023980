#include "CSub3412.h"

#include <algorithm>
#include <cmath>

#include "Output12.h"
#include "SubText.h"
#include "msg/FrameChecks.h"

namespace vexa {

namespace {

constexpr unsigned kPositive = 0x8000;
constexpr unsigned kMagnitude = 0x7FFF;

// Full scale of each range (mV, or mA for 6) and its text (value, code).
struct MillivoltRange {
    int code;
    double scale;
    const char* text;
};
constexpr MillivoltRange kRanges[] = {
    {0, 15, "%8.3f mV  -  0x%04x---Normal"},   {1, 50, "%8.3f mV  -  0x%04x---Normal"},
    {2, 100, "%8.2f mV  -  0x%04x---Normal"},  {3, 500, "%8.2f mV  -  0x%04x---Normal"},
    {4, 1000, "%8.1f mV  -  0x%04x---Normal"}, {5, 2500, "%8.1f mV  -  0x%04x---Normal"},
    {6, 20, "%8.3f mA  -  0x%04x---Normal"},
};
constexpr MillivoltRange kOtherRange = {-1, 2500, "%8.1f mV  -  0x%04x---Normal"};

constexpr const char* kScaled[] = {"DATA_AIN_", "SET_AIN_MAX_", "SET_AIN_MIN_"};

bool isScaled(const std::string& key) {
    return std::any_of(std::begin(kScaled), std::end(kScaled), [&](const char* p) { return startsWith(key, p); });
}

struct OutputKey {
    const char* prefix;
    OutputView view;
};
constexpr OutputKey kOutputs[] = {
    {"DATA_AOUT_VOLTAGE_", OutputView::Voltage},
    {"DATA_AOUT_ELECTRIC_", OutputView::Current},
};

}  // namespace

double CSub3412::Scale(int channel, const char*& text) const {
    const MillivoltRange* r = rowForCode(kRanges, PropertyWord("SET_AIN_TYPE_" + std::to_string(channel)));
    if (!r) r = &kOtherRange;
    text = r->text;
    return r->scale;
}

void CSub3412::FormatData(PropertyItem& item) {
    int ch = channelOf(item.key);
    if (isScaled(item.key)) {
        unsigned code = be16(item.raw);
        const char* text;
        double v = (code & kMagnitude) * Scale(ch, text) / 32767.0;
        if (!(code & kPositive)) v = -v;
        item.floatValue = static_cast<float>(v);
        item.setText(tableText(text, v, code));
        return;
    }
    if (const OutputKey* k = rowForKey(kOutputs, item.key))
        formatOutput12(item, PropertyWord("SET_AOUT_TYPE_" + std::to_string(ch)), k->view);
}

bool CSub3412::ParseData(PropertyItem& item, const std::string& text) {
    int ch = channelOf(item.key);
    if (rowForKey(kOutputs, item.key))
        return parseOutput12(item, PropertyWord("SET_AOUT_TYPE_" + std::to_string(ch)), text);
    // Inputs are read, not written; the limits are the inverse of the input scaling.
    if (startsWith(item.key, "DATA_AIN_") || !isScaled(item.key)) return true;
    double v;
    if (!leadingNumber(text, v)) return false;
    const char* unused;
    double scale = Scale(ch, unused);
    double m = std::min(std::round(std::fabs(v) * 32767.0 / scale), static_cast<double>(kMagnitude));
    putBe16(item.raw, (v >= 0 ? kPositive : 0) | static_cast<unsigned>(m));
    item.floatValue = static_cast<float>(v);
    return true;
}

}  // namespace vexa
