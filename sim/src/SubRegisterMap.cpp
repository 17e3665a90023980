#include "SubRegisterMap.h"

#include <array>
#include <bit>

#include "sim/SimRack.h"

namespace vexa::sim::detail {

namespace {

constexpr int kMaxValues = 8;

// Registers reg, reg + step, ... take the values in order; a value of kOwnType stands for the
// module's type code.
struct InitialRun {
    std::uint16_t typeFirst, typeLast;
    std::uint16_t hwMin, hwBelow;  // the hardware generations the run applies to
    std::uint8_t reg;
    std::uint8_t step;
    std::uint8_t count;
    std::array<std::uint32_t, kMaxValues> values;
};

constexpr std::uint32_t kOwnType = 0x10000;
constexpr std::uint16_t kAny = 0xFFFF;

// Floats as the modules keep them: low word first.
constexpr std::uint32_t lo(float f) { return std::bit_cast<std::uint32_t>(f) & 0xFFFF; }
constexpr std::uint32_t hi(float f) { return std::bit_cast<std::uint32_t>(f) >> 16; }
// 32-bit values kept high word first / low word first.
constexpr std::uint32_t hiWord(std::uint32_t v) { return v >> 16; }
constexpr std::uint32_t loWord(std::uint32_t v) { return v & 0xFFFF; }
// A packed date (yy × 512 + mm × 32 + dd) kept in host order in a big-endian register.
constexpr std::uint32_t hostDate(int yy, int mm, int dd) {
    std::uint32_t d = static_cast<std::uint32_t>(yy * 512 + mm * 32 + dd);
    return (d & 0xFF) << 8 | d >> 8;
}
constexpr std::uint32_t negative(int v) { return static_cast<std::uint16_t>(v); }

// Calibration of the calibrated modules: the full code spans -10..10.
constexpr float kA12 = 20.0f / 4096, kA16 = 20.0f / 65536, kB = -10.0f;

constexpr InitialRun kRuns[] = {
    // digital modules: inputs enabled
    {0x1804, 0x1804, 0, kAny, 128, 1, 1, {0x0FFF}},
    {0x4055, 0x4055, 0, kAny, 130, 1, 1, {0x00FF}},
    // 0x3402: ranges, states (one input out of range), output types and values, check date
    {0x3402, 0x3402, 0, kAny, 131, 1, 8, {0, 1, 2, 0, 0, 1, 0, 0}},
    {0x3402, 0x3402, 0, kAny, 65, 2, 8, {0, 0, 0, 1, 0, 0, 0, 0}},
    {0x3402, 0x3402, 0, kAny, 139, 1, 4, {0, 0x0800, 1, 0x0400}},
    {0x3402, 0x3402, 0, kAny, 96, 1, 2, {2048, 1024}},
    {0x3402, 0x3402, 0, kAny, 144, 1, 3, {24 << 8, 3 << 8, 15 << 8}},
    // 0x3412: ranges, limits (sign-magnitude), event count, output
    {0x3412, 0x3412, 0, kAny, 128, 1, 4, {0, 2, 4, 6}},
    {0x3412, 0x3412, 0, kAny, 132, 1, 8, {0x8000 | 30000, 30000, 0x8000 | 30000, 30000, 0x8000 | 30000, 30000, 0x8000 | 30000, 30000}},
    {0x3412, 0x3412, 0, kAny, 94, 1, 2, {0, 42}},
    {0x3412, 0x3412, 0, kAny, 96, 1, 1, {2048}},
    // 0x3800: ranges of both generations; calibration data of the newer one
    {0x3800, 0x3800, 0, 0x150, 128, 1, 8, {0, 1, 2, 0, 1, 2, 0, 0}},
    {0x3800, 0x3800, 0x150, kAny, 128, 1, 8, {0, 1, 2, 3, 0, 1, 2, 3}},
    {0x3800, 0x3800, 0x150, kAny, 137, 1, 1, {0x00FF}},
    {0x3800, 0x3800, 0x150, kAny, 138, 2, 6, {lo(1.0f), lo(1.0f), lo(1.0f), lo(1.0f), lo(1.0f), lo(1.0f)}},
    {0x3800, 0x3800, 0x150, kAny, 139, 2, 6, {hi(1.0f), hi(1.0f), hi(1.0f), hi(1.0f), hi(1.0f), hi(1.0f)}},
    // bipolar inputs: one channel in every range
    {0x4017, 0x4017, 0, kAny, 128, 1, 8, {0, 1, 2, 4, 6, 17, 0, 15}},
    {0x4017, 0x4017, 0x120, kAny, 136, 1, 1, {2}},
    {0x9308, 0x9308, 0, kAny, 128, 1, 8, {0, 1, 2, 4, 6, 17, 0, 0}},
    // 0x4400: outputs and their types
    {0x4400, 0x4400, 0, 0x110, 129, 2, 4, {0, 1, 2, 0}},
    {0x4400, 0x4400, 0, 0x110, 96, 1, 4, {0x0800, 0x1000, 0x2000, 0x0400}},
    // 16-bit outputs: one channel per range kind
    {0x4400, 0x4410, 0x110, kAny, 129, 1, 8, {1, 3, 5, 2, 0, 0x8000, 0, 0x8000}},
    {0x4410, 0x4410, 0, 0x110, 129, 1, 8, {1, 3, 5, 2, 0, 0x8000, 0, 0x8000}},
    {0x4400, 0x4410, 0x110, kAny, 137, 1, 1, {0x000F}},
    {0x4410, 0x4410, 0, 0x110, 137, 1, 1, {0x000F}},
    {0x4400, 0x4410, 0x110, kAny, 96, 1, 4, {0x8000, 0xC000, 0x4000, 0x8000}},
    {0x4410, 0x4410, 0, 0x110, 96, 1, 4, {0x8000, 0xC000, 0x4000, 0x8000}},
    // temperatures: type, upper and lower limit (tenths) per channel
    {0x5508, 0x5508, 0, kAny, 128, 3, 5, {1, 1, 1, 1, 1}},
    {0x5508, 0x5508, 0, kAny, 129, 3, 5, {1000, 1000, 1000, 1000, 1000}},
    {0x5508, 0x5508, 0, kAny, 130, 3, 5, {negative(-200), negative(-200), negative(-200), negative(-200), negative(-200)}},
    {0x6608, 0x6608, 0, kAny, 128, 3, 6, {1, 1, 1, 1, 1, 1}},
    {0x6608, 0x6608, 0, kAny, 129, 3, 6, {1000, 1000, 1000, 1000, 1000, 1000}},
    {0x6608, 0x6608, 0, kAny, 130, 3, 6, {negative(-200), negative(-200), negative(-200), negative(-200), negative(-200), negative(-200)}},
    {0x6608, 0x6608, 0, kAny, 148, 1, 1, {5}},
    {0x9606, 0x9606, 0, kAny, 128, 3, 6, {1, 1, 1, 1, 1, 1}},
    {0x9606, 0x9606, 0, kAny, 129, 3, 6, {1000, 1000, 1000, 1000, 1000, 1000}},
    {0x9606, 0x9606, 0, kAny, 130, 3, 6, {negative(-200), negative(-200), negative(-200), negative(-200), negative(-200), negative(-200)}},
    // frequency counters: limits, gate times, input thresholds
    {0x7204, 0x7204, 0, kAny, 130, 9, 2, {hiWord(100000), hiWord(100000)}},
    {0x7204, 0x7204, 0, kAny, 131, 9, 2, {loWord(100000), loWord(100000)}},
    {0x7204, 0x7204, 0, kAny, 136, 9, 2, {0x03E8, 0x03E8}},
    {0x7204, 0x7204, 0, kAny, 146, 1, 2, {24, 5}},
    // counters and encoders: modes, pulses per revolution, sampling windows, speed limits,
    // captured periods and pulses per window
    {0x7404, 0x7404, 0, kAny, 128, 1, 4, {0, 1, 0, 1}},
    {0x7404, 0x7404, 0, kAny, 153, 1, 4, {1000, 1000, 10000, 10000}},
    {0x7404, 0x7404, 0, kAny, 162, 1, 8, {hiWord(300000), loWord(300000), hiWord(300000), loWord(300000),
                                          hiWord(1000), loWord(1000), hiWord(1000), loWord(1000)}},
    {0x7404, 0x7404, 0, kAny, 76, 2, 4, {hiWord(100000), hiWord(50000), hiWord(25000), hiWord(12500)}},
    {0x7404, 0x7404, 0, kAny, 77, 2, 6, {loWord(100000), loWord(50000), loWord(25000), loWord(12500), 500, 250}},
    // calibrated modules: identity, gains (channel 1 at +-5 V), channel 1 measuring current,
    // coefficients, safe values, valid bits, calibration date, a test value, outputs
    {0x3900, 0x390B, 0, kAny, 128, 1, 4, {kOwnType, 0x0000, 0x0004, 0x0002}},
    {0x3900, 0x390B, 0, kAny, 164, 1, 2, {2048, 2048}},
    {0x3900, 0x390B, 0, kAny, 166, 1, 8, {lo(kA12), hi(kA12), lo(kB), hi(kB), lo(kA12), hi(kA12), lo(kB), hi(kB)}},
    {0x3900, 0x390B, 0, kAny, 174, 1, 5, {0x03FF, hostDate(24, 3, 15), 0, loWord(1234567), hiWord(1234567)}},
    {0x3900, 0x390B, 0, kAny, 96, 1, 2, {2048, 3072}},
    {0x39FF, 0x39FF, 0, kAny, 128, 1, 1, {0x3900}},
};

// Input coefficients of the calibrated modules: a at 132 + 4n, b at 134 + 4n, by resolution
// (odd type codes convert with 16 bits).
void fillCalibration(std::uint16_t type, RegisterFile& regs) {
    float a = type % 2 ? kA16 : kA12;
    for (int n = 0; n < 8; ++n) {
        auto at = static_cast<std::size_t>(132 + 4 * n);
        regs[at] = static_cast<std::uint16_t>(lo(a));
        regs[at + 1] = static_cast<std::uint16_t>(hi(a));
        regs[at + 2] = static_cast<std::uint16_t>(lo(kB));
        regs[at + 3] = static_cast<std::uint16_t>(hi(kB));
    }
}

}  // namespace

void fillInitialRegisters(std::uint16_t type, std::uint16_t hardVer, RegisterFile& regs) {
    for (const auto& run : kRuns) {
        if (type < run.typeFirst || type > run.typeLast || hardVer < run.hwMin || hardVer >= run.hwBelow) continue;
        for (int i = 0; i < run.count; ++i) {
            std::size_t reg = run.reg + static_cast<std::size_t>(i * run.step);
            if (reg >= regs.size()) break;
            std::uint32_t v = run.values[static_cast<std::size_t>(i)];
            regs[reg] = static_cast<std::uint16_t>(v == kOwnType ? type : v);
        }
    }
    if (type >= 0x3900 && type <= 0x390B) fillCalibration(type, regs);
}

}  // namespace vexa::sim::detail

