#include "Rack.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace vexa::sim::detail {

namespace {

std::atomic<unsigned> gRackCounter{0};

constexpr int kFirstEthHost = 10;
constexpr int kMaxEthHost = 250;
constexpr int kSubnetTries = 200;
constexpr int kMaxLines = 64;
constexpr int kMaxStation = 247;
constexpr std::size_t kMaxNameLength = 255;

std::uint32_t ipOf(std::uint8_t a, std::uint8_t b, std::uint8_t host) {
    std::uint8_t bytes[4] = {127, a, b, host};
    std::uint32_t net;
    std::memcpy(&net, bytes, 4);
    return net;
}

bool parseSubnet(const std::string& s, std::uint8_t& a, std::uint8_t& b) {
    unsigned x, y, z;
    char tail;
    if (std::sscanf(s.c_str(), "%u.%u.%u%c", &x, &y, &z, &tail) != 3 || x != 127 || y > 255 || z > 255) return false;
    a = static_cast<std::uint8_t>(y);
    b = static_cast<std::uint8_t>(z);
    return true;
}

bool isLoopback(std::uint32_t net) {
    std::uint8_t bytes[4];
    std::memcpy(bytes, &net, 4);
    return bytes[0] == 127;
}

bool validSubs(const std::vector<SubModuleConfig>& subs) {
    std::set<int> seen;
    for (const auto& s : subs)
        if (s.position < 1 || s.position > kMaxSubModules || !seen.insert(s.position).second) return false;
    return true;
}

std::string hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFF);
    return buf;
}

std::string subList(const Coupler& c) {
    std::string out;
    for (int p = 1; p <= kMaxSubModules; ++p)
        if (const SubModule* m = c.sub(p)) {
            out += out.empty() ? "" : ", ";
            out += std::to_string(p) + ":" + hex4(m->reported().type);
            if (c.kind() == CouplerKind::Serial) out += " (address " + std::to_string(c.serial.station + p - 1) + ")";
        }
    return out.empty() ? "none" : out;
}

}  // namespace

Rack::Rack(const RackOptions& options) : options_(options) {
    ctx.live = options.liveData;
    if (!options.subnet.empty()) {
        subnetOk_ = parseSubnet(options.subnet, netA_, netB_);
        if (subnetOk_) hub_.bind(ipOf(netA_, netB_, 1));
    } else {
        // A subnet of our own, so racks of parallel test processes never meet: derived from the
        // pid and a per-process counter, moving on while the hub address is taken.
        unsigned seed = static_cast<unsigned>(::getpid()) * 31u + gRackCounter++ * 977u;
        for (int i = 0; i < kSubnetTries && !hub_.bound(); ++i) {
            unsigned v = (seed + static_cast<unsigned>(i) * 257u) % (250u * 256u);
            netA_ = static_cast<std::uint8_t>(2 + v / 256);
            netB_ = static_cast<std::uint8_t>(v % 256);
            hub_.bind(ipOf(netA_, netB_, 1));
        }
        subnetOk_ = true;
    }
    subnet = "127." + std::to_string(netA_) + "." + std::to_string(netB_);
}

Rack::~Rack() { stop(); }

Coupler* Rack::newCoupler(CouplerKind kind, const Identity& id, const std::vector<SubModuleConfig>& subs) {
    if (running || !validSubs(subs)) return nullptr;
    auto c = std::make_unique<Coupler>(kind, static_cast<int>(couplers.size()), id, ctx);
    for (const auto& s : subs) c->setSub(s.position, std::make_unique<SubModule>(s.id));
    handles.push_back(std::unique_ptr<SimCoupler>(new SimCoupler(*this, *c)));
    c->handle = handles.back().get();
    couplers.push_back(std::move(c));
    return couplers.back().get();
}

