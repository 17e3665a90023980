#pragma once
#include "CVEXASub.h"

namespace vexa {

// The millivolt module 0x3412: sign-magnitude inputs (bit 15 set means positive) scaled by the
// channel's range, the same scaling for its limits, and one 12-bit analog output.
class CSub3412 : public CVEXASub {
public:
    using CVEXASub::CVEXASub;

protected:
    void FormatData(PropertyItem& item) override;
    bool ParseData(PropertyItem& item, const std::string& text) override;

private:
    double Scale(int channel, const char*& text) const;
};

}  // namespace vexa
