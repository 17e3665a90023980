#include "MbBootFrames.h"

namespace vexa::bootport {

namespace {

struct RequestShape {
    MbBootRequest request;
    std::uint8_t function;
    std::uint8_t subFunction;
};

constexpr RequestShape kShapes[] = {
    {MbBootRequest::Probe, 0x46, 0x01},  {MbBootRequest::Identify, 0x47, 0x01}, {MbBootRequest::Enter, 0x47, 0x08},
    {MbBootRequest::Read, 0x47, 0x09},   {MbBootRequest::Write, 0x47, 0x0A},
};

}  // namespace

std::vector<std::uint8_t> mbBootFrame(MbBootRequest request, std::uint8_t station) {
    for (const auto& s : kShapes)
        if (s.request == request) return {station, s.function, 'K', 'V', 'M', 'B', s.subFunction};
    return {};
}

}  // namespace vexa::bootport
