#pragma once
// Runs vexactl as a user would (a shell command line) and keeps its output and exit status.
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace clitest {

struct CliRun {
    int status = -1;
    std::string out;  // standard output and standard error, interleaved
};

inline CliRun vexactl(const std::string& args) {
    CliRun r;
    std::string cmd = std::string(VEXACTL_PATH) + " " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) r.out += buf;
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

}  // namespace clitest
