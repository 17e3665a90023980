#pragma once
// The simulated rack: VEXA couplers and their sub modules played over the real local wires, so
// that tests, benchmarks and tools need no hardware.
//
//   - Ethernet couplers: one UDP socket each on its own loopback address, port 8801, plus one hub
//     socket (the rack's "broadcast" address; set VEXA_ETH_BROADCAST to it) whose datagrams every
//     Ethernet coupler hears and answers from its own socket.
//   - RS-485 lines: one pseudo-terminal each (open the slave path); several couplers with
//     different station addresses share a line; RTU and ASCII, answered in the request's framing.
//   - USB HID couplers: one SOCK_SEQPACKET socket each in the rack's HID folder, speaking the
//     simulated-bus protocol (set VEXA_HID=sim:<folder>).
//
// Typical use in a test:
//
//   vexa::sim::SimRack rack({.liveData = false});
//   vexa::sim::SimCoupler* eth = rack.addEthernet({.subs = {{1, vexa::sim::subIdentity(0x4017)}}});
//   ASSERT_EQ(rack.start(), vexa::sim::kSimOk);
//   setenv("VEXA_ETH_BROADCAST", rack.hubAddress().c_str(), 1);
//   ... talk to eth->address() ...
//   EXPECT_EQ(eth->replyCount(), 1u);
//
// Couplers are added before start(); the returned pointers stay valid until the rack is destroyed.
// Every accessor is thread-safe (one lock for the whole rack, shared with the device thread).
// Nothing here throws or prints.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vexa::sim {

using Bytes = std::vector<std::uint8_t>;
class BootLoaderSim;  // sim/boot/BootLoaderSim.h

enum SimResult : int {
    kSimOk = 0,
    kSimBadConfig = 1,     // a coupler or option that cannot work (bad address, position, name)
    kSimRunning = 2,       // already started
    kSimBindFailed = 3,    // a UDP or Unix socket could not be bound
    kSimPtyFailed = 4,     // no pseudo-terminal
    kSimFolderFailed = 5,  // the HID folder could not be made or opened
    kSimThreadFailed = 6,
};

enum class CouplerKind { Ethernet, Serial, Hid };

// What a device reports about itself in the search replies. Serial numbers travel as raw bytes.
struct Identity {
    std::uint16_t manufacturer = 0x4B58;
    std::uint16_t type = 0;
    std::uint16_t mode = 0;
    std::uint16_t hardVer = 0x0100;  // major in the high byte
    std::uint16_t softVer = 0x0100;
    std::array<std::uint8_t, 4> serial{};
};

// Identity helpers with the defaults the rack uses.
Identity ethCouplerIdentity();     // type 9
Identity serialCouplerIdentity();  // type 0x9010
Identity hidCouplerIdentity();     // type 0x9020
Identity subIdentity(std::uint16_t type, std::uint16_t hardVer = 0x0100);
// One identity per sub-module register map the rack plays: every type, and for 0x3800, 0x4017
// and 0x4400 also the later hardware generation (0x150, 0x120, 0x110) with its own map.
std::vector<Identity> everySubModuleType();

constexpr int kMaxSubModules = 8;
constexpr int kSubRegisterCount = 256;
constexpr std::uint16_t kBootLoaderType = 0x9999;
constexpr int kEthPort = 8801;
constexpr std::size_t kRequestLogSize = 512;  // requests kept per coupler, oldest dropped first

struct SubModuleConfig {
    int position = 1;  // 1..8
    Identity id;       // id.type chooses the register layout and live data
};

// Faults applied to replies. One fault per reply: the scripted queue first, then the rates.
enum class FaultKind {
    None,
    Drop,       // no reply
    Delay,      // the reply after delayMs
    Corrupt,    // one byte flipped so the frame's check (or header) no longer matches
    Truncate,   // only the first half of the reply
    Duplicate,  // the reply twice
    Stale,      // an old reply first, then the reply
};

struct Fault {
    FaultKind kind = FaultKind::None;
    int delayMs = 0;  // Delay only
};

// Probabilities (0..1) per reply, drawn from one seeded generator: the same seed and the same
// requests give the same faults. Their sum should not exceed 1.
struct FaultRates {
    double drop = 0, delay = 0, corrupt = 0, truncate = 0, duplicate = 0, stale = 0;
    int delayMs = 50;
    std::uint32_t seed = 1;
};

struct EthCouplerConfig {
    std::string address;               // dotted loopback address; "" = next of the rack's subnet
    std::array<std::uint8_t, 6> mac{};  // all zero = derived from the address
    Identity id = ethCouplerIdentity();
    bool checkPassword = false;        // writes must carry MAIN_PASS
    std::vector<SubModuleConfig> subs;
};

