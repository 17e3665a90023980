#include "Coupler.h"

#include <algorithm>
#include <cstring>

#include "BootTunnel.h"

namespace vexa::sim::detail {

namespace {

struct BlockLayout {
    CouplerKind kind;
    int firstBlock, blockCount, blockLength;
};
constexpr BlockLayout kBlockLayouts[] = {
    {CouplerKind::Ethernet, 0, 2, 256},
    {CouplerKind::Serial, 0, 1, 64},
    {CouplerKind::Hid, 2, 1, 64},
};

void putText(std::uint8_t* at, const char* text, std::size_t field) {
    std::memset(at, 0, field);
    std::memcpy(at, text, std::min(std::strlen(text), field - 1));
}

void putBE(std::uint8_t* at, std::uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i, v >>= 8) at[i] = static_cast<std::uint8_t>(v & 0xFF);
}

}  // namespace

Coupler::Coupler(CouplerKind kind, int index, const Identity& id, RackContext& rack)
    : kind_(kind), index_(index), id_(id), rack_(rack) {
    for (const auto& l : kBlockLayouts)
        if (l.kind == kind) {
            firstBlock_ = l.firstBlock;
            blockCount_ = l.blockCount;
            blockLen_ = l.blockLength;
        }
    blocks_.assign(static_cast<std::size_t>(blockCount_ * blockLen_), 0);
}

void Coupler::fillDefaultBlocks() {
    // Plausible factory contents, so that a person reading them sees a configured coupler.
    switch (kind_) {
        case CouplerKind::Ethernet: {
            putText(blockAt(0), "VEXA-9000", 16);
            putText(blockAt(16), "123456", 16);
            std::uint8_t ip[4];
            std::memcpy(ip, &eth.ipNet, 4);  // network order
            std::memcpy(blockAt(32), ip, 4);
            const std::uint8_t mask[4] = {255, 255, 255, 0};
            std::memcpy(blockAt(36), mask, 4);
            const std::uint8_t gate[4] = {ip[0], ip[1], ip[2], 1};
            std::memcpy(blockAt(40), gate, 4);  // gateway and DNS: the hub's address
            std::memcpy(blockAt(44), gate, 4);
            putBE(blockAt(256 + 233), 0x0001F000, 4);  // second image: length, check, version
            putBE(blockAt(256 + 237), 0x5A3C, 2);
            *blockAt(256 + 239) = 0x11;
            putBE(blockAt(256 + 240), 0x0001E800, 4);  // first image
            putBE(blockAt(256 + 244), 0x3CA5, 2);
            *blockAt(256 + 246) = 0;
            *blockAt(256 + 247) = static_cast<std::uint8_t>(id_.softVer & 0xFF);
            break;
        }
        case CouplerKind::Serial:
            putText(blockAt(0), "VEXA-9010", 16);
            putText(blockAt(16), "123456", 16);
            *blockAt(32) = kMaxSubModules;
            *blockAt(33) = 0;               // Modbus options
            putBE(blockAt(34), 20, 2);      // byte time-out
            *blockAt(36) = 3;               // baud index
            *blockAt(37) = 8;               // data bits
            *blockAt(38) = 1;               // stop bits
            *blockAt(39) = 0;               // parity
            *blockAt(63) = 0;               // boot loader flag
            break;
        case CouplerKind::Hid:
            *blockAt(128) = 1;              // CANopen address
            *blockAt(129) = 3;              // CAN baud index
            putBE(blockAt(130), 250000, 4);  // user CAN baud
            break;
    }
}

bool Coupler::blockRange(int address, int len) const {
    int base = firstBlock_ * blockLen_;
    return len >= 0 && address >= base && address + len <= base + static_cast<int>(blocks_.size());
}

SubModule* Coupler::sub(int position) {
    if (position < 1 || position > kMaxSubModules) return nullptr;
    return subs_[static_cast<std::size_t>(position - 1)].get();
}

const SubModule* Coupler::sub(int position) const {
    if (position < 1 || position > kMaxSubModules) return nullptr;
    return subs_[static_cast<std::size_t>(position - 1)].get();
}

void Coupler::setSub(int position, std::unique_ptr<SubModule> m) {
    if (position >= 1 && position <= kMaxSubModules) subs_[static_cast<std::size_t>(position - 1)] = std::move(m);
}

SubAccess Coupler::readSub(int position, int start, int count, std::uint8_t* out) const {
    const SubModule* m = sub(position);
    if (!m) return SubAccess::NoModule;
    return m->read(start, count, rack_.nowMs(), rack_.live, out) ? SubAccess::Ok : SubAccess::BadRange;
}

SubAccess Coupler::writeSub(int position, int start, const std::uint8_t* data, int len, bool property) {
    SubModule* m = sub(position);
    if (!m) return SubAccess::NoModule;
    if (!m->write(start, data, len)) return SubAccess::BadRange;
    if (property && !m->inBootLoader() && SubModule::asksForBootLoader(start, data, len)) startSubBootLoader(*m, position);
    return SubAccess::Ok;
}

void Coupler::startSubBootLoader(SubModule& m, int position) {
    std::unique_ptr<SubModuleProgram> program;
    if (rack_.bootHook) {
        if (handle) program = rack_.bootHook(*handle, position);
    } else {
        program = std::make_unique<BootTunnel>(kind_, bootConfigFor(m.identity()));
    }
    m.enterBootLoader(std::move(program));
}

void Coupler::startBootLoader() {
    settleBoot();
    if (!boot) boot = std::make_unique<BootLoaderSim>(bootConfigFor(id_));
}

void Coupler::settleBoot() {
    if (boot && boot->restartDue()) lastBoot = std::move(boot);
}

void Coupler::logRequest(const Bytes& request) {
    log.push_back(request);
    while (log.size() > kRequestLogSize) log.pop_front();
    ++requests;
    rack_.changed.notify_all();
}

std::vector<Emission> Coupler::planReply(const Bytes& reply, std::size_t corruptAt) {
    if (faults.silent()) return {};
    auto out = FaultInjector::apply(faults.next(), reply, lastReply_, corruptAt);
    lastReply_ = reply;
    return out;
}

void Coupler::countReply() {
    ++replies;
    rack_.changed.notify_all();
}

}  // namespace vexa::sim::detail
