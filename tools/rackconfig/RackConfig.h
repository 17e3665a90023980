#pragma once
// The settings of a rack as a backup holds them: the coupler and every sub module, each with
// its identity texts and its settings as ordered (key, text) pairs, texts exactly as the
// library renders them.
#include <string>
#include <utility>
#include <vector>

namespace vexa::rackconfig {

constexpr int kFileVersion = 1;

using Setting = std::pair<std::string, std::string>;  // key, text

struct ModuleConfig {
    int slot = 0;           // address on the coupler bus; the coupler itself is 0
    std::string type;       // as rendered: "VEXA-4017"
    std::string hardware;   // "V1.00"
    std::string software;   // "V1.00"
    std::string className;  // "" when unknown
    std::vector<Setting> settings;

    // The text of `key`, or null.
    const std::string* find(const std::string& key) const;
};

struct RackConfig {
    int fileVersion = kFileVersion;
    std::string date;                   // ISO 8601 UTC, "2024-05-01T12:00:00Z"
    std::string tool;                   // what wrote it, "vexa 0.1.0"
    std::string couplerKind;            // "eth", "rs" or "hid"
    ModuleConfig coupler;               // slot 0
    std::vector<ModuleConfig> modules;  // sub modules by slot

    // The coupler for slot 0, else the sub module at `slot`; null when there is none.
    const ModuleConfig* module(int slot) const;
    std::size_t settingCount() const;
};

// "eth", "rs", "hid" for KO_KIND_*; "" for anything else.
std::string kindName(int kind);
// KO_KIND_* for a kind name; -1 for anything else.
int kindFromName(const std::string& name);

// "vexa X.Y.Z", this build's project version.
std::string toolVersion();
// The current time as ISO 8601 UTC.
std::string utcNow();

}  // namespace vexa::rackconfig
