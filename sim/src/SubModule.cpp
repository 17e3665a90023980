#include "SubModule.h"

#include "SubRegisterMap.h"

namespace vexa::sim::detail {

namespace {
constexpr int kBootRegister = 0xFF;
constexpr std::uint16_t kBootMagic = 0xAAAA;

bool inRange(int start, int count) {
    return start >= 0 && count > 0 && start + count <= kSubRegisterCount;
}
}  // namespace

SubModule::SubModule(const Identity& id) : id_(id) {
    fillInitialRegisters(id_.type, id_.hardVer, regs_);
    // Live registers start where they are at the epoch, so a frozen rack is deterministic.
    const RegisterFile initial = regs_;
    for (int r = 0; r < kSubRegisterCount; ++r) {
        int v = liveRegister(id_.type, id_.hardVer, r, 0, initial);
        if (v >= 0) regs_[static_cast<std::size_t>(r)] = static_cast<std::uint16_t>(v);
    }
}

bool SubModule::inBootLoader() const { return boot_ && !(program_ && program_->restartDue()); }

Identity SubModule::reported() const {
    Identity r = id_;
    if (inBootLoader()) r.type = kBootLoaderType;
    return r;
}

int SubModule::value(int reg, std::int64_t nowMs, bool live) const {
    if (reg < 0 || reg >= kSubRegisterCount) return -1;
    if (live && !inBootLoader()) {
        int v = liveRegister(id_.type, id_.hardVer, reg, nowMs, regs_);
        if (v >= 0) return v;
    }
    return regs_[static_cast<std::size_t>(reg)];
}

bool SubModule::read(int start, int count, std::int64_t nowMs, bool live, std::uint8_t* out) const {
    if (!inRange(start, count)) return false;
    if (runsProgram()) return program_->readRegisters(start, count, out);
    for (int i = 0; i < count; ++i) {
        auto v = static_cast<std::uint16_t>(value(start + i, nowMs, live));
        out[2 * i] = static_cast<std::uint8_t>(v >> 8);
        out[2 * i + 1] = static_cast<std::uint8_t>(v & 0xFF);
    }
    return true;
}

bool SubModule::write(int start, const std::uint8_t* data, int len) {
    if (len <= 0 || !inRange(start, (len + 1) / 2)) return false;
    settle();
    if (program_) return program_->writeRegisters(start, data, len);
    // An odd byte count (by-address writes count bytes) fills the last register's high byte.
    for (int i = 0; i < len; i += 2) {
        std::uint16_t lo = i + 1 < len ? data[i + 1] : 0;
        regs_[static_cast<std::size_t>(start + i / 2)] = static_cast<std::uint16_t>(data[i] << 8 | lo);
    }
    return true;
}

void SubModule::freeze(std::int64_t nowMs) {
    for (int r = 0; r < kSubRegisterCount; ++r) {
        int v = liveRegister(id_.type, id_.hardVer, r, nowMs, regs_);
        if (v >= 0) regs_[static_cast<std::size_t>(r)] = static_cast<std::uint16_t>(v);
    }
}

bool SubModule::asksForBootLoader(int start, const std::uint8_t* data, int len) {
    int at = (kBootRegister - start) * 2;
    if (at < 0 || at + 1 >= len) return false;
    return (data[at] << 8 | data[at + 1]) == kBootMagic;
}

void SubModule::enterBootLoader(std::unique_ptr<SubModuleProgram> program) {
    settle();
    boot_ = true;
    program_ = std::move(program);
}

void SubModule::leave() {
    boot_ = false;
    if (program_) last_ = std::move(program_);
}

void SubModule::settle() {
    if (boot_ && program_ && program_->restartDue()) leave();
}

bool SubModule::leaveFinishedBootLoader() {
    settle();
    if (!boot_ || !program_ || !program_->finished()) return false;
    leave();
    return true;
}

}  // namespace vexa::sim::detail
