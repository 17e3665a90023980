#pragma once
// The private Modbus frames of the boot plug-in, as handed to KMB_WriteCmdBuf (which adds the
// check): station, function, "KVMB", sub-function, then what the request carries.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexa::bootport {

enum class MbBootRequest { Probe, Identify, Enter, Read, Write };

// Bytes before a request's own data; replies of Identify and Read repeat them.
constexpr std::size_t kMbHeaderLength = 7;

std::vector<std::uint8_t> mbBootFrame(MbBootRequest request, std::uint8_t station);

}  // namespace vexa::bootport
