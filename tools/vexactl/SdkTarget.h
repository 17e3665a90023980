#pragma once
// Naming a coupler on the command line, and opening it through the public exports.
//
//   eth:ADDRESS             an Ethernet coupler (found by a unicast search)
//   rs:PORT:STATION         an RS-485 coupler (--ascii for ASCII framing, --baud N, default 9600)
//   hid[:PATH]              a USB coupler (the first one found, or the one at PATH)
#include <string>
#include <vector>

#include "Cli.h"
#include "VexaSdk.h"

namespace vexactl {

struct Target {
    int kind = -1;  // KO_KIND_*
    std::string address;  // IP, port or HID path
    int station = 0;
    int framing = 0;
    int baud = 9600;
};

// The options a TARGET reads (an rs: coupler's line speed and framing), then `more`.
std::vector<Option> withTarget(std::vector<Option> more = {});

// Parses TARGET; false (with a message on stderr) when it names nothing.
bool parseTarget(const std::string& text, const Args& args, Target& out);

// Searches for and operates the target; null with `rc` set when it is not there, or when it
// answers as a boot loader (RC_OPEN_FAILED; whyNotOpened() then says so).
KO_HANDLE openTarget(const Target& t, int& rc);

// "RC_NO_REPLY" for 203, and so on; and what it means, in words.
const char* sdkResultName(int rc);
const char* sdkResultMeaning(int rc);

// Why openTarget() gave nothing, as a person needs it: the system's reason for a port that does
// not open, a missing simulated bus, no such device, a coupler that runs its boot loader.
std::string whyNotOpened(const Target& t, int rc);
// Ends a command whose target did not open: the reason, then the result.
int failedOpen(Output& out, const Target& t, int rc);

// Ends a command with an export's result: its code, its name, success for RC_OK.
int finishSdk(Output& out, int rc);

// Identity fields as people read them: "00a5" for a code, "V1.02" for a version word.
std::string hex4(int v);
std::string versionText(int v);

// The property keys of each coupler kind, in the order a person reads them.
const char* const* mainKeys(int kind, int& count);

// A sub module's class and keys, from the library's public catalog: the class name ("" when no
// class serves the type), and its property (or process-value) keys with their KO_ROLE_*.
struct SubKey {
    std::string key;
    int role = 0;
};
std::string subClassName(int type, int hardVer);
std::vector<SubKey> subClassKeys(int type, int hardVer, bool data);

}  // namespace vexactl
