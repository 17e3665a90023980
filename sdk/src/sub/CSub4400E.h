#pragma once
#include "CVEXASub.h"

namespace vexa {

// 16-bit analog outputs (0x4410, and 0x4400 from hardware version 0x110 on): each channel's
// SET_RANGE_n chooses how its code spans volts or milliamperes.
class CSub4400E : public CVEXASub {
public:
    using CVEXASub::CVEXASub;

protected:
    void FormatData(PropertyItem& item) override;
    bool ParseData(PropertyItem& item, const std::string& text) override;
};

}  // namespace vexa
