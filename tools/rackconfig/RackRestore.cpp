#include "RackRestore.h"

#include <algorithm>
#include <iterator>

#include "CouplerKeys.h"

namespace vexa::rackconfig {

namespace {

// One module as the restore talks to it: the coupler or a sub module.
class Module {
public:
    Module(KO_HANDLE h, KO_SUBHANDLE s) : h_(h), s_(s) {}
    int read() const { return s_ ? KO_ReadSubDevProperty(s_) : KO_ReadMainProperty(h_); }
    int get(const std::string& key, std::string& out) const {
        char text[KO_TEXT_SIZE] = {};
        int rc = s_ ? KO_GetSubDevProperty(s_, key.c_str(), text) : KO_GetMainProperty(h_, key.c_str(), text);
        out = rc == RC_OK ? text : "";
        return rc;
    }
    int modify(const std::string& key, const std::string& text) const {
        return s_ ? KO_ModifySubDevProperty(s_, key.c_str(), text.c_str())
                  : KO_ModifyMainProperty(h_, key.c_str(), text.c_str());
    }
    int submit(const std::string& password) const {
        int rc = s_ ? KO_SubmitSubDevProperty(s_) : KO_SubmitMainProperty(h_, password.c_str());
        return rc == RC_NOTHING_TO_SUBMIT ? RC_OK : rc;
    }
    void drop() const { s_ ? KO_ResetSubDevProperty(s_) : KO_ResetMainProperty(h_); }
    std::string typeText() const { return text(s_ ? "SLAVER_TYPE" : "MAIN_TYPE"); }
    std::string hardwareText() const { return text(s_ ? "SLAVER_HARDVER" : "MAIN_HARDVER"); }

private:
    std::string text(const char* key) const {
        std::string t;
        get(key, t);
        return t;
    }
    KO_HANDLE h_;
    KO_SUBHANDLE s_;
};

using Results = std::vector<KeyResult*>;

void fail(const Results& keys, int rc) {
    for (auto* k : keys) {
        k->outcome = Outcome::Failed;
        k->rc = rc;
    }
}

// Modifies each key and submits those the library took; returns the ones that went out.
Results writeGroup(const Module& m, const Results& keys, const std::string& password) {
    Results taken;
    m.drop();
    for (auto* k : keys) {
        int rc = m.modify(k->key, k->fileText);
        if (rc == RC_OK) {
            taken.push_back(k);
        } else {
            k->outcome = Outcome::Refused;
            k->rc = rc;
        }
    }
    if (taken.empty()) return taken;
    int rc = m.submit(password);
    if (rc != RC_OK) {
        fail(taken, rc);
        return {};
    }
    return taken;
}

// Writes the planned keys of one module: early ones, a fresh read, the rest, a read-back.
void writeModule(const Module& m, std::vector<KeyResult>& all, std::size_t first, const std::string& password) {
    Results early, rest;
    for (std::size_t i = first; i < all.size(); ++i)
        if (all[i].outcome == Outcome::Planned) (all[i].early ? early : rest).push_back(&all[i]);
    if (early.empty() && rest.empty()) return;
    Results sent = writeGroup(m, early, password);
    if (!early.empty()) {
        // The early keys change how the others read: look at them again before writing.
        if (int rc = m.read(); rc != RC_OK) {
            fail(sent, rc);
            fail(rest, rc);
            return;
        }
        Results still;
        for (auto* k : rest) {
            std::string now;
            if (m.get(k->key, now) == RC_OK && now == k->fileText) {
                k->outcome = Outcome::Unchanged;
                k->liveText = now;
            } else {
                still.push_back(k);
            }
        }
        rest = std::move(still);
    }
    Results more = writeGroup(m, rest, password);
    sent.insert(sent.end(), more.begin(), more.end());
    if (sent.empty()) return;
    if (int rc = m.read(); rc != RC_OK) {
        fail(sent, rc);
        return;
    }
    for (auto* k : sent) {
        m.get(k->key, k->readBack);
        k->outcome = k->readBack == k->fileText ? Outcome::Written : Outcome::Failed;
    }
}

}  // namespace

int RestoreReport::count(Outcome outcome) const {
    return static_cast<int>(
        std::count_if(keys.begin(), keys.end(), [&](const KeyResult& k) { return k.outcome == outcome; }));
}

bool RestoreReport::ok() const { return rc == RC_OK && count(Outcome::Refused) == 0 && count(Outcome::Failed) == 0; }

RestoreReport RackRestore::plan(const RackConfig& file) const { return run(file, false); }

RestoreReport RackRestore::apply(const RackConfig& file) const { return run(file, true); }

RestoreReport RackRestore::run(const RackConfig& file, bool write) const {
    RestoreReport report;
    if ((report.rc = KO_ReadMainProperty(h_)) != RC_OK) return report;
    if ((report.rc = KO_SearchSubDev(h_)) != RC_OK) return report;

    std::vector<const ModuleConfig*> order{&file.coupler};
    for (const auto& m : file.modules) order.push_back(&m);
    for (const ModuleConfig* fm : order) {
        const std::size_t first = report.keys.size();
        for (const auto& [key, text] : fm->settings) {
            KeyResult k;
            k.slot = fm->slot;
            k.key = key;
            k.fileText = text;
            k.early = isEarlyKey(key);
            report.keys.push_back(std::move(k));
        }
        auto skipAll = [&](SkipReason reason) {
            for (std::size_t i = first; i < report.keys.size(); ++i) {
                report.keys[i].outcome = Outcome::Skipped;
                report.keys[i].reason = reason;
            }
        };

        bool present = fm->slot == 0;
        for (int i = 0; i < KO_SUB_SLOTS && !present; ++i) {
            short addr = 0, manufacturer, type, mode, hard, soft;
            int serial;
            present = KO_GetSearchSubDev(h_, &addr, &manufacturer, &type, &mode, &hard, &soft, &serial, i) == RC_OK &&
                      static_cast<unsigned short>(addr) == fm->slot;
        }
        KO_SUBHANDLE s = present && fm->slot != 0 ? KO_SetOperateSubDev(h_, fm->slot) : nullptr;
        if (!present || (fm->slot != 0 && !s)) {
            report.modules.push_back(
                ModuleIssue{fm->slot, SkipReason::NoModule, false, fm->type, "", fm->hardware, ""});
            skipAll(SkipReason::NoModule);
            continue;
        }
        Module m(h_, s);
        if (int rc = s ? m.read() : RC_OK; rc != RC_OK) {
            for (std::size_t i = first; i < report.keys.size(); ++i) {
                report.keys[i].outcome = Outcome::Failed;
                report.keys[i].rc = rc;
            }
            continue;
        }

        ModuleIssue issue{fm->slot, SkipReason::None, false, fm->type, m.typeText(), fm->hardware, m.hardwareText()};
        if (issue.liveType != issue.fileType)
            issue.reason = SkipReason::TypeMismatch;
        else if (issue.liveHardware != issue.fileHardware)
            issue.reason = SkipReason::HardwareMismatch;
        if (issue.reason != SkipReason::None) {
            issue.confirmed = options_.confirmedSlots.count(fm->slot) != 0;
            report.modules.push_back(issue);
            if (!issue.confirmed) {
                skipAll(issue.reason);
                continue;
            }
        }

        for (std::size_t i = first; i < report.keys.size(); ++i) {
            KeyResult& k = report.keys[i];
            int rc = m.get(k.key, k.liveText);
            if (rc != RC_OK) {
                k.outcome = Outcome::Refused;  // the module knows no such key
                k.rc = rc;
            } else if (k.liveText == k.fileText) {
                k.outcome = Outcome::Unchanged;
            } else if (isIdentityKey(k.key) && !options_.identityKeys.count(k.key)) {
                k.outcome = Outcome::Skipped;
                k.reason = SkipReason::Identity;
            } else {
                k.outcome = Outcome::Planned;
            }
        }
        if (write) writeModule(m, report.keys, first, options_.password);
    }
    return report;
}

const char* RackRestore::name(Outcome outcome) {
    // Names in the enum's order.
    static constexpr const char* kNames[] = {"planned", "written", "unchanged", "skipped", "refused", "failed"};
    const auto i = static_cast<std::size_t>(outcome);
    return i < std::size(kNames) ? kNames[i] : "?";
}

const char* RackRestore::name(SkipReason reason) {
    // Names in the enum's order.
    static constexpr const char* kNames[] = {"", "identity", "type-mismatch", "hardware-mismatch", "no-module"};
    const auto i = static_cast<std::size_t>(reason);
    return i < std::size(kNames) ? kNames[i] : "?";
}

}  // namespace vexa::rackconfig
