#pragma once
// The built-in simulated rack the workbench runs on when no real coupler answers: a USB coupler
// with a full set of sub modules on the simulated USB bus, an Ethernet coupler on loopback and an
// RS-485 coupler (station 1) on a pseudo-terminal, each with sub modules.
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
    // Starts the rack and points the library's USB and Ethernet searches at it (VEXA_HID,
    // VEXA_ETH_BROADCAST). False on failure.
    bool start(std::string* error = nullptr);
    // The RS-485 coupler's line.
    std::string serialPort() const;
    vexa::sim::SimRack* rack() const { return rack_.get(); }

private:
    std::unique_ptr<vexa::sim::SimRack> rack_;
};

// True when a USB search over the real bus finds a coupler (used to decide on the simulation).
bool realCouplerPresent();

}  // namespace vexadesk
