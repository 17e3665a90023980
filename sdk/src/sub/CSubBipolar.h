#pragma once
#include "CVEXASub.h"

namespace vexa {

// 16-bit bipolar analog inputs (0x4017 in both hardware generations, 0x9308): the code spans
// the channel's range symmetrically, chosen by SET_AIN_TYPE_n. The generations differ only in
// their texts (the row's variant).
class CSubBipolar : public CVEXASub {
public:
    using CVEXASub::CVEXASub;

protected:
    void FormatData(PropertyItem& item) override;
};

}  // namespace vexa
