#pragma once
// Register writes into the sub modules behind VEXA couplers, with the couplers' private frames.
#include <cstdint>
#include <vector>

namespace vexa::mb {

// Ethernet coupler: search its sub modules for subAddr's identity, then write with it.
// 0 or 503..507.
int writeSubRegistersByEthernet(const char* address, const char* mac, int subAddr, int start, int count,
                                const short* values);

// RS-485 coupler: the private write frame (without its check sum), or an empty vector when
// station, start, count or values are out of range.
std::vector<std::uint8_t> rsWriteFrame(int station, int start, int count, const short* values);

}  // namespace vexa::mb
