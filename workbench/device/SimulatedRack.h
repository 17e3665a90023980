#pragma once
// The built-in simulated rack the workbench runs on when no real coupler answers: one USB
// coupler with a full set of sub modules on the simulated USB bus.
#include <memory>
#include <string>

namespace vexa::sim {
class SimRack;
}

namespace vexadesk {

class SimulatedRack {
public:
    SimulatedRack();
    ~SimulatedRack();
    // Starts the rack and points the library's USB search at it (VEXA_HID). False on failure.
    bool start(std::string* error = nullptr);
    vexa::sim::SimRack* rack() const { return rack_.get(); }

private:
    std::unique_ptr<vexa::sim::SimRack> rack_;
};

// True when a USB search over the real bus finds a coupler (used to decide on the simulation).
bool realCouplerPresent();

}  // namespace vexadesk
