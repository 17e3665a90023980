#include "FaultPlan.h"

#include <algorithm>

namespace vexa::soak {

sim::Fault FaultPlan::draw() {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (unit(rng_) >= mix_.faultRate) return {};
    static constexpr sim::FaultKind kKinds[] = {sim::FaultKind::Drop,      sim::FaultKind::Delay,
                                                sim::FaultKind::Corrupt,   sim::FaultKind::Truncate,
                                                sim::FaultKind::Duplicate, sim::FaultKind::Stale};
    const double total = mix_.dropShare + 5.0;
    double pick = unit(rng_) * total;
    sim::FaultKind kind = pick < mix_.dropShare ? kKinds[0] : kKinds[1 + std::min(4, static_cast<int>(pick - mix_.dropShare))];
    int delay = kind == sim::FaultKind::Delay ? std::uniform_int_distribution<int>(5, mix_.maxDelayMs)(rng_) : 0;
    return {kind, delay};
}

void FaultPlan::arm(int replies) {
    armedCount_ = std::min<int>(replies, static_cast<int>(armed_.size()));
    for (int i = 0; i < armedCount_; ++i) {
        armed_[static_cast<std::size_t>(i)] = draw();
        coupler_.pushFault(armed_[static_cast<std::size_t>(i)]);
    }
    requestsBefore_ = coupler_.requestCount();
}

void FaultPlan::settle() {
    // Each request the coupler saw took the next queued fault.
    const std::size_t asked = coupler_.requestCount() - requestsBefore_;
    const int met = static_cast<int>(std::min<std::size_t>(asked, static_cast<std::size_t>(armedCount_)));
    for (int i = 0; i < met; ++i) {
        const sim::Fault& f = armed_[static_cast<std::size_t>(i)];
        if (f.kind == sim::FaultKind::None) continue;
        ++injected_;
        ++byKind_[static_cast<std::size_t>(f.kind)];
    }
    coupler_.clearFaults();
    armedCount_ = 0;
}

}  // namespace vexa::soak
