#pragma once
// Writes a backup back onto a rack: plan first (what would change), then apply.
//
// Modules are matched by slot and type. A module whose type or hardware version differs from
// the file is skipped unless its slot is confirmed. Identity keys (isIdentityKey) are written
// only when named. Only keys whose live text differs are written: the early keys of a module
// first in a submit of their own, then, after the module was read again, the rest. Every module
// written is read back and compared. Call from one thread (the one that owns the handle).
#include <set>
#include <string>
#include <vector>

#include "RackConfig.h"
#include "VexaSdk.h"

namespace vexa::rackconfig {

struct RestoreOptions {
    std::set<int> confirmedSlots;        // write these even on a type or hardware mismatch
    std::set<std::string> identityKeys;  // identity keys to write after all
    std::string password;                // for the coupler's submit
};

enum class Outcome {
    Planned,    // plan only: would be written
    Written,    // written and read back equal
    Unchanged,  // the module already holds the text
    Skipped,    // see SkipReason
    Refused,    // the library refused the key or the text (unknown key, no value of the item)
    Failed,     // the submit failed, or the read-back differs
};

// Why a key was skipped; a mismatch means the slot was not confirmed.
enum class SkipReason { None, Identity, TypeMismatch, HardwareMismatch, NoModule };

struct KeyResult {
    int slot = 0;
    std::string key;
    Outcome outcome = Outcome::Unchanged;
    SkipReason reason = SkipReason::None;
    bool early = false;
    std::string fileText;  // what the backup holds
    std::string liveText;  // what the module held before
    std::string readBack;  // Written/Failed: what it holds after
    int rc = RC_OK;        // Refused/Failed: the library's result; RC_OK on Failed: read-back differs
};

struct ModuleIssue {
    int slot = 0;
    SkipReason reason = SkipReason::None;  // TypeMismatch, HardwareMismatch or NoModule
    bool confirmed = false;                // mismatch, but the caller confirmed the slot
    std::string fileType, liveType, fileHardware, liveHardware;
};

struct RestoreReport {
    int rc = RC_OK;  // not RC_OK: a read the plan depends on failed; nothing was written
    std::vector<ModuleIssue> modules;
    std::vector<KeyResult> keys;  // every key of the file, module by module

    int count(Outcome outcome) const;
    bool ok() const;  // rc is RC_OK and nothing Refused or Failed
};

class RackRestore {
public:
    RackRestore(KO_HANDLE h, RestoreOptions options) : h_(h), options_(std::move(options)) {}

    // Reads the rack and says what apply() would do; writes nothing.
    RestoreReport plan(const RackConfig& file) const;
    // plan(), then writes and reads back.
    RestoreReport apply(const RackConfig& file) const;

    static const char* name(Outcome outcome);    // "planned", "written", ...
    static const char* name(SkipReason reason);  // "", "identity", "type-mismatch", ...

private:
    RestoreReport run(const RackConfig& file, bool write) const;
    KO_HANDLE h_;
    RestoreOptions options_;
};

}  // namespace vexa::rackconfig
