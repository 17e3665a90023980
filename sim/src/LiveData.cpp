#include "LiveData.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vexa::sim::detail {

namespace {

enum class Shape : std::uint8_t {
    Sine,              // one register per channel: centre + amplitude * sin(t / period + channel phase)
    WalkingBit,        // one register: bit (t / period) mod channels set
    CounterLowFirst,   // two registers per channel, low word first; amplitude = counts per second
    CounterHighFirst,  // two registers per channel, high word first
    Mirror,            // one register per channel shows the stored register `centre` away
    SignMagnitude,     // as Sine around 0, kept as bit 15 set for positive plus the magnitude
};

// Which type codes of a row's range it serves.
enum class Parity : std::uint8_t { Any, Even, Odd };

struct LiveRow {
    std::uint16_t typeFirst, typeLast;
    std::uint8_t firstReg;
    std::uint8_t channels;
    Shape shape;
    std::int32_t centre;
    std::int32_t amplitude;
    std::int32_t periodMs;
    // Rows for one hardware generation: from hwMin up to (not including) hwBelow.
    std::uint16_t hwMin = 0;
    std::uint16_t hwBelow = 0xFFFF;
    std::uint8_t step = 1;  // Sine and SignMagnitude: registers per channel, the first one moves
    Parity parity = Parity::Any;
};

// A row per type family. Analog inputs drift slowly so that a person sees them move while two
// reads a few milliseconds apart still agree closely.
constexpr LiveRow kLiveRows[] = {
    {0x4017, 0x4017, 64, 8, Shape::Sine, 0x8000, 0x2000, 20000},   // bipolar 16-bit AI
    {0x9308, 0x9308, 64, 8, Shape::Sine, 0x8000, 0x2000, 20000},
    {0x3800, 0x3800, 64, 8, Shape::Sine, 2048, 400, 20000, 0, 0x150},                // offset-binary 12-bit AI
    {0x3800, 0x3800, 64, 8, Shape::SignMagnitude, 0, 6000, 20000, 0x150},            // sign-magnitude AI
    {0x3412, 0x3412, 64, 4, Shape::SignMagnitude, 0, 20000, 20000},                  // millivolt AI
    {0x3402, 0x3402, 64, 8, Shape::Sine, 0x8000, 0x2000, 20000, 0, 0xFFFF, 2},       // code, then state
    {0x3900, 0x390B, 64, 16, Shape::Sine, 2048, 256, 20000, 0, 0xFFFF, 1, Parity::Even},    // 12-bit calibrated AI
    {0x3900, 0x390B, 64, 16, Shape::Sine, 0x8000, 0x1000, 20000, 0, 0xFFFF, 1, Parity::Odd}, // 16-bit
    {0x5508, 0x5508, 64, 5, Shape::Sine, 250, 30, 60000},          // temperatures in tenths
    {0x6608, 0x6608, 64, 6, Shape::Sine, 250, 30, 60000},
    {0x9606, 0x9606, 64, 6, Shape::Sine, 250, 30, 60000},
    {0x1804, 0x1804, 0, 12, Shape::WalkingBit, 0, 0, 1000},         // DI
    {0x1804, 0x1804, 2, 12, Shape::CounterLowFirst, 0, 10, 0},      // DI counters
    {0x4055, 0x4055, 0, 8, Shape::WalkingBit, 0, 0, 1000},
    {0x4055, 0x4055, 2, 8, Shape::CounterLowFirst, 0, 10, 0},
    {0x9108, 0x9108, 0, 8, Shape::WalkingBit, 0, 0, 1000},
    {0x7204, 0x7204, 64, 2, Shape::CounterHighFirst, 0, 100, 0},    // frequency counters
    {0x7404, 0x7404, 0, 4, Shape::WalkingBit, 0, 0, 1000},
    {0x7404, 0x7404, 64, 6, Shape::CounterHighFirst, 0, 100, 0},    // counters and encoder positions
    {0x4400, 0x4400, 112, 4, Shape::Mirror, -16, 0, 0, 0, 0x110},   // output read-back
};
int registersPerChannel(const LiveRow& row) {
    switch (row.shape) {
        case Shape::WalkingBit: return 0;  // one register for all channels
        case Shape::CounterLowFirst:
        case Shape::CounterHighFirst: return 2;
        case Shape::Sine:
        case Shape::SignMagnitude: return row.step;
        default: return 1;
    }
}

bool serves(const LiveRow& row, std::uint16_t type, std::uint16_t hardVer) {
    if (type < row.typeFirst || type > row.typeLast || hardVer < row.hwMin || hardVer >= row.hwBelow) return false;
    return row.parity == Parity::Any || (row.parity == Parity::Even) == (type % 2 == 0);
}

double wave(const LiveRow& row, std::int64_t ms, int channel) {
    double phase = 2.0 * std::numbers::pi * static_cast<double>(ms) / row.periodMs + channel * std::numbers::pi / 4.0;
    return row.centre + row.amplitude * std::sin(phase);
}

int rowValue(const LiveRow& row, int reg, std::int64_t ms, const RegisterFile& stored) {
    int per = registersPerChannel(row);
    int span = per == 0 ? 1 : per * row.channels;
    int rel = reg - row.firstReg;
    if (rel < 0 || rel >= span) return -1;
    int channel = per == 0 ? 0 : rel / per;
    switch (row.shape) {
        case Shape::Sine: {
            if (rel % per) return -1;  // the channel's other registers hold still
            long v = std::lround(wave(row, ms, channel));
            return static_cast<int>(static_cast<std::uint16_t>(std::clamp<long>(v, -32768, 65535)));
        }
        case Shape::SignMagnitude: {
            if (rel % per) return -1;
            long v = std::lround(wave(row, ms, channel));
            long m = std::min<long>(v < 0 ? -v : v, 0x7FFF);
            return static_cast<int>((v >= 0 ? 0x8000 : 0) | m);
        }
        case Shape::WalkingBit:
            return 1 << static_cast<int>((ms / row.periodMs) % row.channels);
        case Shape::CounterLowFirst:
        case Shape::CounterHighFirst: {
            auto count = static_cast<std::uint32_t>(ms * row.amplitude / 1000 + channel * 1000);
            bool lowWord = (rel % 2 == 0) == (row.shape == Shape::CounterLowFirst);
            return lowWord ? static_cast<int>(count & 0xFFFF) : static_cast<int>(count >> 16);
        }
        case Shape::Mirror: {
            int src = reg + row.centre;
            return src >= 0 && src < static_cast<int>(stored.size()) ? stored[src] : -1;
        }
    }
    return -1;
}

}  // namespace

int liveRegister(std::uint16_t type, std::uint16_t hardVer, int reg, std::int64_t ms, const RegisterFile& stored) {
    for (const auto& row : kLiveRows) {
        if (!serves(row, type, hardVer)) continue;
        int v = rowValue(row, reg, ms, stored);
        if (v >= 0) return v;
    }
    return -1;
}

}  // namespace vexa::sim::detail
