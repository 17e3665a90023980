#include "RackConfig.h"

#include <ctime>

#include "VexaSdk.h"

namespace vexa::rackconfig {

const std::string* ModuleConfig::find(const std::string& key) const {
    for (const auto& s : settings)
        if (s.first == key) return &s.second;
    return nullptr;
}

const ModuleConfig* RackConfig::module(int slot) const {
    if (slot == 0) return &coupler;
    for (const auto& m : modules)
        if (m.slot == slot) return &m;
    return nullptr;
}

std::size_t RackConfig::settingCount() const {
    std::size_t n = coupler.settings.size();
    for (const auto& m : modules) n += m.settings.size();
    return n;
}

std::string kindName(int kind) {
    switch (kind) {
        case KO_KIND_ETHERNET:
            return "eth";
        case KO_KIND_SERIAL:
            return "rs";
        case KO_KIND_HID:
            return "hid";
        default:
            return "";
    }
}

int kindFromName(const std::string& name) {
    if (name == "eth") return KO_KIND_ETHERNET;
    if (name == "rs") return KO_KIND_SERIAL;
    if (name == "hid") return KO_KIND_HID;
    return -1;
}

std::string toolVersion() { return std::string("vexa ") + VEXA_RACKCONFIG_VERSION; }

std::string utcNow() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

}  // namespace vexa::rackconfig
