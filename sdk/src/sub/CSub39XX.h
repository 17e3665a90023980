#pragma once
#include "CVEXASub.h"

namespace vexa {

// The calibrated analog modules 0x3900 to 0x390B: every input and output value goes through
// the channel's calibration coefficients (a × code + b, floats kept in the module), inputs are
// volts or milliamperes by the channel's sampling-type bit, outputs are limited by the
// channel's gain code. The per-channel gain and sampling-type items are displays of the
// registers SET_AI_PLUS and SET_AI_SAMPLING_TYPE: editing one changes that register.
class CSub39XX : public CVEXASub {
public:
    using CVEXASub::CVEXASub;

protected:
    void FormatData(PropertyItem& item) override;
    bool ParseData(PropertyItem& item, const std::string& text) override;

private:
    struct Handler;
    static const Handler kHandlers[];

    double Coefficient(const char* prefix, int channel) const;
    int GainCode(int channel) const;
    bool MeasuresCurrent(int channel) const;
    bool CalibrationValid(int bit) const;

    void FormatInput(PropertyItem& item, int channel, int);
    void FormatOutput(PropertyItem& item, int channel, int limitByGain);
    bool ParseOutput(PropertyItem& item, int channel, int limitByGain, const std::string& text);
    void FormatCoefficient(PropertyItem& item, int channel, int validBitBase);
    bool ParseCoefficient(PropertyItem& item, int channel, int, const std::string& text);
    void FormatTestValue(PropertyItem& item, int, int);
    bool ParseTestValue(PropertyItem& item, int, int, const std::string& text);
    void FormatGain(PropertyItem& item, int channel, int);
    bool ParseGain(PropertyItem& item, int channel, int, const std::string& text);
    void FormatSampling(PropertyItem& item, int channel, int);
    bool ParseSampling(PropertyItem& item, int channel, int, const std::string& text);
    void FormatCommand(PropertyItem& item, int, int);
    bool ParseCommand(PropertyItem& item, int, int, const std::string& text);
    bool ReadOnly(PropertyItem&, int, int, const std::string&) { return true; }
};

}  // namespace vexa
