#pragma once
// Runs vexactl as a user would (a shell command line) and keeps its output and exit status.
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace clitest {

struct CliRun {
    int status = -1;
    std::string out;  // standard output and standard error, interleaved (or standard output only)
};

// `program args` through the shell; standard error is dropped when `stdoutOnly`.
inline CliRun run(const std::string& program, const std::string& args, bool stdoutOnly = false) {
    CliRun r;
    std::string cmd = program + " " + args + (stdoutOnly ? " 2>/dev/null" : " 2>&1");
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) r.out += buf;
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

inline CliRun vexactl(const std::string& args, bool stdoutOnly = false) {
    return run(VEXACTL_PATH, args, stdoutOnly);
}

}  // namespace clitest
