// Firmware upgrade through FwLoader and the boot plug-ins of the program folder: upgrade a
// module in its boot loader, or show what the boot loaders say about themselves.
//
//   vexactl upgrade   --plugin VEXA TARGET [--sub A] [--index N] [--enter-boot] FILE
//   vexactl upgrade   --plugin ModBus --port P [--baud B] [--station S] [--ascii] [--index N]
//                     [--enter-boot] FILE
//   vexactl boot-info (the same without FILE; every device, or --index N)
//   TARGET: eth:ADDRESS | rs:PORT:STATION [--baud B] [--ascii] | hid (every USB coupler)
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
    "  again. The file is checked before any device is touched.\n";
constexpr const char* kVexaPlugin = "VEXA";
constexpr const char* kModbusPlugin = "ModBus";
constexpr const char* kDoneText = "升级完成";
constexpr auto kProgressTick = std::chrono::milliseconds(100);
constexpr int kProgressFull = 10000;

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
    // Opens the plug-in and searches (after telling the devices to start their boot loaders
    // with --enter-boot); false with a message when it cannot be opened.
    bool open(const Args& args, std::string& error);
    // --enter-boot with --sub A (VEXA): switches that one module; false with a message.
    bool enterBootOfOne(const Args& args, std::string& error);
    int devices() const { return devices_; }

private:
    bool vexaParams(const Args& args, std::size_t& used, std::string& error);
    bool modbusParams(const Args& args, std::string& error);

    int plugin_ = -1;
    bool opened_ = false;
    std::string port_;
    VexaPortParams vexa_{};
    MbPortParams modbus_{};
    void* params_ = nullptr;
    int devices_ = 0;
    bool switchedOne_ = false;
};

bool BootSession::vexaParams(const Args& args, std::size_t& used, std::string& error) {
#ifdef VEXACTL_HAS_SDK
    Target t;
    if (args.positional.empty() || !parseTarget(args.positional[0], args, t)) {
        error = "VEXA needs a TARGET";
        return false;
    }
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
    if (args.has("enter-boot") && !switchedOne_) {
        KB_EnterBootMode(plugin_);
        devices_ = KB_SearchDevice(plugin_);
    }
    return true;
}

bool BootSession::enterBootOfOne(const Args& args, std::string& error) {
#ifdef VEXACTL_HAS_SDK
    // The plug-in's own switch reaches every sub module of the coupler: one named module is
    // switched here instead, the way the workbench hands a module over.
    const int address = static_cast<int>(args.getInt("sub", 0));
    if (args.get("plugin") != kVexaPlugin || !args.has("enter-boot") || address < 1 || address > 15) return true;
    Target t;
    if (!parseTarget(args.positional[0], args, t)) return false;
    int rc = RC_OK;
    KO_HANDLE h = openTarget(t, rc);
    if (!h) {
        error = std::string("the coupler does not answer (") + sdkResultName(rc) + ")";
        return false;
    }
    KO_SUBHANDLE sub = KO_SetOperateSubDev(h, address);
    static constexpr unsigned char kEnterBoot[2] = {0xAA, 0xAA};
    rc = sub ? KO_WriteSubPropByAddr(sub, 0xFF, 2, kEnterBoot) : RC_FAILED;
    KO_UnOperateDev(h);
    if (rc != RC_OK) {
        error = "sub module " + std::to_string(address) + " did not switch to its boot loader (" +
                sdkResultName(rc) + ")";
        return false;
    }
    switchedOne_ = true;
    return true;
#else
    (void)args;
    (void)error;
    return true;
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

int bootInfo(const Args& args, Output& out) {
    BootSession session;
    std::size_t used = 0;
    std::string error;
    if (!session.prepare(args, used, error)) return usage(error);
    if (args.positional.size() > used) return usage("boot-info takes no file");
    if (!session.open(args, error)) return out.finish(1, error, false);
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
    }
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
        return out.finish(KB_FW_FILE_ERROR, why, false);
    }
    if (!session.enterBootOfOne(args, error) || !session.open(args, error)) return out.finish(1, error, false);
    const int device = static_cast<int>(args.getInt("index", 0));
    if (session.devices() == 0) {
        out.message("no device runs its boot loader (--enter-boot starts it)");
        return out.finish(KB_NO_DEVICE, "设备不存在", false);
    }
    if (device < 0 || device >= session.devices())
        return usage("--index " + std::to_string(device) + ": the search found " +
                     std::to_string(session.devices()) + " device(s)");
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
    // The module starts its new firmware.
    if (ok) KB_ResetDevice(device);
    return out.finish(code, ok ? kDoneText : text, ok == 1);
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
    return all;
}

}  // namespace

VEXACTL_COMMAND("upgrade",
                "upgrade --plugin VEXA|ModBus [--port P --baud B | TARGET] [--index N] [--enter-boot] FILE",
                "write new firmware into a module in its boot loader", upgrade,
                bootOptions(true));
VEXACTL_COMMAND("boot-info", "boot-info --plugin VEXA|ModBus [--port P --baud B | TARGET] [--index N] [--enter-boot]",
                "device and boot-loader version of modules in their boot loaders", bootInfo,
                bootOptions(false));

}  // namespace vexactl
