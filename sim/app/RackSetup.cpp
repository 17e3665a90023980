#include "RackSetup.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>

#include <CLI/CLI.hpp>

#include "platform/IniFile.h"

namespace vexa::sim {

namespace {

const char* const kDefaultSubs = "4017,2808,1804,3800,4400,5508";

bool parseHex16(const std::string& text, std::uint16_t& out) {
    std::string t = text;
    if (t.rfind("0x", 0) == 0 || t.rfind("0X", 0) == 0) t = t.substr(2);
    if (t.empty() || t.size() > 4) return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(t.c_str(), &end, 16);
    if (*end != '\0') return false;
    out = static_cast<std::uint16_t>(v);
    return true;
}

bool parseInt(const std::string& text, int& out) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') return false;
    out = static_cast<int>(v);
    return true;
}

bool parseRate(const std::string& text, double& out) {
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || v < 0 || v > 1) return false;
    out = v;
    return true;
}

std::vector<std::string> split(const std::string& text, char sep) {
    std::vector<std::string> out;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, sep)) out.push_back(item);
    return out;
}

std::string lower(std::string s) {
    for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

// Fault keys shared by every coupler section of the INI file.
bool readFaults(const std::string& file, const std::string& section, PlannedCoupler& c, std::string& error) {
    const struct {
        const char* key;
        double FaultRates::*rate;
    } kRateKeys[] = {
        {"drop", &FaultRates::drop},           {"delay", &FaultRates::delay},
        {"corrupt", &FaultRates::corrupt},     {"truncate", &FaultRates::truncate},
        {"duplicate", &FaultRates::duplicate}, {"stale", &FaultRates::stale},
    };
    for (const auto& k : kRateKeys) {
        std::string v = ini::getString(file, section, k.key);
        if (!v.empty() && !parseRate(v, c.faults.*k.rate)) {
            error = "[" + section + "] " + k.key + " must be a number from 0 to 1";
            return false;
        }
    }
    c.faults.delayMs = ini::getInt(file, section, "delay_ms", c.faults.delayMs);
    c.faults.seed = static_cast<std::uint32_t>(ini::getInt(file, section, "seed", 1));
    c.silent = ini::getInt(file, section, "silent", 0) != 0;
    return true;
}

bool readSubs(const std::string& file, const std::string& section, std::vector<SubModuleConfig>& subs,
              std::string& error) {
    std::string list = ini::getString(file, section, "subs", kDefaultSubs);
    if (!parseSubList(list, subs)) {
        error = "[" + section + "] subs: \"" + list + "\" is not a list of hexadecimal type codes";
        return false;
    }
    return true;
}

}  // namespace

bool parseSubList(const std::string& text, std::vector<SubModuleConfig>& out) {
    out.clear();
    if (text.empty() || lower(text) == "none") return true;
    auto items = split(text, ',');
    if (items.size() > static_cast<std::size_t>(kMaxSubModules)) return false;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == "-") continue;
        // TYPE or TYPE@HARDVER, both hexadecimal: 4017@120 is a 0x4017 of hardware version 0x120.
        auto at = items[i].find('@');
        std::uint16_t type, hardVer = subIdentity(0).hardVer;
        if (!parseHex16(items[i].substr(0, at), type)) return false;
        if (at != std::string::npos && !parseHex16(items[i].substr(at + 1), hardVer)) return false;
        out.push_back({static_cast<int>(i) + 1, subIdentity(type, hardVer)});
    }
    return true;
}

bool planEveryType(const std::string& kind, std::vector<PlannedCoupler>& out) {
    std::string k = lower(kind);
    if (k != "eth" && k != "rs" && k != "hid") return false;
    auto types = everySubModuleType();
    int line = 0;
    for (const auto& c : out)
        if (c.kind == CouplerKind::Serial) line = std::max(line, c.serial.line + 1);
    for (std::size_t first = 0, n = 0; first < types.size(); first += kMaxSubModules, ++n) {
        std::vector<SubModuleConfig> subs;
        for (std::size_t i = first; i < types.size() && i < first + kMaxSubModules; ++i)
            subs.push_back({static_cast<int>(i - first) + 1, types[i]});
        PlannedCoupler c;
        if (k == "eth") {
            c.kind = CouplerKind::Ethernet;
            c.eth.subs = subs;
        } else if (k == "hid") {
            c.kind = CouplerKind::Hid;
            c.hid.subs = subs;
        } else {
            // One line; each coupler's modules answer station .. station + 7.
            c.kind = CouplerKind::Serial;
            c.serial.line = line;
            c.serial.station = 1 + static_cast<int>(n) * (kMaxSubModules + 1);
            c.serial.subs = subs;
        }
        out.push_back(c);
    }
    return true;
}

