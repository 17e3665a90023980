#pragma once
// One simulated I/O sub module: its identity and a file of 256 16-bit registers
// (blocks of 32: 0 DI, 1 DO, 2 AI, 3 AO, 4-5 configuration).
#include <cstdint>
#include <memory>

#include "LiveData.h"
#include "sim/SimRack.h"

namespace vexa::sim::detail {

class SubModule {
public:
    explicit SubModule(const Identity& id);

    // As the searches report it: type 0x9999 while the boot loader runs.
    Identity reported() const;
    const Identity& identity() const { return id_; }
    // False again once the boot-loader program was told to restart.
    bool inBootLoader() const;

    // Register access in wire order (big-endian words). False for a range outside 0..255, an
    // empty length, or a refusal of the boot-loader program.
    bool read(int start, int count, std::int64_t nowMs, bool live, std::uint8_t* out) const;
    bool write(int start, const std::uint8_t* data, int len);

    int value(int reg, std::int64_t nowMs, bool live) const;  // -1 for a bad register
    void set(int reg, std::uint16_t v) { regs_[static_cast<std::size_t>(reg)] = v; }
    // Stores what the live registers show now, so they hold still from here on.
    void freeze(std::int64_t nowMs);

    // True when `data` written at `start` asks the module to start its boot loader.
    static bool asksForBootLoader(int start, const std::uint8_t* data, int len);
    void enterBootLoader(std::unique_ptr<SubModuleProgram> program);
    // The boot-loader program it runs, or after it left, the last one it ran.
    SubModuleProgram* program() { return program_ ? program_.get() : last_.get(); }
    // Back to the register file, when the boot-loader program says it is done; true if it left.
    bool leaveFinishedBootLoader();

private:
    Identity id_;
    RegisterFile regs_{};
    bool boot_ = false;
    std::unique_ptr<SubModuleProgram> program_;
    std::unique_ptr<SubModuleProgram> last_;  // kept for observation after it left

    bool runsProgram() const { return boot_ && program_ && !program_->restartDue(); }
    void leave();
    // Leaves a boot loader that was told to restart.
    void settle();
};

}  // namespace vexa::sim::detail
