#include "MbBootFrames.h"

#include "wire/Coupler.h"

namespace vexa::bootport {

namespace {

struct RequestShape {
    MbBootRequest request;
    std::uint8_t function;
    std::uint8_t subFunction;
};

constexpr RequestShape kShapes[] = {
    {MbBootRequest::Probe, wire::kFnSearch, wire::kSfStation},
    {MbBootRequest::Identify, wire::kFnPrivate, wire::kSfReadMain},
    {MbBootRequest::Enter, wire::kFnPrivate, wire::kSfBootEnter},
    {MbBootRequest::Read, wire::kFnPrivate, wire::kSfBootRead},
    {MbBootRequest::Write, wire::kFnPrivate, wire::kSfBootWrite},
};

}  // namespace

std::vector<std::uint8_t> mbBootFrame(MbBootRequest request, std::uint8_t station) {
    std::vector<std::uint8_t> frame;
    for (const auto& s : kShapes)
        if (s.request == request) wire::serialPrivate(frame, station, s.function, s.subFunction);
    return frame;
}

}  // namespace vexa::bootport
