#pragma once
// What the process holds right now: open descriptors and resident memory, read from /proc.
#include <cstddef>

namespace vexa::soak {

// Entries of /proc/self/fd (the directory stream's own descriptor not counted).
int openDescriptors();
// Resident set size in KiB, from /proc/self/statm.
long residentKiB();

}  // namespace vexa::soak
