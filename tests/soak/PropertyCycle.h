#pragma once
// One coupler's property cycle through the public exports: modify every soak item to a new
// value, submit, read back, and hold each result against what the simulated device holds.
//
// The device is the truth. After a submit each item on the device must hold either the value
// it held before or the one just written, nothing else; a submit that returned 0 must have
// written every item; a read that returned 0 must show exactly what the device holds.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "FaultPlan.h"
#include "VexaSdk.h"
#include "sim/SimRack.h"

namespace vexa::soak {

// How an item's text sits in the device block.
enum class Encoding { Text16, IPv4, Be16, Byte, Be32 };

struct SoakItem {
    const char* key;
    int block;
    int offset;
    Encoding encoding;
};

struct Ledger {
    std::size_t cycles = 0;
    std::size_t submitsOk = 0, submitsFailed = 0;
    std::size_t readsOk = 0, readsFailed = 0;
    std::size_t falseSuccesses = 0;  // a 0 result the device contradicts
    std::size_t changedValues = 0;   // a device value that is neither the old nor the new one
    std::vector<std::string> notes;  // the first few contradictions, for the failure message
};

class PropertyCycle {
public:
    PropertyCycle(KO_HANDLE handle, sim::SimCoupler& coupler, std::vector<SoakItem> items, int readRequests,
                  FaultPlan& faults, std::uint32_t seed);

    // Puts known starting values on the device; call before the first cycle.
    void seedDevice();
    void run();
    const Ledger& ledger() const { return ledger_; }

private:
    std::string newText(const SoakItem& item);
    static sim::Bytes encode(const SoakItem& item, const std::string& text);
    bool deviceHolds(const SoakItem& item, const std::string& text) const;
    void note(const std::string& what);

    KO_HANDLE handle_;
    sim::SimCoupler& coupler_;
    std::vector<SoakItem> items_;
    std::vector<std::string> held_;  // the text of the value each item holds on the device
    int readRequests_;
    FaultPlan& faults_;
    std::mt19937 rng_;
    Ledger ledger_;
};

}  // namespace vexa::soak
