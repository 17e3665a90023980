// Firmware upgrade through FwLoader and the boot plug-ins of the program folder: upgrade a
// module in its boot loader, or show what the boot loaders say about themselves.
//
//   vexactl upgrade   --plugin VEXA TARGET [--sub A] [--index N] [--enter-boot] FILE
//   vexactl upgrade   --plugin ModBus --port P [--baud B] [--station S] [--ascii] [--index N]
//                     [--enter-boot] FILE
//   vexactl boot-info (the same without FILE; every device, or --index N) [--reset]
//   TARGET: eth:ADDRESS | rs:PORT:STATION [--baud B] [--ascii] | hid (every USB coupler)
//
// A module that vexactl switched to its boot loader is always given back to its application
// (a boot-loader reset; and for a USB coupler the end notice 7E 05 84), whether the upgrade
// worked or not. The library's texts are printed in English, in Chinese under a zh locale.
#include <unistd.h>

#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "Cli.h"
#include "FwLoader.h"
#include "FwLoaderTexts.h"
#include "VexaBootParams.h"
#if __has_include("VexaSdk.h")
#include "SdkTarget.h"
#define VEXACTL_HAS_SDK 1
#endif

namespace vexactl {

namespace {

constexpr const char* kUsageText =
    "usage: vexactl upgrade --plugin VEXA TARGET [--sub A] [--index N] [--enter-boot] FILE\n"
    "       vexactl upgrade --plugin ModBus --port P [--baud B] [--station S] [--ascii] [--index N]\n"
    "                       [--enter-boot] FILE\n"
    "       vexactl boot-info ... (the same options, no FILE)\n"
    "  TARGET: eth:ADDRESS | rs:PORT:STATION [--baud B] [--ascii] | hid (every USB coupler)\n"
    "  --enter-boot first tells the module named by --sub (VEXA), else every module of the\n"
    "  coupler, or the station (ModBus) to start its boot loader; the devices are then searched\n"
    "  again, and whatever was switched is reset into its application at the end, whether the\n"
    "  upgrade worked or not. The file is checked before any device is touched.\n"
    "  boot-info --reset resets the devices shown, so that they start their application.\n";
constexpr const char* kVexaPlugin = "VEXA";
constexpr const char* kModbusPlugin = "ModBus";
constexpr auto kProgressTick = std::chrono::milliseconds(100);
constexpr int kProgressFull = 10000;

// A text the library recorded, in the reader's language.
std::string libraryText(const std::string& text) {
    return vexa::fwtext::localized(text, vexa::fwtext::chineseEnvironment());
}

int usage(const std::string& why) {
    std::fprintf(stderr, "vexactl: %s\n%s", why.c_str(), kUsageText);
    return kUsage;
}

int pluginIndex(const std::string& name) {
    const int count = KB_GetCommDeviceList(nullptr, 0);
    char text[KB_NAME_SIZE];
    for (int i = 0; i < count; ++i)
        if (KB_GetCommDeviceList(text, i) == 1 && name == text) return i;
    return -1;
}

// One plug-in opened on the devices the command line names, searched, closed at the end.
class BootSession {
public:
    ~BootSession() {
        if (opened_) KB_CloseCommDevice(plugin_);
    }

    // The open parameters from the command line, and how many positionals the target took;
    // false with a message for a usage error.
    bool prepare(const Args& args, std::size_t& used, std::string& error);
    // --enter-boot with the VEXA plug-in: switches the module named by --sub, else every module
    // of the coupler not yet in its boot loader, one by one, so that it is known which ones
    // to give back; false with a message.
    bool enterBootOfModules(const Args& args, std::string& error);
    // Opens the plug-in and searches (after telling the station to start its boot loader with
    // --enter-boot and ModBus); false with a message when it cannot be opened.
    bool open(const Args& args, std::string& error);
    int devices() const { return devices_; }
    // Resets what this run switched, and `upgraded` (a device that took a new image), into
    // their application (unless `rowsReset`: the caller reset every row); then tells a USB
    // coupler the upgrade ended. Says what it did.
    void giveBack(int upgraded, Output& out, bool rowsReset = false);
    // What the switch has to say beside its result.
    const std::vector<std::string>& notes() const { return notes_; }

private:
    bool vexaParams(const Args& args, std::size_t& used, std::string& error);
    bool modbusParams(const Args& args, std::string& error);
    // Whether row `row` of the search is a device this run switched.
    bool switchedRow(int row) const;
    // The rows of the search whose boot loader answers.
    int answeringRows() const;