std::string usage() {
    return "usage: vexa-sim [options]\n"
           "Plays VEXA couplers and sub modules on this machine until SIGINT or SIGTERM.\n"
           "Without coupler options it starts the demo rack: one coupler of each kind.\n"
           "  --eth ADDR|auto           an Ethernet coupler on loopback address ADDR (auto: next in the subnet)\n"
           "  --rs-line MODE[:STATIONS] an RS-485 line on a new pty; MODE rtu or ascii (both are answered);\n"
           "                            couplers at STATIONS, e.g. rtu:1,9 (default 1)\n"
           "  --hid NAME|auto           a USB HID coupler socket NAME in the HID folder\n"
           "  --subs LIST               sub modules of the couplers that follow, e.g. 4017,2808,-,1804@120\n"
           "                            (TYPE@HARDVER: a hardware version, hexadecimal)\n"
           "                            (default " +
           std::string(kDefaultSubs) +
           ")\n"
           "  --all-types eth|rs|hid    as many couplers of that kind as it takes to hold one sub module\n"
           "                            of every type the rack plays (an RS-485 line with stations 1, 10, ...)\n"
           "  --subnet 127.A.B          the loopback subnet (hub at .1, couplers from .10)\n"
           "  --hid-folder DIR          the simulated USB bus folder (default: a new temporary one)\n"
           "  --config FILE             couplers from an INI file: [rack] subnet, hid_folder, live;\n"
           "                            [eth…] address; [rs…] line, station, framing; [hid…] name,\n"
           "                            manufacturer, product, hello, identify; all: subs, drop, delay,\n"
           "                            corrupt, truncate, duplicate, stale, delay_ms, seed, silent\n"
           "  --freeze                  live inputs hold still\n"
           "  --eth-broadcast           Ethernet couplers also answer searches sent to 255.255.255.255\n"
           "                            (for a private network namespace only)\n"
           "  --print-env               print the running rack's export lines and exit (from its\n"
           "                            --ready-file, else from the file every rack leaves in\n"
           "                            $XDG_RUNTIME_DIR or /tmp): eval \"$(vexa-sim --print-env)\"\n"
           "  --ready-file FILE         write the description to FILE once the rack is up\n";
}

bool parseCommandLine(const std::vector<std::string>& args, ProgramOptions& out, std::string& error) {
    // A coupler takes the --subs given before it: these options act as each is read, in order.
    std::vector<SubModuleConfig> subs;
    parseSubList(kDefaultSubs, subs);
    auto refuse = [](const std::string& option, const std::string& why) { throw CLI::ValidationError(option, why); };
    auto nextLine = [&out] {
        int line = 0;
        for (const auto& c : out.couplers)
            if (c.kind == CouplerKind::Serial) line = std::max(line, c.serial.line + 1);
        return line;
    };

    CLI::App app("vexa-sim");
    app.set_help_flag();  // usage() is the help, and a mistake next to --help still counts
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    bool freeze = false;
    app.add_flag("--help,-h", out.help);
    app.add_flag("--freeze", freeze);
    app.add_flag("--eth-broadcast", out.rack.ethBroadcast);
    app.add_flag("--print-env", out.printEnvOnly);
    app.add_option("--ready-file", out.readyFile);
    app.add_option("--config", out.configFile);
    app.add_option("--hid-folder", out.rack.hidFolder);
    app.add_option("--subnet", out.rack.subnet)->check(CLI::Validator(
        [](std::string& v) {
            unsigned a, b, c;
            char tail;
            const bool ok =
                std::sscanf(v.c_str(), "%u.%u.%u%c", &a, &b, &c, &tail) == 3 && a == 127 && b < 256 && c < 256;
            return ok ? std::string() : "\"" + v + "\" is no loopback subnet 127.A.B";
        },
        "127.A.B"));
    auto inOrder = [&app](const char* name, std::function<void(const std::string&)> act) {
        app.add_option_function<std::string>(name, std::move(act))->trigger_on_parse();
    };
    inOrder("--subs", [&](const std::string& v) {
        if (!parseSubList(v, subs)) refuse("--subs", "\"" + v + "\" is not a list of hexadecimal type codes");
    });
    inOrder("--all-types", [&](const std::string& v) {
        if (!planEveryType(v, out.couplers)) refuse("--all-types", "the kind is eth, rs or hid");
    });
    inOrder("--eth", [&](const std::string& v) {
        PlannedCoupler c;
        c.kind = CouplerKind::Ethernet;
        c.eth.address = v == "auto" ? "" : v;
        c.eth.subs = subs;
        out.couplers.push_back(c);
    });
    inOrder("--hid", [&](const std::string& v) {
        PlannedCoupler c;
        c.kind = CouplerKind::Hid;
        c.hid.socketName = v == "auto" ? "" : v;
        c.hid.subs = subs;
        out.couplers.push_back(c);
    });
    inOrder("--rs-line", [&](const std::string& v) {
        auto colon = v.find(':');
        std::string mode = lower(v.substr(0, colon));
        if (mode != "rtu" && mode != "ascii") refuse("--rs-line", "the mode is rtu or ascii");
        const int line = nextLine();
        auto stations = colon == std::string::npos ? std::vector<std::string>{"1"} : split(v.substr(colon + 1), ',');
        for (const auto& s : stations) {
            PlannedCoupler c;
            c.kind = CouplerKind::Serial;
            c.serial.line = line;
            c.serial.subs = subs;
            if (!parseInt(s, c.serial.station)) refuse("--rs-line", "\"" + s + "\" is not a station address");
            out.couplers.push_back(c);
        }
    });

    try {
        app.parse(std::vector<std::string>(args.rbegin(), args.rend()));  // CLI11 takes the words last first
    } catch (const CLI::ParseError& e) {
        error = e.what();
        if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
            error = "unknown option";
            for (const auto& w : app.remaining()) error += " " + w;
        } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
            error = error.substr(0, error.find(':')) + " needs a value";  // CLI11 names the option first
        }
        return false;
    }
    if (freeze) out.rack.liveData = false;
    return true;
}

