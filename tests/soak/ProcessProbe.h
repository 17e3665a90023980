#pragma once
// What the process holds right now: open descriptors and resident memory, read from /proc.
#include <cstddef>
#include <string>

namespace vexa::soak {

// Entries of /proc/self/fd (the directory stream's own descriptor not counted).
int openDescriptors();
// The count once the simulator's own threads have closed what they had open for a moment:
// waits up to a second for it to come down to `expected`.
int settledDescriptors(int expected);
// Every open descriptor with what it refers to, one per line, for a failure message.
std::string describeDescriptors();
// Resident set size in KiB, from /proc/self/statm.
long residentKiB();

}  // namespace vexa::soak
