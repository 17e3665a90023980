// Rack backup commands: backup, compare, restore.
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "RackCompare.h"
#include "RackFile.h"
#include "RackReader.h"
#include "RackRestore.h"
#include "SdkTarget.h"

namespace vexactl {

namespace {

namespace rc = vexa::rackconfig;

// The settings of a sub-module class (what a submit writes), from the library's catalog.
rc::ModuleKeys tableKeys() {
    rc::ModuleKeys k;
    k.settingKeys = [](int type, int hardVer) {
        std::vector<std::string> keys;
        for (auto& key : subClassKeys(type, hardVer, false))
            if (key.role == KO_ROLE_SETTING) keys.push_back(std::move(key.key));
        return keys;
    };
    k.className = subClassName;
    return k;
}

// The coupler named by positional[0], opened; on failure `status` holds the exit status.
struct OpenRack {
    Target target;
    KO_HANDLE h = nullptr;
    ~OpenRack() {
        if (h) KO_UnOperateDev(h);
    }
    bool open(const Args& a, Output& out, int& status) {
        if (a.positional.size() < 2 || !parseTarget(a.positional[0], a, target)) {
            status = kUsage;
            return false;
        }
        int result = RC_OK;
        h = openTarget(target, result);
        if (!h) status = failedOpen(out, target, result);
        return h != nullptr;
    }
};

// Loads FILE for compare and restore; a file that is damaged in any part is refused whole.
bool loadFile(const std::string& path, rc::RackConfig& file, int& status) {
    rc::LoadResult r = rc::RackFile::load(path, file);
    if (!r.ok) {
        std::fprintf(stderr, "vexactl: %s: %s\n", path.c_str(), r.error.c_str());
        status = kUsage;
        return false;
    }
    if (!r.problems.empty()) {
        for (const auto& p : r.problems) std::fprintf(stderr, "vexactl: %s: %s\n", path.c_str(), p.c_str());
        std::fprintf(stderr, "vexactl: %s: %zu problem(s); the file is not used\n", path.c_str(), r.problems.size());
        status = kUsage;
        return false;
    }
    return true;
}

bool parseSlots(const std::string& list, std::set<int>& out) {
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        char* end = nullptr;
        long v = std::strtol(item.c_str(), &end, 0);
        if (item.empty() || *end || v < 0 || v > 255) {
            std::fprintf(stderr, "vexactl: '%s' is no slot (0 for the coupler, 1..255)\n", item.c_str());
            return false;
        }
        out.insert(static_cast<int>(v));
    }
    return true;
}

void parseWords(const std::string& list, std::set<std::string>& out) {
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty()) out.insert(item);
}

std::string versionPair(const std::string& type, const std::string& hardware) {
    return type.empty() ? "-" : type + " " + hardware;
}

int backup(const Args& a, Output& out) {
    OpenRack r;
    int status = kOk;
    if (!r.open(a, out, status)) return status;
    rc::RackConfig config;
    int result = rc::RackReader(tableKeys()).read(r.h, r.target.kind, config);
    if (result != RC_OK) return finishSdk(out, result);
    auto show = [&](const rc::ModuleConfig& m) {
        Record rec;
        rec.add("slot", m.slot).add("type", m.type).add("hardware", m.hardware);
        if (!m.className.empty()) rec.add("class", m.className);
        rec.add("settings", static_cast<long long>(m.settings.size()));
        out.record(rec);
    };
    show(config.coupler);
    for (const auto& m : config.modules) show(m);
    std::string error;
    if (!rc::RackFile::save(a.positional[1], config, error)) {
        std::fprintf(stderr, "vexactl: %s\n", error.c_str());
        return finishSdk(out, RC_FAILED);
    }
    out.message("saved " + a.positional[1] + ": coupler and " + std::to_string(config.modules.size()) +
                " sub module(s), " + std::to_string(config.settingCount()) + " settings");
    return finishSdk(out, RC_OK);
}

int compare(const Args& a, Output& out) {
    if (a.positional.size() < 2) return kUsage;
    rc::RackConfig file, live;
    int status = kOk;
    if (!loadFile(a.positional[1], file, status)) return status;
    OpenRack r;
    if (!r.open(a, out, status)) return status;
    int result = rc::RackReader(tableKeys()).read(r.h, r.target.kind, live);
    if (result != RC_OK) return finishSdk(out, result);
    rc::Comparison c = rc::RackCompare::compare(file, live);
    for (const auto& m : c.modules) {
        if (m.state != rc::ModuleState::Same)
            out.record(Record()
                           .add("slot", m.slot)
                           .add("module", rc::RackCompare::name(m.state))
                           .add("file", versionPair(m.fileType, m.fileHardware))
                           .add("live", versionPair(m.liveType, m.liveHardware)));
        for (const auto& k : m.keys)
            if (k.state != rc::KeyState::Equal)
                out.record(Record()
                               .add("slot", m.slot)
                               .add("key", k.key)
                               .add("state", rc::RackCompare::name(k.state))
                               .add("file", k.fileText)
                               .add("live", k.liveText));
    }
    out.message(std::to_string(c.count(rc::KeyState::Equal)) + " equal, " +
                std::to_string(c.count(rc::KeyState::Different)) + " different, " +
                std::to_string(c.count(rc::KeyState::OnlyInFile)) + " only in the file, " +
                std::to_string(c.count(rc::KeyState::OnlyLive)) + " only on the rack");
    bool equal = c.equal();
    return out.finish(equal ? 0 : 1, equal ? "EQUAL" : "DIFFERENT", equal);
}

