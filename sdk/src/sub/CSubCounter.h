#pragma once
#include "CVEXASub.h"

namespace vexa {

// Digital input modules with 32-bit input counters (0x1804, 0x4055). A counter sits in two
// registers, low word first; a changed counter is written as a plain big-endian number, the
// way the modules have always been preset.
class CSubCounter : public CVEXASub {
public:
    using CVEXASub::CVEXASub;

protected:
    void FormatData(PropertyItem& item) override;
    bool ParseData(PropertyItem& item, const std::string& text) override;
};

}  // namespace vexa
