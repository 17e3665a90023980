// vexa-sim: the simulated rack as a program, for the workbench, vexactl and scripts.
#include <csignal>
#include <cstdio>
#include <fstream>
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

// Written beside the target and renamed, so a script never reads half a file.
bool writeReadyFile(const std::string& path, const std::string& text) {
    std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::trunc);
        if (!(f << text)) return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
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
    std::fputs(opts.printEnvOnly ? rack.environment().c_str() : full.c_str(), stdout);
    std::fflush(stdout);
    if (!opts.readyFile.empty() && !writeReadyFile(opts.readyFile, rack.describe() + rack.environment())) {
        std::fprintf(stderr, "vexa-sim: cannot write %s\n", opts.readyFile.c_str());
        rack.stop();
        return 1;
    }

    int sig = 0;
    sigwait(&stopSignals, &sig);
    rack.stop();
    if (!opts.readyFile.empty()) std::remove(opts.readyFile.c_str());
    return 0;
}