    int plugin_ = -1;
    bool opened_ = false;
    std::string port_;
    VexaPortParams vexa_{};
    MbPortParams modbus_{};
    void* params_ = nullptr;
    int devices_ = 0;
    bool switchedByModules_ = false;  // enterBootOfModules did the switching
    bool switchedAllRows_ = false;    // nothing answered before the plug-in's switch: every row is ours
    // Addresses of the coupler's modules that run their boot loader, in the order the plug-in
    // lists them (its slots), with whether this run switched them.
    std::vector<std::pair<int, bool>> bootModules_;
    bool usbNotified_ = false;
    std::vector<std::string> notes_;
#ifdef VEXACTL_HAS_SDK
    Target target_;
#endif
};

bool BootSession::vexaParams(const Args& args, std::size_t& used, std::string& error) {
#ifdef VEXACTL_HAS_SDK
    Target t;
    if (args.positional.empty() || !parseTarget(args.positional[0], args, t)) {
        error = "VEXA needs a TARGET";
        return false;
    }
    target_ = t;
    used = 1;
    vexa_.magic = VEXA_PORT_MAGIC;
    vexa_.subAddress = static_cast<std::uint8_t>(args.getInt("sub", 0));
    if (t.kind == KO_KIND_ETHERNET) {
        vexa_.transport = VEXA_PORT_ETHERNET;
        if (::inet_pton(AF_INET, t.address.c_str(), &vexa_.ipAddress) != 1) {
            error = "'" + t.address + "' is no IPv4 address";
            return false;
        }
    } else if (t.kind == KO_KIND_SERIAL) {
        vexa_.transport = VEXA_PORT_RS485;
        vexa_.station = static_cast<std::uint8_t>(t.station);
        vexa_.rsParam = t.framing;
        port_ = t.address;
        vexa_.portText = port_.c_str();
        // baud, data bits, parity none, one stop bit, DTR and RTS on
        const std::int32_t serial[8] = {t.baud, 8, 0, 0, 1, 1, 0, 0};
        std::copy(serial, serial + 8, vexa_.serial);
    } else {
        vexa_.transport = VEXA_PORT_HID;
    }
    params_ = &vexa_;
    return true;
#else
    (void)args;
    (void)used;
    error = "this vexactl is built without the device library";
    return false;
#endif
}

bool BootSession::modbusParams(const Args& args, std::string& error) {
    if (!args.has("port")) {
        error = "ModBus needs --port";
        return false;
    }
    port_ = args.get("port");
    modbus_.magic = MB_PORT_MAGIC;
    modbus_.copyPortText = 1;
    modbus_.station = static_cast<std::uint8_t>(args.getInt("station", 1));
    modbus_.lineMode = args.has("ascii") ? 1 : 0;
    modbus_.portText = port_.c_str();
    modbus_.baudRate = static_cast<std::int32_t>(args.getInt("baud", 19200));
    modbus_.dataBits = 8;
    params_ = &modbus_;
    return true;
}

bool BootSession::prepare(const Args& args, std::size_t& used, std::string& error) {
    const std::string name = args.get("plugin");
    used = 0;
    if (name != kVexaPlugin && name != kModbusPlugin) {
        error = "--plugin VEXA or --plugin ModBus";
        return false;
    }
    return name == kVexaPlugin ? vexaParams(args, used, error) : modbusParams(args, error);
}

int BootSession::answeringRows() const {
    int n = 0;
    for (int i = 0; i < devices_; ++i) {
        BootDeviceInfo info{};
        if (KB_GetDeviceInfo(i, &info) == 1) ++n;
    }
    return n;
}

bool BootSession::open(const Args& args, std::string& error) {
    const std::string name = args.get("plugin");
    plugin_ = pluginIndex(name);
    if (plugin_ < 0) {
        error = "no plug-in '" + name + "' in devdlls/devdlls.ini of the program folder";
        return false;
    }
    opened_ = KB_OpenCommDevice(plugin_, params_) != 0;
    if (!opened_) {
        error = "the plug-in '" + name + "' cannot open its line";
        return false;
    }
    devices_ = KB_SearchDevice(plugin_);
    if (args.has("enter-boot") && !switchedByModules_) {
        // The plug-in's own switch: when no boot loader answered before it, every device found
        // after it is one this run switched.
        switchedAllRows_ = answeringRows() == 0;
        KB_EnterBootMode(plugin_);
        devices_ = KB_SearchDevice(plugin_);
    }
    return true;
}

#ifdef VEXACTL_HAS_SDK
namespace {

constexpr std::uint16_t kBootLoaderTypes[] = {0x9999, 0x270F};
constexpr int kBootRegister = 0xFF;
constexpr int kSwitchAttempts = 3;
constexpr auto kSwitchPause = std::chrono::milliseconds(100);
constexpr unsigned char kUsbUpgradeStarts = 0x83;
constexpr unsigned char kUsbUpgradeEnds = 0x84;

bool isBootType(int type) {
    for (std::uint16_t t : kBootLoaderTypes)
        if (static_cast<std::uint16_t>(type) == t) return true;
    return false;
}

bool switchModule(KO_HANDLE h, int address) {
    static constexpr unsigned char kEnterBoot[2] = {0xAA, 0xAA};
    for (int attempt = 0; attempt < kSwitchAttempts; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(kSwitchPause);
        KO_SUBHANDLE sub = KO_SetOperateSubDev(h, address);
        if (sub && KO_WriteSubPropByAddr(sub, kBootRegister, 2, kEnterBoot) == RC_OK) return true;
    }
    return false;
}

// A USB coupler is told a sub-module upgrade starts (it stops its CANopen traffic to the
// module) or ended (it lets the modules run again); true when it echoed the command.
bool notifyUsb(KO_HANDLE h, unsigned char command) {
    const unsigned char request[3] = {0x7E, 0x05, command};
    if (KO_SendMainCmd(h, request, 3, 0) < 0) return false;
    unsigned char reply[100] = {};
    const int n = KO_ReadMainBuf(h, reply, sizeof reply);
    return n == 5 && reply[0] == 0x7E && reply[1] == 5 && reply[2] == command;
}

}  // namespace
#endif

bool BootSession::enterBootOfModules(const Args& args, std::string& error) {
#ifdef VEXACTL_HAS_SDK
    if (args.get("plugin") != kVexaPlugin || !args.has("enter-boot")) return true;
    const int named = static_cast<int>(args.getInt("sub", 0));
    if (named < 0 || named > 15) {
        error = "--sub " + std::to_string(named) + ": a module address is 1..15";
        return false;
    }
    int rc = RC_OK;
    KO_HANDLE h = openTarget(target_, rc);
    if (!h) {
        error = whyNotOpened(target_, rc) + " (" + sdkResultName(rc) + ")";
        return false;
    }
    rc = KO_SearchSubDev(h);
    std::vector<std::pair<int, int>> modules;  // address, type, in slot order
    for (int slot = 0; rc == RC_OK && slot < 8; ++slot) {
        short address = 0, maker = 0, type = 0, mode = 0, hardware = 0, software = 0;
        int serial = 0;
        if (KO_GetSearchSubDev(h, &address, &maker, &type, &mode, &hardware, &software, &serial, slot) == RC_OK &&
            address >= 1 && address <= 15)
            modules.emplace_back(address, static_cast<std::uint16_t>(type));
    }
    bool found = named == 0;
    bool failed = false;
    for (const auto& [address, type] : modules) {
        if (named != 0 && address != named) continue;
        found = true;
        bool ours = false;
        if (!isBootType(type)) {
            if (!switchModule(h, address)) {
                // A named module must switch; of all the coupler's, the others still go on.
                const std::string why = "sub module " + std::to_string(address) + " did not switch to its boot loader";
                if (named != 0) {
                    failed = true;
                    error = why;
                } else {
                    notes_.push_back(why);
                }
                continue;
            }
            ours = true;
        }
        bootModules_.emplace_back(address, ours);
    }
    if (target_.kind == KO_KIND_HID && !bootModules_.empty()) usbNotified_ = notifyUsb(h, kUsbUpgradeStarts);
    KO_UnOperateDev(h);
    switchedByModules_ = true;
    if (!found) {
        error = "no sub module at address " + std::to_string(named) + " (" + sdkResultName(rc) + ")";
        return false;
    }
    return !failed;
#else
    (void)args;
    (void)error;
    return true;
#endif
}

bool BootSession::switchedRow(int row) const {
    if (switchedAllRows_) return true;
    // The plug-in lists the coupler's modules in boot loader in slot order: row i is the i-th,
    // as long as the search found as many as there are.
    if (!switchedByModules_ || devices_ != static_cast<int>(bootModules_.size())) return false;
    return row >= 0 && row < devices_ && bootModules_[static_cast<std::size_t>(row)].second;
}

void BootSession::giveBack(int upgraded, Output& out, bool rowsReset) {
    if (!opened_) return;
    int switched = 0;
    for (const auto& m : bootModules_) switched += m.second ? 1 : 0;
    if (switchedByModules_ && switched > 0 && devices_ != static_cast<int>(bootModules_.size()))
        out.message("the search found " + std::to_string(devices_) + " boot loader(s) for " +
                    std::to_string(bootModules_.size()) + " module(s): those switched are not reset " +
                    "(vexactl boot-info ... --reset)");
    for (int row = 0; row < devices_ && !rowsReset; ++row) {
        // Once only: a module back in its application would take a second reset as data.
        if (row != upgraded && !switchedRow(row)) continue;
        const bool ok = KB_ResetDevice(row) == 1;
        std::string who = "device " + std::to_string(row);
        if (switchedByModules_ && devices_ == static_cast<int>(bootModules_.size()))
            who += " (sub module " + std::to_string(bootModules_[static_cast<std::size_t>(row)].first) + ")";
        out.message(ok ? who + ": reset, it runs its application"
                       : who + ": the reset did not go out, it stays in its boot loader");
    }
#ifdef VEXACTL_HAS_SDK
    if (usbNotified_) {
        // The plug-in lets go of the coupler first: the library hands out one handle per device.
        KB_CloseCommDevice(plugin_);
        opened_ = false;
        int rc = RC_OK;
        KO_HANDLE h = openTarget(target_, rc);
        if (!h || !notifyUsb(h, kUsbUpgradeEnds))
            out.message("the USB coupler did not take the end of the upgrade (7E 05 84)");
        if (h) KO_UnOperateDev(h);
        usbNotified_ = false;
    }
#endif
}

std::string series(std::uint32_t v) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((v >> shift) & 0xFF);
        s += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return s;
}

std::string format(const char* fmt, unsigned a, unsigned b = 0, unsigned c = 0, unsigned d = 0) {
    char buf[32];
    std::snprintf(buf, sizeof buf, fmt, a, b, c, d);
    return buf;
}

std::string version(std::uint16_t v) { return format("%x.%02x", v >> 8, v & 0xFF); }

// A boot-version text field: its printable characters up to the first zero.
std::string field(const std::uint8_t* p, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n && p[i]; ++i) s += (p[i] >= 0x20 && p[i] < 0x7F) ? static_cast<char>(p[i]) : '.';
    return s;
}

