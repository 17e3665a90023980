#pragma once
#include "CVEXASub.h"

namespace vexa {

// 0x3800 before hardware version 1.80 (0x150): 12-bit offset-binary analog inputs.
class CSub3800 : public CVEXASub {
public:
    using CVEXASub::CVEXASub;

protected:
    void FormatData(PropertyItem& item) override;
};

}  // namespace vexa
