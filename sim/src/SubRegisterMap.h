#pragma once
// What a sub module's registers hold when it is plugged in, per type: range selectors, limits,
// calibration coefficients and outputs chosen so that every value reads as a sensible
// engineering text from the start.
#include <cstdint>

#include "LiveData.h"

namespace vexa::sim::detail {

void fillInitialRegisters(std::uint16_t type, std::uint16_t hardVer, RegisterFile& regs);

}  // namespace vexa::sim::detail