Record deviceRecord(int index, const BootDeviceInfo& info) {
    Record r;
    r.add("index", index)
        .add("series", series(info.series))
        .add("model", format("0x%08x", info.model))
        .add("serial", format("%02x%02x%02x%02x", info.serial[0], info.serial[1], info.serial[2], info.serial[3]))
        .add("hardware", version(info.hardwareVersion))
        .add("firmware", version(info.firmwareVersion));
    return r;
}

// --enter-boot's switching, then the plug-in opened; false with the exit status when the command
// ends here, whatever was switched given back.
bool start(BootSession& session, const Args& args, Output& out, int& status) {
    std::string error;
    const bool entered = session.enterBootOfModules(args, error);
    for (const std::string& note : session.notes()) out.message(note);
    std::string openError;
    if (!session.open(args, openError)) {
        status = out.finish(1, entered ? openError : error, false);
        return false;
    }
    if (!entered) {
        session.giveBack(-1, out);
        status = out.finish(1, error, false);
        return false;
    }
    return true;
}

int bootInfo(const Args& args, Output& out) {
    BootSession session;
    std::size_t used = 0;
    std::string error;
    if (!session.prepare(args, used, error)) return usage(error);
    if (args.positional.size() > used) return usage("boot-info takes no file");
    if (int status = 0; !start(session, args, out, status)) return status;
    const int first = static_cast<int>(args.getInt("index", 0));
    const int last = args.has("index") ? first : session.devices() - 1;
    int answered = 0;
    for (int i = first; i <= last && i < session.devices(); ++i) {
        BootDeviceInfo info{};
        if (KB_GetDeviceInfo(i, &info) != 1) {
            out.record(Record().add("index", i).add("error", "no device-info reply"));
            continue;
        }
        Record r = deviceRecord(i, info);
        BootVersionInfo boot{};
        if (KB_GetBootVer(i, &boot) == 1) {
            r.add("boot_version", format("0x%04x", boot.version))
                .add("boot_values", format("%08x %08x %08x", boot.values[0], boot.values[1], boot.values[2]));
            const std::string texts[] = {field(boot.field1, sizeof boot.field1), field(boot.field2, sizeof boot.field2)};
            if (!texts[0].empty()) r.add("boot_text1", texts[0]);
            if (!texts[1].empty()) r.add("boot_text2", texts[1]);
        }
        out.record(r);
        ++answered;
        // --reset: the device starts its application (the one it has; nothing is written).
        if (args.has("reset") && KB_ResetDevice(i) == 1) out.message("device " + std::to_string(i) + ": reset");
    }
    // Modules switched only to be shown go back to their application.
    session.giveBack(-1, out, args.has("reset"));
    if (session.devices() == 0) out.message("no device runs its boot loader (--enter-boot starts it)");
    const bool ok = answered > 0;
    return out.finish(ok ? 0 : 1, ok ? "ok" : "no boot loader answered", ok);
}

