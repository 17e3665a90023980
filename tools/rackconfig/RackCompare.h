#pragma once
// What differs between a backup and a rack (or two backups): per module, matched by slot, and
// per key.
#include <string>
#include <vector>

#include "RackConfig.h"

namespace vexa::rackconfig {

enum class KeyState { Equal, Different, OnlyInFile, OnlyLive };
enum class ModuleState { Same, OnlyInFile, OnlyLive, TypeMismatch, HardwareMismatch };

struct KeyDiff {
    std::string key;
    KeyState state = KeyState::Equal;
    std::string fileText, liveText;  // empty on the side that has none
};

struct ModuleDiff {
    int slot = 0;
    ModuleState state = ModuleState::Same;
    std::string fileType, liveType, fileHardware, liveHardware;
    std::vector<KeyDiff> keys;  // every key of either side, file order first
};

struct Comparison {
    std::vector<ModuleDiff> modules;  // the coupler (slot 0) first, then by slot

    bool equal() const;  // every module Same and every key Equal
    int count(KeyState state) const;
};

class RackCompare {
public:
    static Comparison compare(const RackConfig& file, const RackConfig& live);
    static const char* name(KeyState state);     // "equal", "different", "only-in-file", "only-live"
    static const char* name(ModuleState state);  // "same", "only-in-file", "only-live", ...
};

}  // namespace vexa::rackconfig
