#include "ProcessProbe.h"

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <thread>

namespace vexa::soak {

int openDescriptors() {
    DIR* d = opendir("/proc/self/fd");
    if (!d) return -1;
    int n = 0;
    while (const dirent* e = readdir(d))
        if (e->d_name[0] != '.') ++n;
    closedir(d);
    return n - 1;
}

int settledDescriptors(int expected) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    int n = openDescriptors();
    while (n > expected && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        n = openDescriptors();
    }
    return n;
}

std::string describeDescriptors() {
    std::string out;
    DIR* d = opendir("/proc/self/fd");
    if (!d) return out;
    while (const dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        char target[PATH_MAX] = {};
        const std::string link = std::string("/proc/self/fd/") + e->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        out += std::string(e->d_name) + " -> " + (n > 0 ? std::string(target, static_cast<std::size_t>(n)) : "?") + "\n";
    }
    closedir(d);
    return out;
}

long residentKiB() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return -1;
    long size = 0, resident = 0;
    int got = std::fscanf(f, "%ld %ld", &size, &resident);
    std::fclose(f);
    return got == 2 ? resident * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

}  // namespace vexa::soak
