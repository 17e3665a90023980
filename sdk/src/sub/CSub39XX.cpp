#include "CSub39XX.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "SubText.h"
#include "main/ValueFormat.h"
#include "msg/FrameChecks.h"

namespace vexa {

namespace {

constexpr const char* kGains = "SET_AI_PLUS";
constexpr const char* kSampling = "SET_AI_SAMPLING_TYPE";
constexpr const char* kValid = "SET_AI_ADJUST_VALID";
constexpr int kOutputValidBits = 8;  // valid bits 8 and 9 are the outputs'
constexpr unsigned kOutputFullCode = 4095;

// Output limit (V) by gain code.
constexpr double kGainLimits[] = {10.0, 5.0, 2.5, 1.25};

// An integer text in `base` (0: "0x.." or decimal), nothing but blanks after it.
bool wholeNumber(const std::string& text, int base, long& out) {
    const char* s = text.c_str();
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(s, &end, base);
    if (end == s || errno == ERANGE) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end) return false;
    out = v;
    return true;
}

}  // namespace

struct CSub39XX::Handler {
    const char* prefix;
    void (CSub39XX::*format)(PropertyItem&, int, int);
    bool (CSub39XX::*parse)(PropertyItem&, int, int, const std::string&);
    int param;
};

const CSub39XX::Handler CSub39XX::kHandlers[] = {
    {"DATA_AIN_", &CSub39XX::FormatInput, &CSub39XX::ReadOnly, 0},
    {"DATA_AOUT_", &CSub39XX::FormatOutput, &CSub39XX::ParseOutput, 1},
    {"SET_DOUT_DEFAULT_", &CSub39XX::FormatOutput, &CSub39XX::ParseOutput, 0},
    {"SET_AIN_a_CALIB_", &CSub39XX::FormatCoefficient, &CSub39XX::ParseCoefficient, 0},
    {"SET_AIN_b_CALIB_", &CSub39XX::FormatCoefficient, &CSub39XX::ParseCoefficient, 0},
    {"SET_AOUT_a_CALIB_", &CSub39XX::FormatCoefficient, &CSub39XX::ParseCoefficient, kOutputValidBits},
    {"SET_AOUT_b_CALIB_", &CSub39XX::FormatCoefficient, &CSub39XX::ParseCoefficient, kOutputValidBits},
    {"SET_TESTVALUE_", &CSub39XX::FormatTestValue, &CSub39XX::ParseTestValue, 0},
    {"SET_AIN_PLUS_", &CSub39XX::FormatGain, &CSub39XX::ParseGain, 0},
    {"SET_AIN_TYPE_", &CSub39XX::FormatSampling, &CSub39XX::ParseSampling, 0},
    {"SET_CMD_CALIB_W", &CSub39XX::FormatCommand, &CSub39XX::ParseCommand, 0},
};

void CSub39XX::FormatData(PropertyItem& item) {
    if (const Handler* h = rowForKey(kHandlers, item.key)) (this->*h->format)(item, channelOf(item.key), h->param);
}

bool CSub39XX::ParseData(PropertyItem& item, const std::string& text) {
    const Handler* h = rowForKey(kHandlers, item.key);
    return h ? (this->*h->parse)(item, channelOf(item.key), h->param, text) : true;
}

// ---- what the texts depend on ----

double CSub39XX::Coefficient(const char* prefix, int channel) const {
    const PropertyItem* it = FindProperty(prefix + std::to_string(channel));
    return it ? static_cast<double>(deviceFloat(it->raw)) : 0.0;
}

int CSub39XX::GainCode(int channel) const {
    const PropertyItem* it = FindProperty(kGains);
    return it && channel >= 0 && channel < 16 ? static_cast<int>(be32(it->raw) >> (2 * channel) & 3) : 0;
}

bool CSub39XX::MeasuresCurrent(int channel) const {
    return channel >= 0 && channel < 16 && (PropertyWord(kSampling) >> channel & 1);
}

bool CSub39XX::CalibrationValid(int bit) const { return bit >= 0 && bit < 16 && (PropertyWord(kValid) >> bit & 1); }

// ---- values ----

void CSub39XX::FormatInput(PropertyItem& item, int channel, int) {
    int coefficients = row_ && row_->variant == kCalibSharedCoefficients ? 0 : channel;
    unsigned code = be16(item.raw);
    double v = Coefficient("SET_AIN_a_CALIB_", coefficients) * code + Coefficient("SET_AIN_b_CALIB_", coefficients);
    item.floatValue = static_cast<float>(v);
    item.setText(MeasuresCurrent(channel) ? textf("% 9.4f mA -- 0x%04x", v, code)
                                          : textf("% 9.4f  V -- 0x%04x", v, code));
}

void CSub39XX::FormatOutput(PropertyItem& item, int channel, int limitByGain) {
    unsigned code = be16(item.raw);
    double v = Coefficient("SET_AOUT_a_CALIB_", channel) * code + Coefficient("SET_AOUT_b_CALIB_", channel);
    if (limitByGain) {
        double limit = kGainLimits[GainCode(channel)];
        v = std::clamp(v, -limit, limit);
    }
    item.floatValue = static_cast<float>(v);
    item.setText(textf("% 9.4f  V -- 0x%04x", v, code));
}