enum class SerialFraming { Rtu, Ascii };

struct SerialCouplerConfig {
    int line = 0;     // lines are made on demand, numbered from 0; one pty each
    int station = 1;  // 1..247; sub module p answers station + p - 1
    Identity id = serialCouplerIdentity();
    std::vector<SubModuleConfig> subs;
};

struct HidCouplerConfig {
    std::string socketName;  // file name in the HID folder; "" = "hid-<n>"
    std::string manufacturer = "KXTMCU";
    std::string product = "VEXA-9020";
    bool sendHello = true;       // false: connects, never says hello (enumeration skips it)
    bool answerIdentify = true;  // false: says hello but ignores the identify frame
    Identity id = hidCouplerIdentity();
    std::vector<SubModuleConfig> subs;
};

// The CANopen object image of a USB coupler: what its mapping downloads left, in download order.
struct CanOpenImage {
    std::vector<std::array<std::uint8_t, 4>> ioMap;  // I/O mapping words
    std::vector<std::array<std::uint8_t, 7>> sdo;    // object index (big-endian), sub-index, 4 value bytes
    std::vector<std::array<std::uint8_t, 6>> tpdo;   // PDO settings as downloaded
    std::vector<std::array<std::uint8_t, 6>> rpdo;
};

// What a USB coupler does with a request instead of acting on it (the request is logged but
// changes nothing).
enum class HidScriptKind {
    Refuse,  // the device's error reply (7E 05 FF check 7E)
    Lose,    // no reply, as if the request never arrived
    Reply,   // a well-formed reply of the request's command carrying `body` after the command byte
};

// Applies once, to the next request of `command` whose payload starts with `payloadPrefix`;
// several scripts for one request are used in the order they were pushed.
struct HidScript {
    std::uint8_t command = 0;
    Bytes payloadPrefix;
    HidScriptKind kind = HidScriptKind::Refuse;
    Bytes body;  // Reply only; cut to what fits in one frame
};

struct RackOptions {
    std::string subnet;     // "127.a.b" for the hub (.1) and Ethernet couplers (.10 on); "" = from the pid
    std::string hidFolder;  // "" = a new mkdtemp folder, removed on stop; a given folder is kept
    bool liveData = true;   // false: live registers hold still (deterministic tests)
    // Ethernet couplers also hear searches sent to 255.255.255.255 port 8801, the real search;
    // only inside a private network namespace (a test's own), where no broadcast can leak.
    bool ethBroadcast = false;
};

class SimCoupler;

// What a sub module runs instead of its register file after it was told to start its boot
// loader (AA AA written to property register 0xFF). Register requests go here while it runs.
class SubModuleProgram {
public:
    virtual ~SubModuleProgram() = default;
    // false gives the transport's error reply.
    virtual bool writeRegisters(int start, const std::uint8_t* data, int len) = 0;
    virtual bool readRegisters(int start, int count, std::uint8_t* out) = 0;
    // True once its work is done (an image taken whole): the module then goes back to its
    // firmware when the USB coupler is told the upgrade ended (7E 05 84) or reboots.
    virtual bool finished() const { return false; }
    // True once the host told it to restart (the boot loader's reset): the module then runs its
    // firmware again, the new one when finished(), else the one it had, unchanged.
    virtual bool restartDue() const { return false; }
};

// Called on the device thread (rack lock held: do not call SimCoupler accessors from inside)
// when a sub module enters its boot loader; may return null to keep the register file. Without
// a hook every sub module runs the built-in simulated boot loader (docs/wire-notes.md, "Boot
// loaders"), which SimCoupler::withBootLoader reaches.
using BootHook = std::function<std::unique_ptr<SubModuleProgram>(SimCoupler& coupler, int position)>;

namespace detail {
class Coupler;
class Rack;
}

// A handle on one simulated coupler.
class SimCoupler {
public:
    CouplerKind kind() const;
    int index() const;  // order of addition, from 0

    // Where it is: Ethernet the dotted address, serial the pty slave path, HID the socket path.
    std::string address() const;
    std::array<std::uint8_t, 6> mac() const;  // Ethernet
    int station() const;                      // serial
    int line() const;                         // serial
    Identity identity() const;

    // Property blocks as stored (Ethernet 0 and 1 of 256 bytes, serial 0 and HID 2 of 64 bytes);
    // empty for a block the coupler has not.
    Bytes block(int id) const;
    bool setBlock(int id, std::size_t offset, const Bytes& bytes);  // false when out of range