bool loadConfigFile(const std::string& file, ProgramOptions& out, std::string& error) {
    auto sections = ini::sections(file);
    if (sections.empty()) {
        error = file + ": no sections (missing or empty file)";
        return false;
    }
    for (const auto& section : sections) {
        std::string name = lower(section);
        if (name == "rack") {
            out.rack.subnet = ini::getString(file, section, "subnet", out.rack.subnet);
            out.rack.hidFolder = ini::getString(file, section, "hid_folder", out.rack.hidFolder);
            out.rack.liveData = ini::getInt(file, section, "live", out.rack.liveData ? 1 : 0) != 0;
            continue;
        }
        PlannedCoupler c;
        if (name.rfind("eth", 0) == 0) {
            c.kind = CouplerKind::Ethernet;
            c.eth.address = ini::getString(file, section, "address");
            c.eth.checkPassword = ini::getInt(file, section, "check_password", 0) != 0;
            if (!readSubs(file, section, c.eth.subs, error)) return false;
        } else if (name.rfind("rs", 0) == 0) {
            c.kind = CouplerKind::Serial;
            c.serial.line = ini::getInt(file, section, "line", 0);
            c.serial.station = ini::getInt(file, section, "station", 1);
            if (!readSubs(file, section, c.serial.subs, error)) return false;
        } else if (name.rfind("hid", 0) == 0) {
            c.kind = CouplerKind::Hid;
            c.hid.socketName = ini::getString(file, section, "name");
            c.hid.manufacturer = ini::getString(file, section, "manufacturer", c.hid.manufacturer);
            c.hid.product = ini::getString(file, section, "product", c.hid.product);
            c.hid.sendHello = ini::getInt(file, section, "hello", 1) != 0;
            c.hid.answerIdentify = ini::getInt(file, section, "identify", 1) != 0;
            if (!readSubs(file, section, c.hid.subs, error)) return false;
        } else {
            error = file + ": unknown section [" + section + "] (rack, eth…, rs…, hid…)";
            return false;
        }
        if (!readFaults(file, section, c, error)) return false;
        out.couplers.push_back(c);
    }
    return true;
}

int buildRack(const ProgramOptions& options, SimRack& rack) {
    if (options.couplers.empty()) return addDemoCouplers(rack);
    for (const auto& plan : options.couplers) {
        SimCoupler* c = nullptr;
        switch (plan.kind) {
            case CouplerKind::Ethernet: c = rack.addEthernet(plan.eth); break;
            case CouplerKind::Serial: c = rack.addSerial(plan.serial); break;
            case CouplerKind::Hid: c = rack.addHid(plan.hid); break;
        }
        if (!c) return kSimBadConfig;
        c->setFaultRates(plan.faults);
        c->setSilent(plan.silent);
    }
    return kSimOk;
}

}  // namespace vexa::sim