SimCoupler* Rack::addEthernet(const EthCouplerConfig& config) {
    std::uint32_t ip = 0;
    if (!config.address.empty()) {
        if (!vexa::parseIPv4(config.address, ip) || !isLoopback(ip)) return nullptr;
    } else {
        int host = kFirstEthHost + static_cast<int>(ethPorts_.size());
        if (host > kMaxEthHost) return nullptr;
        ip = ipOf(netA_, netB_, static_cast<std::uint8_t>(host));
    }
    for (const auto& p : ethPorts_)
        if (p->coupler().eth.ipNet == ip) return nullptr;
    Coupler* c = newCoupler(CouplerKind::Ethernet, config.id, config.subs);
    if (!c) return nullptr;
    c->eth.ipNet = ip;
    c->eth.address = vexa::formatIPv4(ip);
    c->eth.checkPassword = config.checkPassword;
    c->eth.mac = config.mac;
    if (config.mac == std::array<std::uint8_t, 6>{}) {
        std::uint8_t b[4];
        std::memcpy(b, &ip, 4);
        c->eth.mac = {0x02, 0x56, 0x58, b[1], b[2], b[3]};  // locally administered
    }
    c->fillDefaultBlocks();
    ethPorts_.push_back(std::make_unique<EthPort>(*c, loop_));
    return c->handle;
}

SimCoupler* Rack::addSerial(const SerialCouplerConfig& config) {
    if (config.line < 0 || config.line >= kMaxLines || config.station < 1 || config.station > kMaxStation)
        return nullptr;
    while (static_cast<int>(lines_.size()) <= config.line)
        lines_.push_back(std::make_unique<SerialLine>(static_cast<int>(lines_.size()), loop_));
    SerialLine& line = *lines_[static_cast<std::size_t>(config.line)];
    for (const Coupler* other : line.couplers())
        if (other->serial.station == config.station) return nullptr;
    Coupler* c = newCoupler(CouplerKind::Serial, config.id, config.subs);
    if (!c) return nullptr;
    c->serial = {config.line, config.station};
    c->fillDefaultBlocks();
    line.add(c);
    return c->handle;
}

SimCoupler* Rack::addHid(const HidCouplerConfig& config) {
    HidCouplerConfig cfg = config;
    if (cfg.socketName.empty()) cfg.socketName = "hid-" + std::to_string(hidPorts_.size());
    if (cfg.socketName.size() > kMaxNameLength || cfg.socketName.find('/') != std::string::npos ||
        cfg.socketName[0] == '.')
        return nullptr;
    for (const auto& c : couplers)
        if (c->kind() == CouplerKind::Hid && c->hid.config.socketName == cfg.socketName) return nullptr;
    Coupler* c = newCoupler(CouplerKind::Hid, config.id, config.subs);
    if (!c) return nullptr;
    c->hid.config = cfg;
    c->fillDefaultBlocks();
    hidPorts_.push_back(std::make_unique<HidPort>(*c, loop_));
    return c->handle;
}

