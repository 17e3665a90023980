#pragma once
#include "CVEXASub.h"

namespace vexa {

// 0x3800 from hardware version 1.80 (0x150) on: sign-magnitude analog inputs (bit 15 set means
// positive, bits 0-13 the magnitude) with an out-of-range check per range.
class CSub3800E : public CVEXASub {
public:
    using CVEXASub::CVEXASub;

protected:
    void FormatData(PropertyItem& item) override;
};

}  // namespace vexa
