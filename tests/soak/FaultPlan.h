#pragma once
// Random faults for the replies of one export call: drawn from a seeded generator, queued on
// the simulated coupler before the call, and counted by how many replies the call really asked
// for (what it did not ask for is cleared, so nothing spills into the next call).
#include <array>
#include <cstddef>
#include <random>

#include "sim/SimRack.h"

namespace vexa::soak {

struct FaultMix {
    double faultRate = 0.25;  // share of replies that get a fault, spread over the six kinds
    int maxDelayMs = 200;     // delays are drawn from 5..maxDelayMs (past the reply time-out too)
    double dropShare = 1.0;   // weight of drops against each other kind (drops cost a time-out)
};

class FaultPlan {
public:
    FaultPlan(sim::SimCoupler& coupler, const FaultMix& mix, std::uint32_t seed)
        : coupler_(coupler), mix_(mix), rng_(seed) {}

    // Queues a fault (or none) for each of the next `replies` replies.
    void arm(int replies);
    // After the call: counts the faults the call met and clears the rest.
    void settle();

    std::size_t injected() const { return injected_; }
    std::size_t injected(sim::FaultKind kind) const { return byKind_[static_cast<std::size_t>(kind)]; }

private:
    sim::Fault draw();

    sim::SimCoupler& coupler_;
    FaultMix mix_;
    std::mt19937 rng_;
    std::array<sim::Fault, 16> armed_{};
    int armedCount_ = 0;
    std::size_t requestsBefore_ = 0;
    std::size_t injected_ = 0;
    std::array<std::size_t, 7> byKind_{};
};

}  // namespace vexa::soak