    bool hasSub(int position) const;
    Identity subIdentity(int position) const;  // as reported (type 0x9999 in the boot loader)
    // Boot loaders: position 0 is the coupler itself (RS-485 couplers have one), 1..8 a sub
    // module. A device leaves its boot loader when the boot loader is reset (as the upgrade
    // library does after an upgrade, or to give up), and runs its application again: the new
    // image when one was taken whole, else the one it had. A sub module of a USB coupler whose
    // boot loader finished an image also leaves once the coupler is told the upgrade ended
    // (7E 05 84) or reboots. Otherwise it stays there until the rack is destroyed.
    bool inBootLoader(int position) const;
    bool enterBootLoader(int position);  // as if told to; false for no such device
    // Runs `fn` on the device's built-in boot loader under the rack lock: configure it, inject
    // faults, read the image it received. After the device left it, the last one it ran. False
    // when the device never ran one.
    bool withBootLoader(int position, const std::function<void(BootLoaderSim&)>& fn);
    // Register value 0..65535 as a read would give it now; -1 for no module or a bad register.
    int subRegister(int position, int reg) const;
    bool setSubRegister(int position, int reg, std::uint16_t value);
    bool addSub(const SubModuleConfig& sub);  // also replaces; false for a bad position
    bool removeSub(int position);

    // Faults.
    void setSilent(bool silent);  // never answer (requests are still logged)
    void setFaultRates(const FaultRates& rates);
    void pushFault(const Fault& fault);  // applied to the next reply, one each, in order
    void clearFaults();                  // scripts emptied (HID ones too), rates zero, not silent

    // USB couplers: the CANopen object image, the firmware download and scripted answers.
    CanOpenImage canOpenImage() const;
    void setCanOpenImage(const CanOpenImage& image);
    // The last firmware image an end request completed, as its pieces brought it: 32 bytes a
    // piece, so the image's tail is padded with 0xFF. Empty before the first.
    Bytes firmwareImage() const;
    bool inUpdateMode() const;            // between a begin and an end request
    std::size_t firmwareUpdates() const;  // end requests taken
    void pushHidScript(const HidScript& script);

    // Observation. A request is logged when it reaches the coupler, answered or not; a reply
    // is counted when a frame goes out (a duplicate counts twice).
    std::vector<Bytes> requests() const;  // oldest first, at most kRequestLogSize
    std::size_t requestCount() const;
    std::size_t replyCount() const;
    std::size_t rebootCount() const;     // coupler reboots asked for
    std::size_t subRebootCount() const;  // sub-module reboots asked for
    void clearLog();                     // also zeroes the counters
    // Block until the counters reach `n` or `timeoutMs` passed; true when reached.
    bool waitForRequests(std::size_t n, int timeoutMs) const;
    bool waitForReplies(std::size_t n, int timeoutMs) const;

    SimCoupler(const SimCoupler&) = delete;
    SimCoupler& operator=(const SimCoupler&) = delete;

private:
    friend class detail::Rack;
    SimCoupler(detail::Rack& rack, detail::Coupler& coupler) : rack_(rack), c_(coupler) {}
    detail::Rack& rack_;
    detail::Coupler& c_;
};

class SimRack {
public:
    explicit SimRack(const RackOptions& options = {});
    ~SimRack();  // stops
    SimRack(const SimRack&) = delete;
    SimRack& operator=(const SimRack&) = delete;

    // Before start() only; null for a bad configuration or after start().
    SimCoupler* addEthernet(const EthCouplerConfig& config);
    SimCoupler* addSerial(const SerialCouplerConfig& config);
    SimCoupler* addHid(const HidCouplerConfig& config);
    void setBootHook(BootHook hook);

    int start();  // SimResult; on failure everything opened so far is closed again
    void stop();  // closes all, removes the sockets (and the folder it made); idempotent
    bool running() const;

    std::string hubAddress() const;          // the Ethernet "broadcast" address
    // "127.a.b.1:PORT": Modbus TCP in front of the first RS-485 line (unit id = station); ""
    // without one or before start().
    std::string modbusTcpEndpoint() const;
    std::string subnet() const;              // "127.a.b"
    std::string hidFolder() const;           // "" before start
    std::string serialPath(int line) const;  // pty slave path; "" for no such line
    std::vector<SimCoupler*> couplers() const;

    // Live registers move with time unless frozen; freezing keeps the values they have now.
    void setLiveData(bool on);

    // For a person and for scripts: where every device is, and the export lines.
    std::string describe() const;
    std::string environment() const;  // "export VEXA_ETH_BROADCAST=…\nexport VEXA_HID=sim:…\n"

private:
    std::unique_ptr<detail::Rack> r_;
};

// The built-in demo: one coupler of each kind, each with sub modules of the types 0x4017,
// 0x2808, 0x1804, 0x3800, 0x4400 and 0x5508 (spread over the three). Before start().
int addDemoCouplers(SimRack& rack);

}  // namespace vexa::sim
