#pragma once
#include "CVEXASub.h"

namespace vexa {

// The counter and encoder module 0x7404: four counter/frequency channels and two encoders.
// Channels 0-3 of the data items are the counter channels (sampled count, captured period),
// channels 4 and 5 the encoders (position shown as an angle with its direction, pulses per
// sampling window shown as a speed).
class CSub7404 : public CVEXASub {
public:
    using CVEXASub::CVEXASub;

protected:
    void FormatData(PropertyItem& item) override;
    bool ParseData(PropertyItem& item, const std::string& text) override;

private:
    struct Handler;
    static const Handler kHandlers[];

    void FormatSampled(PropertyItem& item, int channel);
    void FormatCaptured(PropertyItem& item, int channel);
    void FormatTime(PropertyItem& item, int channel);
    void FormatSpeed(PropertyItem& item, int channel);
    bool ParseTime(PropertyItem& item, const std::string& text);
    bool ParseSpeed(PropertyItem& item, const std::string& text);
    bool ReadOnly(PropertyItem&, const std::string&) { return true; }
};

}  // namespace vexa