bool Rack::openHidFolder() {
    if (options_.hidFolder.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexa-sim-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!::mkdtemp(buf.data())) return false;
        hidFolder = buf.data();
        ownsFolder_ = true;
    } else {
        hidFolder = options_.hidFolder;
        while (hidFolder.size() > 1 && hidFolder.back() == '/') hidFolder.pop_back();
        ownsFolder_ = ::mkdir(hidFolder.c_str(), 0700) == 0;
    }
    folderFd_.reset(::open(hidFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folderFd_.valid();
}

int Rack::openAll() {
    if (!subnetOk_) return kSimBadConfig;
    if (!hub_.bound() && !hub_.bind(ipOf(netA_, netB_, 1))) return kSimBindFailed;
    std::vector<EthPort*> ports;
    for (auto& p : ethPorts_) {
        if (!p->open()) return kSimBindFailed;
        ports.push_back(p.get());
    }
    if (options_.ethBroadcast) {
        // Bound to the broadcast address itself: it hears searches only, never a coupler's unicast.
        if (!broadcastHub_.bind(htonl(INADDR_BROADCAST))) return kSimBindFailed;
        broadcastHub_.start(ports);
    }
    hub_.start(std::move(ports));
    for (auto& l : lines_)
        if (!l->couplers().empty() && !l->open()) return kSimPtyFailed;
    for (auto& l : lines_) {
        if (l->couplers().empty()) continue;
        gateway_ = std::make_unique<ModbusTcpGateway>(loop_, *l);
        if (!gateway_->open(ipOf(netA_, netB_, 1))) return kSimBindFailed;
        break;
    }
    if (!openHidFolder()) return kSimFolderFailed;
    for (auto& p : hidPorts_) {
        Coupler& c = p->coupler();
        if (!p->open(folderFd_.get(), hidFolder, c.hid.config.socketName)) return kSimBindFailed;
        c.hid.path = hidFolder + "/" + c.hid.config.socketName;
    }
    return kSimOk;
}

void Rack::closeAll() {
    gateway_.reset();
    hub_.close();
    broadcastHub_.close();
    for (auto& p : ethPorts_) p->close();
    for (auto& l : lines_) l->close();
    for (auto& p : hidPorts_) p->close();
    folderFd_.reset();
    if (ownsFolder_ && !hidFolder.empty()) ::rmdir(hidFolder.c_str());
    ownsFolder_ = false;
}

int Rack::start() {
    {
        std::lock_guard<std::mutex> g(lock);
        if (running) return kSimRunning;
        int r = openAll();
        if (r != kSimOk) {
            closeAll();
            hidFolder.clear();
            return r;
        }
        running = true;
    }
    if (!loop_.start()) {
        stop();
        return kSimThreadFailed;
    }
    return kSimOk;
}

void Rack::stop() {
    loop_.stop();
    std::lock_guard<std::mutex> g(lock);
    if (!running) return;
    closeAll();
    running = false;
    ctx.changed.notify_all();
}

void Rack::setLiveData(bool on) {
    if (!on) {
        std::int64_t now = ctx.nowMs();
        for (auto& c : couplers)
            for (int p = 1; p <= kMaxSubModules; ++p)
                if (SubModule* m = c->sub(p)) m->freeze(now);
    }
    ctx.live = on;
}

std::string Rack::hubAddress() const { return subnet + ".1"; }

std::string Rack::modbusTcpEndpoint() const { return gateway_ ? gateway_->endpoint() : std::string(); }

std::string Rack::serialPath(int line) const {
    if (line < 0 || line >= static_cast<int>(lines_.size())) return {};
    return lines_[static_cast<std::size_t>(line)]->path();
}

std::string Rack::describe() const {
    std::string out = "VEXA simulated rack (pid " + std::to_string(::getpid()) + ")\n";
    out += "Ethernet search hub: " + hubAddress() + " port " + std::to_string(kEthPort) + "\n";
    if (broadcastHub_.bound())
        out += "Ethernet search also heard on 255.255.255.255 port " + std::to_string(kEthPort) + "\n";
    for (const auto& p : ethPorts_) {
        const Coupler& c = p->coupler();
        char mac[32];
        std::snprintf(mac, sizeof mac, "%02X:%02X:%02X:%02X:%02X:%02X", c.eth.mac[0], c.eth.mac[1], c.eth.mac[2],
                      c.eth.mac[3], c.eth.mac[4], c.eth.mac[5]);
        out += "  Ethernet coupler " + std::to_string(c.index()) + ": " + c.eth.address + " port " +
               std::to_string(kEthPort) + ", MAC " + mac + ", sub modules " + subList(c) + "\n";
    }
    for (const auto& l : lines_) {
        if (l->couplers().empty()) continue;
        out += "RS-485 line " + std::to_string(l->number()) + ": " + (l->path().empty() ? "(not open)" : l->path()) +
               " (Modbus RTU or ASCII, any baud)\n";
        for (const Coupler* c : l->couplers())
            out += "  RS-485 coupler " + std::to_string(c->index()) + ": station " + std::to_string(c->serial.station) +
                   ", sub modules " + subList(*c) + "\n";
    }
    if (gateway_)
        out += "Modbus TCP gateway to RS-485 line " + std::to_string(gateway_->lineNumber()) + ": " +
               gateway_->endpoint() + " (unit id = station)\n";
    out += "USB HID folder: " + (hidFolder.empty() ? std::string("(not open)") : hidFolder) + "\n";
    for (const auto& c : couplers)
        if (c->kind() == CouplerKind::Hid)
            out += "  USB coupler " + std::to_string(c->index()) + ": " +
                   (c->hid.path.empty() ? c->hid.config.socketName : c->hid.path) + " (" + c->hid.config.manufacturer +
                   " " + c->hid.config.product + "), sub modules " + subList(*c) + "\n";
    return out;
}

std::string Rack::environment() const {
    std::string out = "export VEXA_ETH_BROADCAST=" + hubAddress() + "\n";
    if (!hidFolder.empty()) out += "export VEXA_HID=sim:" + hidFolder + "\n";
    return out;
}

}  // namespace vexa::sim::detail
