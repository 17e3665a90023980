// The public face of the rack: SimRack and SimCoupler forward to the internal rack under its lock.
#include "sim/SimRack.h"

#include <chrono>

#include "BootTunnel.h"
#include "Rack.h"

namespace vexa::sim {

using detail::Coupler;
using Guard = std::lock_guard<std::mutex>;

Identity ethCouplerIdentity() {
    Identity id;
    id.type = 9;
    id.mode = 0x0001;
    id.serial = {0x20, 0x24, 0x09, 0x01};
    return id;
}

Identity serialCouplerIdentity() {
    Identity id;
    id.type = 0x9010;
    id.mode = 0x0001;
    id.serial = {0x20, 0x24, 0x90, 0x10};
    return id;
}

Identity hidCouplerIdentity() {
    Identity id;
    id.type = 0x9020;
    id.mode = 0x0001;
    id.serial = {0x20, 0x24, 0x90, 0x20};
    return id;
}

Identity subIdentity(std::uint16_t type, std::uint16_t hardVer) {
    Identity id;
    id.type = type;
    id.mode = 0x0001;
    id.hardVer = hardVer;
    id.serial = {0x20, 0x24, static_cast<std::uint8_t>(type >> 8), static_cast<std::uint8_t>(type & 0xFF)};
    return id;
}

// ---- SimCoupler ----

CouplerKind SimCoupler::kind() const { return c_.kind(); }
int SimCoupler::index() const { return c_.index(); }

std::string SimCoupler::address() const {
    Guard g(rack_.lock);
    switch (c_.kind()) {
        case CouplerKind::Ethernet: return c_.eth.address;
        case CouplerKind::Serial: return rack_.serialPath(c_.serial.line);
        case CouplerKind::Hid: return c_.hid.path;
    }
    return {};
}

std::array<std::uint8_t, 6> SimCoupler::mac() const { return c_.eth.mac; }
int SimCoupler::station() const { return c_.serial.station; }
int SimCoupler::line() const { return c_.serial.line; }
Identity SimCoupler::identity() const { return c_.identity(); }

Bytes SimCoupler::block(int id) const {
    Guard g(rack_.lock);
    if (!c_.hasBlock(id)) return {};
    const std::uint8_t* at = c_.blockAt(c_.blockBase(id));
    return Bytes(at, at + c_.blockLength());
}

bool SimCoupler::setBlock(int id, std::size_t offset, const Bytes& bytes) {
    Guard g(rack_.lock);
    if (!c_.hasBlock(id) || offset + bytes.size() > static_cast<std::size_t>(c_.blockLength())) return false;
    std::copy(bytes.begin(), bytes.end(), c_.blockAt(c_.blockBase(id) + static_cast<int>(offset)));
    return true;
}

bool SimCoupler::hasSub(int position) const {
    Guard g(rack_.lock);
    return c_.sub(position) != nullptr;
}

Identity SimCoupler::subIdentity(int position) const {
    Guard g(rack_.lock);
    const auto* m = c_.sub(position);
    return m ? m->reported() : Identity{0, 0, 0, 0, 0, {}};
}

bool SimCoupler::inBootLoader(int position) const {
    Guard g(rack_.lock);
    if (position == 0) return c_.bootRuns();
    const auto* m = c_.sub(position);
    return m && m->inBootLoader();
}

bool SimCoupler::enterBootLoader(int position) {
    Guard g(rack_.lock);
    if (position == 0) {
        if (c_.kind() != CouplerKind::Serial) return false;
        c_.startBootLoader();
        return true;
    }
    auto* m = c_.sub(position);
    if (!m) return false;
    if (!m->inBootLoader()) c_.startSubBootLoader(*m, position);
    return true;
}

bool SimCoupler::withBootLoader(int position, const std::function<void(BootLoaderSim&)>& fn) {
    Guard g(rack_.lock);
    BootLoaderSim* loader = c_.boot ? c_.boot.get() : c_.lastBoot.get();
    if (position != 0) {
        auto* m = c_.sub(position);
        auto* tunnel = m ? dynamic_cast<detail::BootTunnel*>(m->program()) : nullptr;
        loader = tunnel ? &tunnel->loader() : nullptr;
    }
    if (!loader) return false;
    fn(*loader);
    return true;
}

int SimCoupler::subRegister(int position, int reg) const {
    Guard g(rack_.lock);
    const auto* m = c_.sub(position);
    return m ? m->value(reg, rack_.ctx.nowMs(), rack_.ctx.live) : -1;
}

bool SimCoupler::setSubRegister(int position, int reg, std::uint16_t value) {
    Guard g(rack_.lock);
    auto* m = c_.sub(position);
    if (!m || reg < 0 || reg >= kSubRegisterCount) return false;
    m->set(reg, value);
    return true;
}

bool SimCoupler::addSub(const SubModuleConfig& sub) {
    Guard g(rack_.lock);
    if (sub.position < 1 || sub.position > kMaxSubModules) return false;
    c_.setSub(sub.position, std::make_unique<detail::SubModule>(sub.id));
    return true;
}

bool SimCoupler::removeSub(int position) {
    Guard g(rack_.lock);
    if (!c_.sub(position)) return false;
    c_.setSub(position, nullptr);
    return true;
}

void SimCoupler::setSilent(bool silent) {
    Guard g(rack_.lock);
    c_.faults.setSilent(silent);
}

void SimCoupler::setFaultRates(const FaultRates& rates) {
    Guard g(rack_.lock);
    c_.faults.setRates(rates);
}

void SimCoupler::pushFault(const Fault& fault) {
    Guard g(rack_.lock);
    c_.faults.push(fault);
}

void SimCoupler::clearFaults() {
    Guard g(rack_.lock);
    c_.faults.clear();
    c_.hid.state.scripts.clear();
}

CanOpenImage SimCoupler::canOpenImage() const {
    Guard g(rack_.lock);
    return c_.hid.state.held;
}

void SimCoupler::setCanOpenImage(const CanOpenImage& image) {
    Guard g(rack_.lock);
    c_.hid.state.held = image;
}

Bytes SimCoupler::firmwareImage() const {
    Guard g(rack_.lock);
    return c_.hid.state.update.image;
}

bool SimCoupler::inUpdateMode() const {
    Guard g(rack_.lock);
    return c_.hid.state.update.active;
}

std::size_t SimCoupler::firmwareUpdates() const {
    Guard g(rack_.lock);
    return c_.hid.state.update.completed;
}

void SimCoupler::pushHidScript(const HidScript& script) {
    Guard g(rack_.lock);
    HidScript s = script;
    if (s.body.size() > detail::kHidMaxPayload) s.body.resize(detail::kHidMaxPayload);
    c_.hid.state.scripts.push_back(std::move(s));
}

std::vector<Bytes> SimCoupler::requests() const {
    Guard g(rack_.lock);
    return {c_.log.begin(), c_.log.end()};
}

std::size_t SimCoupler::requestCount() const {
    Guard g(rack_.lock);
    return c_.requests;
}

std::size_t SimCoupler::replyCount() const {
    Guard g(rack_.lock);
    return c_.replies;
}

std::size_t SimCoupler::rebootCount() const {
    Guard g(rack_.lock);
    return c_.reboots;
}

std::size_t SimCoupler::subRebootCount() const {
    Guard g(rack_.lock);
    return c_.subReboots;
}

void SimCoupler::clearLog() {
    Guard g(rack_.lock);
    c_.log.clear();
    c_.requests = c_.replies = c_.reboots = c_.subReboots = 0;
}

namespace {
bool waitCount(detail::Rack& rack, const std::size_t& counter, std::size_t n, int timeoutMs) {
    std::unique_lock<std::mutex> g(rack.lock);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    return rack.ctx.changed.wait_until(g, deadline, [&] { return counter >= n; });
}
}  // namespace

bool SimCoupler::waitForRequests(std::size_t n, int timeoutMs) const {
    return waitCount(rack_, c_.requests, n, timeoutMs);
}

bool SimCoupler::waitForReplies(std::size_t n, int timeoutMs) const {
    return waitCount(rack_, c_.replies, n, timeoutMs);
}

// ---- SimRack ----

SimRack::SimRack(const RackOptions& options) : r_(std::make_unique<detail::Rack>(options)) {}
SimRack::~SimRack() { r_->stop(); }

SimCoupler* SimRack::addEthernet(const EthCouplerConfig& config) {
    Guard g(r_->lock);
    return r_->addEthernet(config);
}

SimCoupler* SimRack::addSerial(const SerialCouplerConfig& config) {
    Guard g(r_->lock);
    return r_->addSerial(config);
}

SimCoupler* SimRack::addHid(const HidCouplerConfig& config) {
    Guard g(r_->lock);
    return r_->addHid(config);
}

void SimRack::setBootHook(BootHook hook) {
    Guard g(r_->lock);
    r_->ctx.bootHook = std::move(hook);
}

int SimRack::start() { return r_->start(); }
void SimRack::stop() { r_->stop(); }

bool SimRack::running() const {
    Guard g(r_->lock);
    return r_->running;
}

std::string SimRack::hubAddress() const {
    Guard g(r_->lock);
    return r_->hubAddress();
}

std::string SimRack::modbusTcpEndpoint() const {
    Guard g(r_->lock);
    return r_->modbusTcpEndpoint();
}

std::string SimRack::subnet() const {
    Guard g(r_->lock);
    return r_->subnet;
}

std::string SimRack::hidFolder() const {
    Guard g(r_->lock);
    return r_->hidFolder;
}

std::string SimRack::serialPath(int line) const {
    Guard g(r_->lock);
    return r_->serialPath(line);
}

std::vector<SimCoupler*> SimRack::couplers() const {
    Guard g(r_->lock);
    std::vector<SimCoupler*> out;
    for (auto& h : r_->handles) out.push_back(h.get());
    return out;
}

void SimRack::setLiveData(bool on) {
    Guard g(r_->lock);
    r_->setLiveData(on);
}

std::string SimRack::describe() const {
    Guard g(r_->lock);
    return r_->describe();
}

std::string SimRack::environment() const {
    Guard g(r_->lock);
    return r_->environment();
}

// ---- the demo rack ----

int addDemoCouplers(SimRack& rack) {
    EthCouplerConfig eth;
    eth.subs = {{1, subIdentity(0x4017)}, {2, subIdentity(0x2808)}, {3, subIdentity(0x5508)}};
    SerialCouplerConfig rs;
    rs.subs = {{1, subIdentity(0x1804)}, {2, subIdentity(0x3800)}, {3, subIdentity(0x4400)}};
    HidCouplerConfig hid;
    hid.subs = {{1, subIdentity(0x4017)}, {2, subIdentity(0x2808)}, {3, subIdentity(0x1804)},
                {4, subIdentity(0x3800)}, {5, subIdentity(0x4400)}, {6, subIdentity(0x5508)}};
    bool ok = rack.addEthernet(eth) && rack.addSerial(rs) && rack.addHid(hid);
    return ok ? kSimOk : kSimBadConfig;
}

}  // namespace vexa::sim
