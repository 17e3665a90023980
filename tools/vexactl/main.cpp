// vexactl COMMAND [ARGS] [--json] [--name value | --flag]...
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Cli.h"

namespace {

// The command list: on stdout when asked for (so it pages and greps), on stderr after a mistake.
void usage(std::FILE* to) {
    std::fprintf(to, "usage: vexactl COMMAND [ARGS...] [--json]\n\ncommands:\n");
    for (const auto& c : vexactl::commands()) {
        std::fprintf(to, "  %s\n      %s\n", c.usage.c_str(), c.help.c_str());
    }
    std::fprintf(to, "\nvexactl COMMAND --help shows one command.\n");
}

// The numeric options every command reads, with what they can be. A value that is no number or
// out of range is a usage mistake: taken as the default it would act on another device or
// module than the one named.
struct NumericOption {
    const char* name;
    long lo, hi;
};
constexpr NumericOption kNumericOptions[] = {
    {"baud", 1, 4000000}, {"station", 1, 247}, {"index", 0, 299},     {"sub", 1, 15},
    {"unit", 0, 255},     {"start", 0, 65535}, {"count", 1, 2000},    {"timeout", 1, 60000},
    {"settle", 0, 60000}, {"data-bits", 5, 8}, {"stop-bits", 1, 2},
};

bool inRange(const std::string& text, long lo, long hi) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 0);
    return !text.empty() && end && *end == '\0' && v >= lo && v <= hi;
}

// "" when every numeric option holds a number it may hold; else the complaint.
std::string badNumericOption(const vexactl::Args& args) {
    for (const auto& o : kNumericOptions) {
        if (!args.has(o.name)) continue;
        const std::string v = args.get(o.name);
        bool ok = inRange(v, o.lo, o.hi);
        // A station may also be a range "A-B" (an RS-485 search).
        const auto dash = v.find('-');
        if (!ok && std::string(o.name) == "station" && dash != std::string::npos && dash > 0)
            ok = inRange(v.substr(0, dash), o.lo, o.hi) && inRange(v.substr(dash + 1), o.lo, o.hi);
        if (!ok)
            return "--" + std::string(o.name) + " '" + v + "': a number from " + std::to_string(o.lo) + " to " +
                   std::to_string(o.hi);
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(stderr);
        return vexactl::kUsage;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
        usage(stdout);
        return vexactl::kOk;
    }
    vexactl::Args args;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--json") {
            args.json = true;
        } else if (a.rfind("--", 0) == 0 && a.size() > 2) {
            std::string name = a.substr(2), value = "1";
            auto eq = name.find('=');
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
            } else if (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) {
                // Flags that take no value are listed here; every other option takes the next word.
                static const char* const kFlags[] = {"ascii", "rtu",        "data-only", "all",
                                                     "help",  "no-progress", "enter-boot", "yes", "clear", "reset"};
                bool isFlag = false;
                for (auto* f : kFlags) isFlag = isFlag || name == f;
                if (!isFlag) value = argv[++i];
            }
            args.options[name] = value;
        } else {
            args.positional.push_back(a);
        }
    }
    for (const auto& c : vexactl::commands()) {
        if (c.name != argv[1]) continue;
        if (args.has("help")) {
            std::printf("usage: vexactl %s\n  %s\n", c.usage.c_str(), c.help.c_str());
            return vexactl::kOk;
        }
        if (const std::string bad = badNumericOption(args); !bad.empty()) {
            std::fprintf(stderr, "vexactl: %s\nusage: vexactl %s\n", bad.c_str(), c.usage.c_str());
            return vexactl::kUsage;
        }
        vexactl::Output out(args.json);
        int status = c.run(args, out);
        // A mistake in the arguments always says what the command takes.
        if (status == vexactl::kUsage) std::fprintf(stderr, "usage: vexactl %s\n", c.usage.c_str());
        return status;
    }
    std::fprintf(stderr, "vexactl: unknown command '%s'\n\n", argv[1]);
    usage(stderr);
    return vexactl::kUsage;
}
