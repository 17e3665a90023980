#include "RackCompare.h"

#include <algorithm>
#include <iterator>
#include <set>

namespace vexa::rackconfig {

namespace {

void compareKeys(const ModuleConfig* file, const ModuleConfig* live, ModuleDiff& d) {
    if (file)
        for (const auto& [key, text] : file->settings) {
            const std::string* other = live ? live->find(key) : nullptr;
            KeyDiff k{key, KeyState::OnlyInFile, text, ""};
            if (other) {
                k.liveText = *other;
                k.state = *other == text ? KeyState::Equal : KeyState::Different;
            }
            d.keys.push_back(std::move(k));
        }
    if (live)
        for (const auto& [key, text] : live->settings)
            if (!file || !file->find(key)) d.keys.push_back(KeyDiff{key, KeyState::OnlyLive, "", text});
}

ModuleDiff compareModule(int slot, const ModuleConfig* file, const ModuleConfig* live) {
    ModuleDiff d;
    d.slot = slot;
    if (file) {
        d.fileType = file->type;
        d.fileHardware = file->hardware;
    }
    if (live) {
        d.liveType = live->type;
        d.liveHardware = live->hardware;
    }
    if (!live)
        d.state = ModuleState::OnlyInFile;
    else if (!file)
        d.state = ModuleState::OnlyLive;
    else if (file->type != live->type)
        d.state = ModuleState::TypeMismatch;
    else if (file->hardware != live->hardware)
        d.state = ModuleState::HardwareMismatch;
    compareKeys(file, live, d);
    return d;
}

}  // namespace

bool Comparison::equal() const {
    for (const auto& m : modules) {
        if (m.state != ModuleState::Same) return false;
        for (const auto& k : m.keys)
            if (k.state != KeyState::Equal) return false;
    }
    return true;
}

int Comparison::count(KeyState state) const {
    int n = 0;
    for (const auto& m : modules)
        n += static_cast<int>(
            std::count_if(m.keys.begin(), m.keys.end(), [&](const KeyDiff& k) { return k.state == state; }));
    return n;
}

Comparison RackCompare::compare(const RackConfig& file, const RackConfig& live) {
    Comparison c;
    c.modules.push_back(compareModule(0, &file.coupler, &live.coupler));
    std::set<int> slots;
    for (const auto& m : file.modules) slots.insert(m.slot);
    for (const auto& m : live.modules) slots.insert(m.slot);
    slots.erase(0);
    for (int slot : slots) c.modules.push_back(compareModule(slot, file.module(slot), live.module(slot)));
    return c;
}

const char* RackCompare::name(KeyState state) {
    // Names in the enum's order.
    static constexpr const char* kNames[] = {"equal", "different", "only-in-file", "only-live"};
    const auto i = static_cast<std::size_t>(state);
    return i < std::size(kNames) ? kNames[i] : "?";
}

const char* RackCompare::name(ModuleState state) {
    // Names in the enum's order.
    static constexpr const char* kNames[] = {"same", "only-in-file", "only-live", "type-mismatch", "hardware-mismatch"};
    const auto i = static_cast<std::size_t>(state);
    return i < std::size(kNames) ? kNames[i] : "?";
}

}  // namespace vexa::rackconfig
