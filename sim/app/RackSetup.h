#pragma once
// How vexa-sim turns its command line and INI file into a rack.
#include <string>
#include <vector>

#include "sim/SimRack.h"

namespace vexa::sim {

// One coupler to add, in the order given.
struct PlannedCoupler {
    CouplerKind kind = CouplerKind::Ethernet;
    EthCouplerConfig eth;
    SerialCouplerConfig serial;
    HidCouplerConfig hid;
    FaultRates faults;
    bool silent = false;
};

struct ProgramOptions {
    RackOptions rack;
    std::vector<PlannedCoupler> couplers;
    bool printEnvOnly = false;
    bool help = false;
    std::string readyFile;
    std::string configFile;
};

// Parses argv (without the program name). False with a message in `error` on a bad option.
bool parseCommandLine(const std::vector<std::string>& args, ProgramOptions& out, std::string& error);
// Adds the couplers of an INI file. False with a message on a bad section or value.
bool loadConfigFile(const std::string& file, ProgramOptions& out, std::string& error);
// Parses "4017,2808,-,1804@120": sub types at positions 1, 2, 4 ("-" leaves a slot empty,
// "@HARDVER" gives a hardware version, hexadecimal).
bool parseSubList(const std::string& text, std::vector<SubModuleConfig>& out);
// Appends couplers of `kind` ("eth", "rs", "hid") holding one sub module of every type the rack
// plays; false for another kind.
bool planEveryType(const std::string& kind, std::vector<PlannedCoupler>& out);

std::string usage();

// Adds the planned couplers (the demo rack when none are planned) and their faults.
int buildRack(const ProgramOptions& options, SimRack& rack);

}  // namespace vexa::sim
