#pragma once
// A sub module's boot loader behind its coupler: the boot frame byte stream travels in the
// module's data registers 1 and 2 (docs/wire-notes.md, "Boot loaders"), and a simulated boot
// loader takes the bytes and answers.
#include <memory>

#include "sim/SimRack.h"
#include "sim/boot/BootLoaderSim.h"

namespace vexa::sim::detail {

// What a module's boot loader reports and accepts: the identity it was built for, installed
// firmware = its software version.
BootLoaderConfig bootConfigFor(const Identity& id);

class BootTunnel : public SubModuleProgram {
public:
    BootTunnel(CouplerKind wire, const BootLoaderConfig& config);

    bool writeRegisters(int start, const std::uint8_t* data, int len) override;
    bool readRegisters(int start, int count, std::uint8_t* out) override;
    bool finished() const override { return loader_.complete(); }
    bool restartDue() const override { return loader_.restartDue(); }

    BootLoaderSim& loader() { return loader_; }

private:
    CouplerKind wire_;
    BootLoaderSim loader_;
};

}  // namespace vexa::sim::detail
