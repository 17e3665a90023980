#include "CSub7404.h"

#include <cmath>
#include <cstdlib>

#include "SubText.h"
#include "msg/FrameChecks.h"

namespace vexa {

namespace {

constexpr int kCounterChannels = 4;
constexpr int kFrequencyMode = 1;     // SET_CF_WORKMODE_n: the channel counts per second
constexpr double kPeriodUnitUs = 0.01;  // captured periods count 10 ns ticks
constexpr double kSpeedUnit = 0.01;     // speed limits are kept in hundredths of rpm

}  // namespace

struct CSub7404::Handler {
    const char* prefix;
    void (CSub7404::*format)(PropertyItem&, int);
    bool (CSub7404::*parse)(PropertyItem&, const std::string&);
};

const CSub7404::Handler CSub7404::kHandlers[] = {
    {"DATA_COUNT_ENCODE_CAIYANG_", &CSub7404::FormatSampled, &CSub7404::ReadOnly},
    {"DATA_COUNT_ENCODE_BUHUO_", &CSub7404::FormatCaptured, &CSub7404::ReadOnly},
    {"SET_ENCODE_TIMERVALUE_", &CSub7404::FormatTime, &CSub7404::ParseTime},
    {"SET_ENCODE_SPEEDHIGH_", &CSub7404::FormatSpeed, &CSub7404::ParseSpeed},
    {"SET_ENCODE_SPEEDLOW_", &CSub7404::FormatSpeed, &CSub7404::ParseSpeed},
};

void CSub7404::FormatData(PropertyItem& item) {
    if (const Handler* h = rowForKey(kHandlers, item.key)) (this->*h->format)(item, channelOf(item.key));
}

bool CSub7404::ParseData(PropertyItem& item, const std::string& text) {
    const Handler* h = rowForKey(kHandlers, item.key);
    return h ? (this->*h->parse)(item, text) : true;
}

// Counter channels: the count (per second in frequency mode). Encoders: the position within one
// revolution as an angle, and the direction from its sign.
void CSub7404::FormatSampled(PropertyItem& item, int channel) {
    std::uint32_t raw = be32(item.raw);
    if (channel < kCounterChannels) {
        bool frequency = PropertyWord("SET_CF_WORKMODE_" + std::to_string(channel)) == kFrequencyMode;
        item.floatValue = static_cast<float>(raw);
        item.setText(frequency ? textf("%u Hz", raw) : textf("%u", raw));
        return;
    }
    int encoder = channel - kCounterChannels;
    auto position = static_cast<std::int32_t>(raw);
    int pulses = PropertyWord("SET_ENCODE_FENDU_" + std::to_string(encoder));
    double angle = pulses > 0 ? static_cast<double>(std::llabs(position) % pulses) * 360.0 / pulses : 0.0;
    item.floatValue = static_cast<float>(angle);
    item.setText(textf("%10s --- %6.2f°", position >= 0 ? "正方向" : "反方向", angle));
}

// Counter channels: the last captured pulse period. Encoders: pulses counted in the sampling
// window, as revolutions per minute.
void CSub7404::FormatCaptured(PropertyItem& item, int channel) {
    std::uint32_t raw = be32(item.raw);
    if (channel < kCounterChannels) {
        double us = raw * kPeriodUnitUs;
        item.floatValue = static_cast<float>(us);
        item.setText(textf("%6.2f us", us));
        return;
    }
    int encoder = channel - kCounterChannels;
    int pulses = PropertyWord("SET_ENCODE_FENDU_" + std::to_string(encoder));
    int windowUs = PropertyWord("SET_ENCODE_TIMERVALUE_" + std::to_string(encoder));
    double rpm = pulses > 0 && windowUs > 0 ? static_cast<std::int32_t>(raw) * 60.0e6 / (pulses * static_cast<double>(windowUs)) : 0.0;
    item.floatValue = static_cast<float>(rpm);
    item.setText(textf("%6.2f rpm", rpm));
}

void CSub7404::FormatTime(PropertyItem& item, int) {
    double us = be16(item.raw);
    item.floatValue = static_cast<float>(us);
    item.setText(textf("%6.2f us", us));
}

void CSub7404::FormatSpeed(PropertyItem& item, int) {
    double rpm = be32(item.raw) * kSpeedUnit;
    item.floatValue = static_cast<float>(rpm);
    item.setText(textf("%6.2f rpm", rpm));
}

bool CSub7404::ParseTime(PropertyItem& item, const std::string& text) {
    double us;
    if (!leadingNumber(text, us)) return false;
    us = std::round(us);
    if (us < 0 || us > 65535) return false;
    putBe16(item.raw, static_cast<std::uint32_t>(us));
    item.floatValue = static_cast<float>(us);
    return true;
}

bool CSub7404::ParseSpeed(PropertyItem& item, const std::string& text) {
    double rpm;
    if (!leadingNumber(text, rpm)) return false;
    double units = std::round(rpm / kSpeedUnit);
    if (units < 0 || units > 4294967295.0) return false;
    putBe32(item.raw, static_cast<std::uint32_t>(units));
    item.floatValue = static_cast<float>(rpm);
    return true;
}

}  // namespace vexa
