#pragma once
// Time settings a test may shorten or lengthen through the environment (never needed in use).
// Read at each use, so a test can change them between calls.
#include <climits>
#include <cstdlib>

namespace vexa {

// The value of environment variable `name` in ms when it lies in min..max, else `fallback`.
inline int testSettingMs(const char* name, int fallback, int min = 1, int max = INT_MAX) {
    const char* env = std::getenv(name);
    if (!env) return fallback;
    const int ms = std::atoi(env);
    return ms >= min && ms <= max ? ms : fallback;
}

}  // namespace vexa