namespace vexa::sim {

std::vector<Identity> everySubModuleType() {
    struct Row {
        std::uint16_t type, hardVer;
    };
    static constexpr Row kTypes[] = {
        {0x1804, 0x0100}, {0x2808, 0x0100}, {0x4055, 0x0100}, {0x3402, 0x0100}, {0x3412, 0x0100},
        {0x3800, 0x0100}, {0x3800, 0x0150}, {0x4017, 0x0100}, {0x4017, 0x0120}, {0x9308, 0x0100},
        {0x4400, 0x0100}, {0x4400, 0x0110}, {0x4410, 0x0100}, {0x5508, 0x0100}, {0x6608, 0x0100},
        {0x9606, 0x0100}, {0x7204, 0x0100}, {0x7404, 0x0100}, {0x9108, 0x0100}, {0x3900, 0x0100},
        {0x3901, 0x0100}, {0x3902, 0x0100}, {0x3903, 0x0100}, {0x3904, 0x0100}, {0x3905, 0x0100},
        {0x3906, 0x0100}, {0x3907, 0x0100}, {0x3908, 0x0100}, {0x3909, 0x0100}, {0x390A, 0x0100},
        {0x390B, 0x0100}, {0x39FF, 0x0100}, {0x9999, 0x0100}, {0x270F, 0x0100},
    };
    std::vector<Identity> out;
    for (const auto& t : kTypes) out.push_back(subIdentity(t.type, t.hardVer));
    return out;
}

}  // namespace vexa::sim
