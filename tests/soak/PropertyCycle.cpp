#include "PropertyCycle.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

namespace vexa::soak {

namespace {

std::size_t width(Encoding e) {
    static constexpr std::size_t kWidths[] = {16, 4, 2, 1, 4};  // in Encoding order
    return kWidths[static_cast<int>(e)];
}

constexpr std::size_t kMaxNotes = 8;

}  // namespace

PropertyCycle::PropertyCycle(KO_HANDLE handle, sim::SimCoupler& coupler, std::vector<SoakItem> items,
                             int readRequests, FaultPlan& faults, std::uint32_t seed)
    : handle_(handle),
      coupler_(coupler),
      items_(std::move(items)),
      held_(items_.size()),
      readRequests_(readRequests),
      faults_(faults),
      rng_(seed) {}

std::string PropertyCycle::newText(const SoakItem& item) {
    auto n = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); };
    switch (item.encoding) {
        case Encoding::Text16: return "soak-" + std::to_string(n(0, 99999999));
        case Encoding::IPv4: return "127.0." + std::to_string(n(0, 255)) + "." + std::to_string(n(1, 254));
        case Encoding::Be16: return std::to_string(n(0, 65535));
        case Encoding::Byte: return std::to_string(n(1, 127));
        case Encoding::Be32: return std::to_string(n(0, 2000000));
    }
    return "";
}

sim::Bytes PropertyCycle::encode(const SoakItem& item, const std::string& text) {
    sim::Bytes b(width(item.encoding), 0);
    switch (item.encoding) {
        case Encoding::Text16: std::memcpy(b.data(), text.data(), std::min(text.size(), b.size())); break;
        case Encoding::IPv4: inet_pton(AF_INET, text.c_str(), b.data()); break;
        case Encoding::Byte: b[0] = static_cast<std::uint8_t>(std::stoul(text)); break;
        case Encoding::Be16:
        case Encoding::Be32: {
            unsigned long v = std::stoul(text);
            for (std::size_t i = 0; i < b.size(); ++i) b[b.size() - 1 - i] = static_cast<std::uint8_t>(v >> (8 * i));
            break;
        }
    }
    return b;
}

bool PropertyCycle::deviceHolds(const SoakItem& item, const std::string& text) const {
    sim::Bytes block = coupler_.block(item.block);
    sim::Bytes want = encode(item, text);
    if (block.size() < static_cast<std::size_t>(item.offset) + want.size()) return false;
    return std::equal(want.begin(), want.end(), block.begin() + item.offset);
}

void PropertyCycle::note(const std::string& what) {
    if (ledger_.notes.size() < kMaxNotes) ledger_.notes.push_back("cycle " + std::to_string(ledger_.cycles) + ": " + what);
}

void PropertyCycle::seedDevice() {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        held_[i] = newText(items_[i]);
        coupler_.setBlock(items_[i].block, static_cast<std::size_t>(items_[i].offset), encode(items_[i], held_[i]));
    }
}

void PropertyCycle::run() {
    ++ledger_.cycles;
    // Modify: local only, so it must always take the text.
    std::vector<std::string> next(items_.size());
    for (std::size_t i = 0; i < items_.size(); ++i) {
        next[i] = newText(items_[i]);
        if (KO_ModifyMainProperty(handle_, items_[i].key, next[i].c_str()) != RC_OK)
            note(std::string("modify refused ") + items_[i].key);
    }

    faults_.arm(static_cast<int>(items_.size()));
    const int submitted = KO_SubmitMainProperty(handle_, "");
    faults_.settle();
    (submitted == RC_OK ? ledger_.submitsOk : ledger_.submitsFailed)++;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (deviceHolds(items_[i], next[i])) {
            held_[i] = next[i];
        } else if (!deviceHolds(items_[i], held_[i])) {
            ++ledger_.changedValues;
            note(std::string(items_[i].key) + " holds neither '" + held_[i] + "' nor '" + next[i] + "'");
        } else if (submitted == RC_OK) {
            ++ledger_.falseSuccesses;
            note(std::string("submit returned 0 but ") + items_[i].key + " still holds '" + held_[i] + "'");
        }
    }

    faults_.arm(readRequests_);
    const int read = KO_ReadMainProperty(handle_);
    faults_.settle();
    (read == RC_OK ? ledger_.readsOk : ledger_.readsFailed)++;
    if (read != RC_OK) return;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        char text[KO_TEXT_SIZE] = {};
        if (KO_GetMainProperty(handle_, items_[i].key, text) != RC_OK || held_[i] != text) {
            ++ledger_.falseSuccesses;
            note(std::string("read returned 0 but ") + items_[i].key + " shows '" + text + "', device holds '" +
                 held_[i] + "'");
        }
    }
}

}  // namespace vexa::soak