int upgrade(const Args& args, Output& out) {
    BootSession session;
    std::size_t used = 0;
    std::string error;
    if (!session.prepare(args, used, error)) return usage(error);
    if (args.positional.size() != used + 1) return usage("upgrade takes one FILE");
    const std::string file = args.positional[used];
    // The file first: a module switched to its boot loader for a file that cannot be sent
    // would be left there.
    char why[KB_ERR_TEXT_SIZE] = {};
    if (KB_CheckUpgradeFile(file.c_str(), why) != KB_FW_OK) {
        out.message(file + ": nothing was sent to any device");
        return out.finish(KB_FW_FILE_ERROR, libraryText(why), false);
    }
    if (int status = 0; !start(session, args, out, status)) return status;
    const int device = static_cast<int>(args.getInt("index", 0));
    if (session.devices() == 0) {
        out.message("no device runs its boot loader (--enter-boot starts it)");
        return out.finish(KB_NO_DEVICE, libraryText(vexa::fwtext::kNoDevice.chinese), false);
    }
    if (device < 0 || device >= session.devices()) {
        session.giveBack(-1, out);
        return usage("--index " + std::to_string(device) + ": the search found " +
                     std::to_string(session.devices()) + " device(s)");
    }
    BootDeviceInfo info{};
    if (KB_GetDeviceInfo(device, &info) == 1) out.record(deviceRecord(device, info));

    Progress bar(!out.json() && !args.has("no-progress"));
    std::atomic<bool> done{false};
    int ok = 0;
    std::thread worker([&] {
        ok = KB_UpdateFirware(device, file.c_str());
        done = true;
    });
    // The library reads full before a transfer has begun as well as after it: a full reading
    // counts only once a partial one was seen.
    bool begun = false;
    while (!done) {
        const int value = KB_GetUpdateFirwareProgress(device);
        begun = begun || value < kProgressFull;
        if (begun) bar.show(value, kProgressFull);
        std::this_thread::sleep_for(kProgressTick);
    }
    worker.join();
    if (ok == 1) bar.show(kProgressFull, kProgressFull);
    bar.end();
    char text[KB_ERR_TEXT_SIZE] = {};
    const int code = KB_GetErrInfo(device, text);
    // The module starts its new firmware; whatever this run switched goes back to its own.
    session.giveBack(ok == 1 ? device : -1, out);
    return out.finish(code, libraryText(ok == 1 ? vexa::fwtext::kDone.chinese : text), ok == 1);
}

}  // namespace