// The code whose calibrated value comes nearest the text, within the converter's codes.
bool CSub39XX::ParseOutput(PropertyItem& item, int channel, int limitByGain, const std::string& text) {
    double v;
    if (!leadingNumber(text, v)) return false;
    if (limitByGain) {
        double limit = kGainLimits[GainCode(channel)];
        v = std::clamp(v, -limit, limit);
    }
    double a = Coefficient("SET_AOUT_a_CALIB_", channel), b = Coefficient("SET_AOUT_b_CALIB_", channel);
    if (!std::isfinite(a) || !std::isfinite(b) || a == 0.0) return false;  // no calibration to invert
    double code = std::clamp(std::round((v - b) / a), 0.0, static_cast<double>(kOutputFullCode));
    putBe16(item.raw, static_cast<unsigned>(code));
    item.floatValue = static_cast<float>(a * code + b);
    return true;
}

void CSub39XX::FormatCoefficient(PropertyItem& item, int channel, int validBitBase) {
    float f = deviceFloat(item.raw);
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    item.floatValue = f;
    item.setText(textf("% 9.4f -- 0x%08x -- %s", static_cast<double>(f), bits,
                       CalibrationValid(validBitBase + channel) ? "校准有效" : "校准无效"));
}

bool CSub39XX::ParseCoefficient(PropertyItem& item, int, int, const std::string& text) {
    double v;
    if (!leadingNumber(text, v) || std::fabs(v) > 3.0e38) return false;
    putDeviceFloat(item.raw, static_cast<float>(v));
    item.floatValue = static_cast<float>(v);
    return true;
}

void CSub39XX::FormatTestValue(PropertyItem& item, int, int) {
    double v = static_cast<std::int32_t>(lowWordFirst(item.raw)) / 1000000.0;
    item.floatValue = static_cast<float>(v);
    item.setText(textf("%.4f", v));
}

bool CSub39XX::ParseTestValue(PropertyItem& item, int, int, const std::string& text) {
    double v;
    if (!leadingNumber(text, v)) return false;
    double scaled = std::round(v * 1000000.0);
    if (scaled < -2147483648.0 || scaled > 2147483647.0) return false;
    putLowWordFirst(item.raw, static_cast<std::uint32_t>(static_cast<std::int32_t>(scaled)));
    item.floatValue = static_cast<float>(v);
    return true;
}

// ---- displays folded into their register ----

void CSub39XX::FormatGain(PropertyItem& item, int channel, int) {
    int code = GainCode(channel);
    putBe32(item.raw, static_cast<std::uint32_t>(code));
    item.floatValue = static_cast<float>(code);
    item.setText(textf("%d", code));
}

bool CSub39XX::ParseGain(PropertyItem& item, int channel, int, const std::string& text) {
    long code;
    PropertyItem* gains = FindProperty(kGains);
    if (!gains || channel < 0 || channel >= 16 || !wholeNumber(text, 10, code) || code < 0 || code > 3) return false;
    std::uint32_t word = be32(gains->raw) & ~(3u << (2 * channel));
    putBe32(gains->raw, word | static_cast<std::uint32_t>(code) << (2 * channel));
    renderText(*gains);
    QueueProperty(*gains);
    putBe32(item.raw, static_cast<std::uint32_t>(code));
    return true;
}

void CSub39XX::FormatSampling(PropertyItem& item, int channel, int) {
    int bit = MeasuresCurrent(channel) ? 1 : 0;
    putBe16(item.raw, static_cast<std::uint32_t>(bit));
    item.floatValue = static_cast<float>(bit);
    item.setText(textf("%d", bit));
}

bool CSub39XX::ParseSampling(PropertyItem& item, int channel, int, const std::string& text) {
    PropertyItem* sampling = FindProperty(kSampling);
    if (!sampling || channel < 0 || channel >= 16 || (text != "0" && text != "1")) return false;
    unsigned mask = 1u << channel;
    unsigned word = be16(sampling->raw);
    putBe16(sampling->raw, text == "1" ? word | mask : word & ~mask);
    renderText(*sampling);
    QueueProperty(*sampling);
    putBe16(item.raw, text == "1" ? 1 : 0);
    return true;
}

// The calibration command register reads back through SET_CMD_CALIB_R; the write item shows
// no value of its own.
void CSub39XX::FormatCommand(PropertyItem& item, int, int) {
    item.floatValue = 0;
    item.setText("0x0");
}

bool CSub39XX::ParseCommand(PropertyItem& item, int, int, const std::string& text) {
    long v;
    if (!wholeNumber(text, 0, v) || v < 0 || v > 0xFFFF) return false;
    putBe16(item.raw, static_cast<std::uint32_t>(v));
    return true;
}

}  // namespace vexa
