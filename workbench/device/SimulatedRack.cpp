#include "device/SimulatedRack.h"

#include <VexaSdk.h>

#include <cstdlib>

#include <sim/SimRack.h>

namespace vexadesk {

SimulatedRack::SimulatedRack() = default;

SimulatedRack::~SimulatedRack() {
    if (rack_) rack_->stop();
}

bool SimulatedRack::start(std::string* error) {
    using namespace vexa::sim;
    rack_ = std::make_unique<SimRack>();
    HidCouplerConfig hid;
    hid.subs = {{1, subIdentity(0x4017, 0x0120)}, {2, subIdentity(0x3800)}, {3, subIdentity(0x2808)},
                {4, subIdentity(0x1804)},         {5, subIdentity(0x4400)}, {6, subIdentity(0x5508)},
                {7, subIdentity(0x7404)},         {8, subIdentity(0x3402)}};
    // One coupler of each other kind, with sub modules of their own, so every kind can be tried.
    EthCouplerConfig eth;
    eth.subs = {{1, subIdentity(0x4017)}, {2, subIdentity(0x2808)}, {3, subIdentity(0x1804)}};
    SerialCouplerConfig serial;
    serial.subs = {{1, subIdentity(0x3800)}, {2, subIdentity(0x4400)}, {3, subIdentity(0x5508)}};
    if (!rack_->addHid(hid) || !rack_->addEthernet(eth) || !rack_->addSerial(serial)) {
        if (error) *error = "the simulated coupler cannot be set up";
        rack_.reset();
        return false;
    }
    int rc = rack_->start();
    if (rc != kSimOk) {
        if (error) *error = "the simulated rack cannot start (" + std::to_string(rc) + ")";
        rack_.reset();
        return false;
    }
    setenv("VEXA_HID", ("sim:" + rack_->hidFolder()).c_str(), 1);
    // An Ethernet search by broadcast reaches the rack's couplers, never the network.
    setenv("VEXA_ETH_BROADCAST", rack_->hubAddress().c_str(), 1);
    return true;
}

std::string SimulatedRack::serialPort() const { return rack_ ? rack_->serialPath(0) : std::string();
}

bool realCouplerPresent() {
    if (KO_HIDSearchAll() != RC_OK) return false;
    char path[KO_HID_PATH_SIZE + 1] = {};
    short manufacturer = 0, type = 0, mode = 0, hard = 0, soft = 0;
    int serial = 0;
    bool found = false;
    while (KO_HIDGetSearchDev(path, &manufacturer, &type, &mode, &hard, &soft, &serial) == RC_OK) found = true;
    return found;
}

}  // namespace vexadesk