namespace {

// The options of both commands; upgrade also draws its progress.
std::vector<Option> bootOptions(bool upgrade) {
    std::vector<Option> all = {
        Option::text("plugin", "VEXA|ModBus", "the boot plug-in"),
        Option::text("port", "P", "ModBus: the serial port"),
        Option::number("baud", "B", 1, 4000000, "line speed (ModBus default 19200, rs: TARGET 9600)"),
        Option::number("station", "S", 1, 247, "ModBus: the station (default 1)"),
        Option::flag("ascii", "ASCII framing"),
        Option::number("sub", "A", 1, 15, "VEXA: the sub module"),
        Option::number("index", "N", 0, 299, "the device of the search"),
        Option::flag("enter-boot", "first tell the devices to start their boot loaders"),
    };
    if (upgrade) all.push_back(Option::flag("no-progress", "draw no progress bar"));
    else all.push_back(Option::flag("reset", "reset the devices shown, so they start the firmware they have"));
    return all;
}

}  // namespace

VEXACTL_COMMAND("upgrade",
                "upgrade --plugin VEXA|ModBus [--port P --baud B | TARGET] [--index N] [--enter-boot] FILE",
                "write new firmware into a module in its boot loader", upgrade,
                bootOptions(true));
VEXACTL_COMMAND("boot-info",
                "boot-info --plugin VEXA|ModBus [--port P --baud B | TARGET] [--index N] [--enter-boot] [--reset]",
                "device and boot-loader version of modules in their boot loaders", bootInfo,
                bootOptions(false));

}  // namespace vexactl
