#include "ProcessProbe.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>

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

long residentKiB() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return -1;
    long size = 0, resident = 0;
    int got = std::fscanf(f, "%ld %ld", &size, &resident);
    std::fclose(f);
    return got == 2 ? resident * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

}  // namespace vexa::soak
