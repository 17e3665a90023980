#pragma once
#include "CVEXASub.h"

namespace vexa {

// The mixed module 0x3402: analog inputs that carry a state word beside the code, and 12-bit
// analog outputs.
class CSub3402 : public CVEXASub {
public:
    using CVEXASub::CVEXASub;

protected:
    void FormatData(PropertyItem& item) override;
    bool ParseData(PropertyItem& item, const std::string& text) override;
};

}  // namespace vexa
