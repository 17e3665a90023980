#include "CSub3402.h"

#include "Output12.h"
#include "SubText.h"
#include "msg/FrameChecks.h"

namespace vexa {

namespace {

struct OutputKey {
    const char* prefix;
    OutputView view;
};
constexpr OutputKey kOutputs[] = {
    {"SET_AOUT_DEFAULT_", OutputView::Value},
    {"DATA_AOUT_VOLTAGE_", OutputView::Voltage},
    {"DATA_AOUT_ELECTRIC_", OutputView::Current},
};

// The input's state word: 0 Normal, 1 Exceed, anything else Close.
const char* stateText(unsigned state) { return state == 0 ? "Normal" : state == 1 ? "Exceed" : "Close"; }

// Input ranges: 1 is current (the value times 4), 2 is switched off, the rest are volts.
constexpr int kCurrentInput = 1;
constexpr int kClosedInput = 2;

}  // namespace

void CSub3402::FormatData(PropertyItem& item) {
    int ch = channelOf(item.key);
    if (startsWith(item.key, "DATA_AIN_REGION_")) {
        unsigned code = be16(item.raw);
        const char* state = stateText(be16(item.raw + 2));
        int type = PropertyWord("SET_AIN_TYPE_" + std::to_string(ch));
        double v = 20.0 * code / 65535.0 - 10.0;
        if (type == kClosedInput) {
            item.floatValue = 0;
            item.setText(textf("0.000 V---0x%04x---%s", code, "Close"));
        } else if (type == kCurrentInput) {
            item.floatValue = static_cast<float>(v * 4);
            item.setText(textf("%6.3f mA---0x%04x---%s", v * 4, code, state));
        } else {
            item.floatValue = static_cast<float>(v);
            item.setText(textf("%6.3f V---0x%04x---%s", v, code, state));
        }
        return;
    }
    if (const OutputKey* k = rowForKey(kOutputs, item.key))
        formatOutput12(item, PropertyWord("SET_AOUT_TYPE_" + std::to_string(ch)), k->view);
}

bool CSub3402::ParseData(PropertyItem& item, const std::string& text) {
    if (!rowForKey(kOutputs, item.key)) return true;
    return parseOutput12(item, PropertyWord("SET_AOUT_TYPE_" + std::to_string(channelOf(item.key))), text);
}

}  // namespace vexa
