#pragma once
// Registers that move by themselves (inputs of the simulated process), per type family.
#include <array>
#include <cstdint>

namespace vexa::sim::detail {

using RegisterFile = std::array<std::uint16_t, 256>;

// The value register `reg` of a sub module of `type` (at hardware version `hardVer`) shows `ms`
// milliseconds after the rack's epoch, or -1 when that register does not move for the type.
// `stored` are the module's kept registers (some live registers follow others).
int liveRegister(std::uint16_t type, std::uint16_t hardVer, int reg, std::int64_t ms, const RegisterFile& stored);

}  // namespace vexa::sim::detail
