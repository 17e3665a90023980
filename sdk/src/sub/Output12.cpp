#include "Output12.h"

#include <algorithm>

#include "SubText.h"
#include "msg/FrameChecks.h"

namespace vexa {

namespace {

constexpr double kFullCode = 4095.0;

struct OutputType {
    int code;
    double fullScale;
    bool current;
};
constexpr OutputType kTypes[] = {{0, 10, false}, {1, 20, true}, {2, 20, true}};

}  // namespace

void formatOutput12(PropertyItem& item, int type, OutputView view) {
    unsigned code = be16(item.raw);
    const OutputType* t = rowForCode(kTypes, type);
    if (!t) {
        double v = code * 10.0 / kFullCode;
        item.floatValue = static_cast<float>(v);
        item.setText(textf("%6.3f V---%04x", v, code));
        return;
    }
    double v = code * t->fullScale / kFullCode;
    if (t->current && view == OutputView::Voltage) {
        item.floatValue = 0;
        item.setText(textf("0.000 V---0x%04x", code));
    } else if (!t->current && view == OutputView::Current) {
        item.floatValue = 0;
        item.setText(textf("0.000 mA---0x%04x", code));
    } else {
        item.floatValue = static_cast<float>(v);
        item.setText(t->current ? textf("%6.3f mA---0x%04x", v, code) : textf("%6.3f V---0x%04x", v, code));
    }
}

bool parseOutput12(PropertyItem& item, int type, const std::string& text) {
    double v;
    if (!leadingNumber(text, v)) return false;
    const OutputType* t = rowForCode(kTypes, type);
    if (!t) return true;
    v = std::clamp(v, 0.0, t->fullScale);
    putBe16(item.raw, static_cast<unsigned>(kFullCode * (v / t->fullScale)));
    item.floatValue = static_cast<float>(v);
    return true;
}

}  // namespace vexa
