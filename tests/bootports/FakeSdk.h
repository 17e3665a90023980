#pragma once
// A stand-in for VexaSdk's KO_ exports that VexaBootPort calls, so that a test decides what the
// couplers and sub modules answer and sees every call the plug-in makes.
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace fakesdk {

using Bytes = std::vector<std::uint8_t>;

struct Slot {
    short address = 0;
    short type = 0;
};

struct Coupler {
    std::vector<Slot> slots;  // as the sub search reports them, slot 0 first
    int releases = 0;
};

// One by-address call on a sub module.
struct SubCall {
    std::string what;  // "prop-write", "data-write", "data-read"
    int address;       // the sub module's
    int reg;
    int count;         // as passed: registers for properties, bytes for data
    Bytes data;        // what a write carried
};

struct State {
    std::vector<Coupler> couplers;  // what every search finds (RS-485: the first one)
    std::set<int> unselectable;     // addresses KO_SetOperateSubDev refuses
    std::vector<std::string> searches;  // the search calls with their arguments, as text
    std::vector<SubCall> calls;
    int selects = 0;
    // Data traffic; by default writes are taken and reads find nothing.
    std::function<int(int reg, int length, const std::uint8_t* data)> write = [](int, int, const std::uint8_t*) {
        return 0;
    };
    std::function<int(int reg, int length, std::uint8_t* buffer, int* received)> read =
        [](int, int length, std::uint8_t* buffer, int* received) {
            buffer[0] = 0;
            *received = length;
            return 0;
        };
};

State& state();
void reset();

}  // namespace fakesdk