void showIssues(const rc::RestoreReport& report, const char* phase, Output& out) {
    for (const auto& m : report.modules)
        out.record(Record()
                       .add("phase", phase)
                       .add("slot", m.slot)
                       .add("module", rc::RackRestore::name(m.reason))
                       .add("file", versionPair(m.fileType, m.fileHardware))
                       .add("live", versionPair(m.liveType, m.liveHardware))
                       .add("confirmed", m.confirmed ? "yes" : "no"));
}

void showKeys(const rc::RestoreReport& report, const char* phase, Output& out) {
    for (const auto& k : report.keys) {
        if (k.outcome == rc::Outcome::Unchanged) continue;
        Record rec;
        rec.add("phase", phase).add("slot", k.slot).add("key", k.key).add("outcome", rc::RackRestore::name(k.outcome));
        if (k.outcome == rc::Outcome::Skipped) rec.add("reason", rc::RackRestore::name(k.reason));
        rec.add("file", k.fileText).add("live", k.liveText);
        if (k.outcome == rc::Outcome::Written || k.outcome == rc::Outcome::Failed) rec.add("read-back", k.readBack);
        if (k.outcome == rc::Outcome::Refused || (k.outcome == rc::Outcome::Failed && k.rc != RC_OK))
            rec.add("result", sdkResultName(k.rc));
        out.record(rec);
    }
}

std::string counts(const rc::RestoreReport& r, bool written) {
    std::string s = written ? "written " + std::to_string(r.count(rc::Outcome::Written))
                            : "to write " + std::to_string(r.count(rc::Outcome::Planned));
    return s + ", unchanged " + std::to_string(r.count(rc::Outcome::Unchanged)) + ", skipped " +
           std::to_string(r.count(rc::Outcome::Skipped)) + ", refused " +
           std::to_string(r.count(rc::Outcome::Refused)) + ", failed " + std::to_string(r.count(rc::Outcome::Failed));
}

int restore(const Args& a, Output& out) {
    if (a.positional.size() < 2) return kUsage;
    rc::RestoreOptions options;
    if (!parseSlots(a.get("confirm-slot"), options.confirmedSlots)) return kUsage;
    parseWords(a.get("identity"), options.identityKeys);
    options.password = a.get("password");
    rc::RackConfig file;
    int status = kOk;
    if (!loadFile(a.positional[1], file, status)) return status;
    OpenRack r;
    if (!r.open(a, out, status)) return status;
    rc::RackRestore restorer(r.h, options);

    rc::RestoreReport plan = restorer.plan(file);
    if (plan.rc != RC_OK) return finishSdk(out, plan.rc);
    out.message("plan:");
    showIssues(plan, "plan", out);
    showKeys(plan, "plan", out);
    out.message(counts(plan, false));
    if (!a.has("yes")) {
        out.message(
            "nothing written; run again with --yes to write (--confirm-slot N,... to write a mismatched "
            "module, --identity KEY,... to write an identity key)");
        return finishSdk(out, RC_OK);
    }

    rc::RestoreReport report = restorer.apply(file);
    if (report.rc != RC_OK) return finishSdk(out, report.rc);
    out.message("report:");
    showKeys(report, "report", out);
    out.message(counts(report, true));
    return report.ok() ? finishSdk(out, RC_OK) : out.finish(RC_FAILED, "RESTORE_INCOMPLETE", false);
}

}  // namespace

VEXACTL_COMMAND("backup", "backup TARGET FILE", "save the settings of a coupler and its sub modules to a JSON file",
                backup, withTarget());
VEXACTL_COMMAND("compare", "compare TARGET FILE",
                "show what differs between a backup and the rack; exit 1 when anything does", compare, withTarget());
VEXACTL_COMMAND("restore", "restore TARGET FILE [--yes] [--confirm-slot N,..] [--identity KEY,..] [--password P]",
                "show what a backup would change, and with --yes write it and read it back", restore,
                withTarget({Option::flag("yes", "write; without it only the plan is shown"),
                            Option::text("confirm-slot", "N,..", "write these slots even where the module differs"),
                            Option::text("identity", "KEY,..", "write these identity keys too"),
                            Option::text("password", "P", "the coupler's password, if it asks for one")}));

}  // namespace vexactl
