// vexactl COMMAND [ARGS] [--json] [--name value | --flag]...
#include <cstdio>
#include <cstring>

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
                                                     "help",  "no-progress", "enter-boot", "yes", "clear"};
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
