#pragma once
// One simulated coupler's state: identity, property blocks, sub modules, faults and the log of
// what reached it. The protocol handlers read and change it; SimCoupler is the test's view.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "FaultInjector.h"
#include "HidCommands.h"
#include "SubModule.h"
#include "sim/SimRack.h"
#include "sim/boot/BootLoaderSim.h"

namespace vexa::sim::detail {

using Clock = std::chrono::steady_clock;

// What every coupler sees of its rack. Guarded by the rack lock.
struct RackContext {
    Clock::time_point epoch = Clock::now();
    bool live = true;
    BootHook bootHook;
    std::condition_variable changed;  // notified on every request and reply
    std::int64_t nowMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - epoch).count();
    }
};

enum class SubAccess { Ok, NoModule, BadRange };

class Coupler {
public:
    Coupler(CouplerKind kind, int index, const Identity& id, RackContext& rack);

    CouplerKind kind() const { return kind_; }
    int index() const { return index_; }
    const Identity& identity() const { return id_; }
    RackContext& rack() { return rack_; }

    // Addressing, filled by the rack when the coupler is added.
    struct Ethernet {
        std::string address;
        std::uint32_t ipNet = 0;
        std::array<std::uint8_t, 6> mac{};
        bool checkPassword = false;
    } eth;
    struct Serial {
        int line = 0;
        int station = 1;
    } serial;
    struct Hid {
        HidCouplerConfig config;
        std::string path;
        HidState state;
    } hid;
    SimCoupler* handle = nullptr;

    // Property blocks, addressed as the wire does: block id × block length + offset.
    int blockLength() const { return blockLen_; }
    bool hasBlock(int id) const { return id >= firstBlock_ && id < firstBlock_ + blockCount_; }
    bool blockRange(int address, int len) const;
    std::uint8_t* blockAt(int address) { return &blocks_[static_cast<std::size_t>(address - firstBlock_ * blockLen_)]; }
    const std::uint8_t* blockAt(int address) const {
        return &blocks_[static_cast<std::size_t>(address - firstBlock_ * blockLen_)];
    }
    int blockBase(int id) const { return id * blockLen_; }

    // Sub modules at positions 1..8.
    SubModule* sub(int position);
    const SubModule* sub(int position) const;
    void setSub(int position, std::unique_ptr<SubModule> m);
    SubAccess readSub(int position, int start, int count, std::uint8_t* out) const;
    // A property write of AA AA to register 0xFF starts the module's boot loader.
    SubAccess writeSub(int position, int start, const std::uint8_t* data, int len, bool property);
    // The boot hook's program, or the built-in boot loader when no hook is set.
    void startSubBootLoader(SubModule& m, int position);

    // An RS-485 coupler's own boot loader; null while its firmware runs. A reset boot loader
    // is left at the next request (settleBoot), and kept in lastBoot for observation.
    std::unique_ptr<BootLoaderSim> boot;
    std::unique_ptr<BootLoaderSim> lastBoot;
    void startBootLoader();
    bool bootRuns() const { return boot && !boot->restartDue(); }
    void settleBoot();

    // Faults and observation.
    FaultInjector faults;
    void logRequest(const Bytes& request);
    // The frames that go out for `reply`; empty when silent or dropped.
    std::vector<Emission> planReply(const Bytes& reply, std::size_t corruptAt);
    void countReply();
    std::deque<Bytes> log;
    std::size_t requests = 0, replies = 0, reboots = 0, subReboots = 0;

    // USB by-address transfers: the registers held for paging, the pieces of a write.
    Bytes page;
    Bytes pieces;
    int pieceSub = 0, pieceStart = 0;

    void fillDefaultBlocks();

private:
    CouplerKind kind_;
    int index_;
    Identity id_;
    RackContext& rack_;
    int firstBlock_ = 0, blockCount_ = 0, blockLen_ = 0;
    Bytes blocks_;
    std::array<std::unique_ptr<SubModule>, kMaxSubModules> subs_;
    Bytes lastReply_;
};

// Big-endian helpers shared by the wire handlers.
inline void putU16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
}
inline std::uint16_t getU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
// Manufacturer, type, mode, hardware and software version, serial: the order of every search
// record except the USB identify.
inline void putIdentity(Bytes& b, const Identity& id) {
    putU16(b, id.manufacturer);
    putU16(b, id.type);
    putU16(b, id.mode);
    putU16(b, id.hardVer);
    putU16(b, id.softVer);
    b.insert(b.end(), id.serial.begin(), id.serial.end());
}

}  // namespace vexa::sim::detail
