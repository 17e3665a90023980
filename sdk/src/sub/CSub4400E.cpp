#include "CSub4400E.h"

#include <algorithm>
#include <cmath>

#include "SubText.h"
#include "msg/FrameChecks.h"

namespace vexa {

namespace {

// value = base + (code - offset) / divisor × span
struct OutputRange {
    int code;
    double offset, divisor, span, base;
    bool current;
};
constexpr OutputRange kRanges[] = {
    {1, 0, 65535, 10, 0, false},       // 0-10 V
    {2, 32768, 32767, 5, 0, false},    // +-5 V
    {3, 32768, 32767, 10, 0, false},   // +-10 V
    {4, 0, 65535, 20, 0, true},        // 0-20 mA
    {5, 0, 65535, 16, 4, true},        // 4-20 mA
    {6, 0, 65535, 20, 0, true},
    {7, 0, 65535, 16, 4, true},
};
constexpr OutputRange kOtherRange = {0, 0, 65535, 5, 0, false};  // 0-5 V

constexpr const char* kOutputs[] = {"DATA_AOUT_", "SET_AOUT_DEFAULT_"};

bool isOutput(const std::string& key) {
    return std::any_of(std::begin(kOutputs), std::end(kOutputs), [&](const char* p) { return startsWith(key, p); });
}

}  // namespace

void CSub4400E::FormatData(PropertyItem& item) {
    if (!isOutput(item.key)) return;
    const OutputRange* r = rowForCode(kRanges, PropertyWord("SET_RANGE_" + std::to_string(channelOf(item.key))));
    if (!r) r = &kOtherRange;
    unsigned code = be16(item.raw);
    double v = r->base + (code - r->offset) / r->divisor * r->span;
    item.floatValue = static_cast<float>(v);
    item.setText(r->current ? textf("%6.3f mA---0x%04x", v, code) : textf("%6.3f  V---0x%04x", v, code));
}

// The inverse, limited to the range's codes.
bool CSub4400E::ParseData(PropertyItem& item, const std::string& text) {
    if (!isOutput(item.key)) return true;
    double v;
    if (!leadingNumber(text, v)) return false;
    const OutputRange* r = rowForCode(kRanges, PropertyWord("SET_RANGE_" + std::to_string(channelOf(item.key))));
    if (!r) r = &kOtherRange;
    double code = std::round((v - r->base) / r->span * r->divisor + r->offset);
    putBe16(item.raw, static_cast<unsigned>(std::clamp(code, 0.0, 65535.0)));
    item.floatValue = static_cast<float>(v);
    return true;
}

}  // namespace vexa
