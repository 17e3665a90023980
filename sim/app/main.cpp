// vexa-sim: the simulated rack as a program, for the workbench, vexactl and scripts.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "RackSetup.h"

namespace {

const char* resultText(int r) {
    constexpr const char* kTexts[] = {"ok",
                                      "bad configuration",
                                      "already running",
                                      "an address or socket name is taken",
                                      "no pseudo-terminal",
                                      "the HID folder cannot be made",
                                      "no thread"};
    return r >= 0 && r < static_cast<int>(std::size(kTexts)) ? kTexts[r] : "failure";
}

// Where a running rack leaves its settings when no --ready-file names a place, so that
// `vexa-sim --print-env` finds the rack last started by this user.
std::string defaultReadyFile() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string dir = runtime && *runtime ? runtime : "/tmp";
    return dir + "/vexa-sim-" + std::to_string(::getuid()) + ".env";
}

// The first line names the rack's process: a rack removes only a file that is still its own.
std::string ownerLine() { return "# vexa-sim " + std::to_string(::getpid()) + "\n"; }

std::string readFile(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Written beside the target and renamed, so a script never reads half a file.
bool writeReadyFile(const std::string& path, const std::string& text) {
    std::string tmp = path + ".tmp." + std::to_string(::getpid());
    {
        std::ofstream f(tmp, std::ios::trunc);
        if (!(f << ownerLine() << text)) return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

void removeIfOurs(const std::string& path) {
    if (readFile(path).rfind(ownerLine(), 0) == 0) std::remove(path.c_str());
}

// --print-env: the export lines of the running rack, from its ready file.
int printEnvironment(const std::string& readyFile) {
    const std::string path = readyFile.empty() ? defaultReadyFile() : readyFile;
    std::istringstream text(readFile(path));
    std::string line, exports;
    while (std::getline(text, line))
        if (line.rfind("export ", 0) == 0) exports += line + "\n";
    if (exports.empty()) {
        std::fprintf(stderr, "vexa-sim: no running rack left its settings in %s (start one: vexa-sim &)\n",
                     path.c_str());
        return 1;
    }
    std::fputs(exports.c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vexa::sim;
    ProgramOptions opts;
    std::string error;
    if (!parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), opts, error) ||
        (!opts.configFile.empty() && !loadConfigFile(opts.configFile, opts, error))) {
        std::fprintf(stderr, "vexa-sim: %s\n%s", error.c_str(), usage().c_str());
        return 2;
    }
    if (opts.help) {
        std::fputs(usage().c_str(), stdout);
        return 0;
    }
    if (opts.printEnvOnly) return printEnvironment(opts.readyFile);

    // Blocked before any thread starts, so only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SimRack rack(opts.rack);
    if (buildRack(opts, rack) != kSimOk) {
        std::fprintf(stderr, "vexa-sim: a coupler cannot be set up (address, station or name used twice or invalid)\n");
        return 2;
    }
    int r = rack.start();
    if (r != kSimOk) {
        std::fprintf(stderr, "vexa-sim: cannot start the rack: %s\n", resultText(r));
        return 1;
    }
    std::string full = rack.describe() + "\nSet these for the tools:\n" + rack.environment();
    std::fputs(full.c_str(), stdout);
    std::fflush(stdout);
    if (!opts.readyFile.empty() && !writeReadyFile(opts.readyFile, rack.describe() + rack.environment())) {
        std::fprintf(stderr, "vexa-sim: cannot write %s\n", opts.readyFile.c_str());
        rack.stop();
        return 1;
    }
    // The per-user file --print-env reads; failing to write it costs only that convenience.
    const std::string userReady = defaultReadyFile();
    if (userReady != opts.readyFile) writeReadyFile(userReady, rack.describe() + rack.environment());

    int sig = 0;
    sigwait(&stopSignals, &sig);
    rack.stop();
    if (!opts.readyFile.empty()) removeIfOurs(opts.readyFile);
    if (userReady != opts.readyFile) removeIfOurs(userReady);
    return 0;
}
