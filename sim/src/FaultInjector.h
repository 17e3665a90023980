#pragma once
// Decides the fault of each reply (scripted queue first, then seeded rates) and turns a reply
// into the frames that actually go out. The same for every transport: a transport only says
// which byte to flip so that its check fails.
#include <cstddef>
#include <deque>
#include <random>
#include <vector>

#include "sim/SimRack.h"

namespace vexa::sim::detail {

struct Emission {
    Bytes bytes;
    int delayMs = 0;
};

class FaultInjector {
public:
    FaultInjector() { setRates({}); }

    void setRates(const FaultRates& rates);
    void push(const Fault& f) { script_.push_back(f); }
    void clear();

    bool silent() const { return silent_; }
    void setSilent(bool s) { silent_ = s; }

    // The fault for the next reply.
    Fault next();

    // The frames for `reply` under `fault`. `previous` is the coupler's last reply (the stale
    // frame, when it differs); `corruptAt` the index whose flip breaks the frame's check.
    static std::vector<Emission> apply(const Fault& fault, const Bytes& reply, const Bytes& previous,
                                       std::size_t corruptAt);

private:
    std::deque<Fault> script_;
    FaultRates rates_;
    std::mt19937 rng_;
    bool silent_ = false;
};

}  // namespace vexa::sim::detail
