// vexactl COMMAND [ARGS] [--json] [--name value | --name=value | --flag]...
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "Cli.h"

namespace {

using vexactl::Command;
using vexactl::Option;

// The command list: on stdout when asked for (so it pages and greps), on stderr after a mistake.
void usage(std::FILE* to) {
    std::fprintf(to, "usage: vexactl COMMAND [ARGS...] [--json]\n\ncommands:\n");
    for (const auto& c : vexactl::commands()) {
        std::fprintf(to, "  %s\n      %s\n", c.usage.c_str(), c.help.c_str());
    }
    std::fprintf(to, "\nvexactl COMMAND --help shows one command.\n");
}

const Command* findCommand(const std::string& name) {
    for (const auto& c : vexactl::commands())
        if (c.name == name) return &c;
    return nullptr;
}

// One command: its usage, what it does and each option it takes.
void commandHelp(const Command& c) {
    std::printf("usage: vexactl %s\n  %s\n\noptions:\n", c.usage.c_str(), c.help.c_str());
    auto line = [](const std::string& left, const std::string& help) {
        std::printf("  %-22s %s\n", left.c_str(), help.c_str());
    };
    for (const Option& o : c.options) {
        std::string help = o.help;
        if (o.kind == Option::Number || o.kind == Option::Stations)
            help += " [" + std::to_string(o.lo) + ".." + std::to_string(o.hi) + "]";
        line("--" + std::string(o.name) + (o.kind == Option::Flag ? "" : " " + std::string(o.value)), help);
    }
    line("--json", "the output as one JSON object");
    line("--help", "this text");
}

// The positionals, each word as written: an option bound to a list would split "[a,b]" at its
// commas.
constexpr int kMostWords = 1 << 16;

// The command line as CLI11 reads it: one subcommand per command, built from its option table.
class Parser {
public:
    Parser() {
        app_.require_subcommand(1);  // also keeps a word that names a command a plain argument of another
        app_.fallthrough();          // --json anywhere on the line
        app_.add_flag("--json", json_);
        for (const auto& c : vexactl::commands()) {
            CLI::App* sub = app_.add_subcommand(c.name, c.help);
            sub->add_option("args")->expected(kMostWords)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
            for (const Option& o : c.options) {
                const std::string name = "--" + std::string(o.name);
                if (o.kind == Option::Flag) {
                    sub->add_flag(name);
                    continue;
                }
                // Given twice, the last one counts.
                sub->add_option(name)
                    ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
                    ->check(CLI::Validator([o](std::string& v) { return vexactl::badValue(o, v); }, o.value));
            }
        }
    }

    // The command and its arguments; null after a usage mistake or a request for help, with
    // `status` set and the text printed.
    const Command* parse(int argc, char** argv, vexactl::Args& args, int& status) {
        try {
            app_.parse(argc, argv);
        } catch (const CLI::CallForHelp&) {
            status = vexactl::kOk;
            if (const Command* c = chosen())
                commandHelp(*c);
            else
                usage(stdout);
            return nullptr;
        } catch (const CLI::ParseError& e) {
            status = vexactl::kUsage;
            const Command* c = chosen();
            if (!c) {
                const auto rest = app_.remaining();
                if (!rest.empty() && rest.front()[0] != '-')
                    std::fprintf(stderr, "vexactl: unknown command '%s'\n\n", rest.front().c_str());
                else
                    std::fprintf(stderr, "vexactl: %s\n\n", e.what());
                usage(stderr);
                return nullptr;
            }
            std::fprintf(stderr, "vexactl %s: %s\nusage: vexactl %s\n", c->name.c_str(), complaint(e, *c).c_str(),
                         c->usage.c_str());
            return nullptr;
        }
        const Command* c = chosen();
        const CLI::App* sub = app_.get_subcommands().front();
        args.json = json_;
        args.positional = sub->get_option("args")->results();
        for (const Option& o : c->options) {
            const CLI::Option* given = sub->get_option("--" + std::string(o.name));
            if (given->count() == 0) continue;
            if (o.kind != Option::Flag)
                args.options[o.name] = given->results().back();
            else if (given->as<bool>())
                args.options[o.name] = "1";
        }
        return c;
    }

private:
    const Command* chosen() const {
        const auto subs = app_.get_subcommands();
        return subs.empty() ? nullptr : findCommand(subs.front()->get_name());
    }

    // What was wrong, naming the option and what it takes.
    std::string complaint(const CLI::ParseError& e, const Command& c) const {
        const std::string what = e.what();
        if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
            std::string words;
            for (const auto& w : app_.remaining(true)) words += " " + w;
            return "takes no option" + words + " (vexactl " + c.name + " --help lists its options)";
        }
        // CLI11 starts these texts with the option's name: "--station: ...".
        const std::string name = what.substr(0, what.find(':'));
        if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
            for (const Option& o : c.options)
                if (name == "--" + std::string(o.name)) return name + " needs " + vexactl::takes(o);
        }
        if (dynamic_cast<const CLI::ValidationError*>(&e) && what.compare(name.size(), 2, ": ") == 0)
            return name + " " + what.substr(name.size() + 2);  // "--station 'abc' is not a number from 1 to 247"
        return what;
    }

    CLI::App app_{"vexactl"};
    bool json_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(stderr);
        return vexactl::kUsage;
    }
    if (!std::strcmp(argv[1], "help")) {
        const Command* c = argc > 2 ? findCommand(argv[2]) : nullptr;
        if (c)
            commandHelp(*c);
        else
            usage(stdout);
        return vexactl::kOk;
    }
    vexactl::Args args;
    int status = vexactl::kOk;
    Parser parser;
    const Command* c = parser.parse(argc, argv, args, status);
    if (!c) return status;
    vexactl::Output out(args.json);
    status = c->run(args, out);
    // A mistake in the arguments always says what the command takes.
    if (status == vexactl::kUsage) std::fprintf(stderr, "usage: vexactl %s\n", c->usage.c_str());
    return status;
}
