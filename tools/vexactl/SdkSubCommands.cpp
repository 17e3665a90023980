// Sub-module commands: subs, sub-props, sub-data, sub-set, sub-reboot.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SdkTarget.h"

namespace vexactl {

namespace {

struct Slot {
    int index = -1;
    int address = 0, manufacturer = 0, type = 0, mode = 0, hardVer = 0, softVer = 0;
    unsigned char serial[4] = {};  // as the search reported them
};

bool slotAt(KO_HANDLE h, int index, Slot& s) {
    short addr, manufacturer, type, mode, hard, soft;
    int serial;
    if (KO_GetSearchSubDev(h, &addr, &manufacturer, &type, &mode, &hard, &soft, &serial, index) != RC_OK) return false;
    s.index = index;
    s.address = static_cast<unsigned short>(addr);
    s.manufacturer = static_cast<unsigned short>(manufacturer);
    s.type = static_cast<unsigned short>(type);
    s.mode = static_cast<unsigned short>(mode);
    s.hardVer = static_cast<unsigned short>(hard);
    s.softVer = static_cast<unsigned short>(soft);
    std::memcpy(s.serial, &serial, 4);
    return true;
}

bool slotWithAddress(KO_HANDLE h, int address, Slot& s) {
    for (int i = 0; i < KO_SUB_SLOTS; ++i)
        if (slotAt(h, i, s) && s.address == address) return true;
    return false;
}

std::string className(const Slot& s) {
    std::string name = subClassName(s.type, s.hardVer);
    return name.empty() ? "(no class)" : name;
}

// The coupler of positional[0] and its sub module at positional[1], opened; on failure the
// outcome is printed and `status` holds the exit status.
struct OpenSub {
    KO_HANDLE main = nullptr;
    KO_SUBHANDLE sub = nullptr;
    Slot slot;
    ~OpenSub() {
        if (main) KO_UnOperateDev(main);
    }
};

bool openSub(const Args& a, Output& out, OpenSub& o, int& status) {
    Target t;
    if (a.positional.size() < 2 || !parseTarget(a.positional[0], a, t)) {
        status = kUsage;
        return false;
    }
    char* end = nullptr;
    long address = std::strtol(a.positional[1].c_str(), &end, 0);
    if (*end || address < 1 || address > 255) {
        std::fprintf(stderr, "vexactl: '%s' is no sub-module address\n", a.positional[1].c_str());
        status = kUsage;
        return false;
    }
    int rc = RC_OK;
    o.main = openTarget(t, rc);
    if (!o.main) {
        status = failedOpen(out, t, rc);
        return false;
    }
    if (!slotWithAddress(o.main, static_cast<int>(address), o.slot)) {
        out.message("no sub module at address " + std::to_string(address));
        status = finishSdk(out, RC_FAILED);
        return false;
    }
    o.sub = KO_SetOperateSubDev(o.main, static_cast<int>(address));
    if (!o.sub) {
        out.message("no class serves type " + hex4(o.slot.type));
        status = finishSdk(out, RC_FAILED);
        return false;
    }
    return true;
}

// The keys named after TARGET ADDR, or every key of the module's class.
std::vector<std::string> keysToShow(const Args& a, const Slot& s, bool data, std::size_t firstKeyArg) {
    if (a.positional.size() > firstKeyArg)
        return std::vector<std::string>(a.positional.begin() + static_cast<long>(firstKeyArg), a.positional.end());
    std::vector<std::string> keys;
    for (auto& k : subClassKeys(s.type, s.hardVer, data)) keys.push_back(std::move(k.key));
    return keys;
}

void showKeys(KO_SUBHANDLE sub, const std::vector<std::string>& keys, bool data, Output& out) {
    for (const auto& key : keys) {
        char text[KO_TEXT_SIZE] = {};
        int rc = data ? KO_GetSubDevData(sub, key.c_str(), text) : KO_GetSubDevProperty(sub, key.c_str(), text);
        out.record(Record().add("key", key).add("value", rc == RC_OK ? std::string(text) : sdkResultName(rc)));
    }
}

int subs(const Args& a, Output& out) {
    Target t;
    if (a.positional.empty() || !parseTarget(a.positional[0], a, t)) return kUsage;
    int rc = RC_OK;
    KO_HANDLE h = openTarget(t, rc);
    if (!h) return failedOpen(out, t, rc);
    for (int i = 0; i < KO_SUB_SLOTS; ++i) {
        Slot s;
        if (!slotAt(h, i, s)) continue;
        char serial[12];
        std::snprintf(serial, sizeof serial, "%02x%02x%02x%02x", s.serial[0], s.serial[1], s.serial[2], s.serial[3]);
        out.record(Record()
                       .add("slot", i)
                       .add("address", s.address)
                       .add("type", hex4(s.type))
                       .add("class", className(s))
                       .add("mode", hex4(s.mode))
                       .add("hardver", versionText(s.hardVer))
                       .add("softver", versionText(s.softVer))
                       .add("serial", serial));
    }
    KO_UnOperateDev(h);
    return finishSdk(out, RC_OK);
}

int subProps(const Args& a, Output& out) {
    OpenSub o;
    int status = kOk;
    if (!openSub(a, out, o, status)) return status;
    int rc = KO_ReadSubDevProperty(o.sub);
    if (rc == RC_OK) showKeys(o.sub, keysToShow(a, o.slot, false, 2), false, out);
    return finishSdk(out, rc);
}

int subData(const Args& a, Output& out) {
    OpenSub o;
    int status = kOk;
    if (!openSub(a, out, o, status)) return status;
    // The settings decide how the data reads (ranges, coefficients).
    int rc = KO_ReadSubDevProperty(o.sub);
    if (rc == RC_OK) rc = KO_ReadSubDevData(o.sub);
    if (rc == RC_OK) showKeys(o.sub, keysToShow(a, o.slot, true, 2), true, out);
    return finishSdk(out, rc);
}

// True when `key` is a process input of the slot's class: the module measures it, so a write
// would be taken and then overwritten by the next measurement.
bool isInput(const Slot& slot, const std::string& key) {
    for (const auto& k : subClassKeys(slot.type, slot.hardVer, true))
        if (k.key == key) return k.role == KO_ROLE_INPUT;
    return false;
}

int subSet(const Args& a, Output& out) {
    if (a.positional.size() < 4) return kUsage;
    OpenSub o;
    int status = kOk;
    if (!openSub(a, out, o, status)) return status;
    bool data = a.has("data");
    const std::string& key = a.positional[2];
    const std::string& value = a.positional[3];
    if (data && isInput(o.slot, key)) {
        std::fprintf(stderr, "vexactl: %s is an input the module measures; only outputs take a value\n", key.c_str());
        return kUsage;
    }
    int rc = KO_ReadSubDevProperty(o.sub);
    if (rc == RC_OK && data) rc = KO_ReadSubDevData(o.sub);
    if (rc == RC_OK)
        rc = data ? KO_ModifySubDevData(o.sub, key.c_str(), value.c_str())
                  : KO_ModifySubDevProperty(o.sub, key.c_str(), value.c_str());
    if (rc == RC_OK) rc = data ? KO_SubmitSubDevData(o.sub) : KO_SubmitSubDevProperty(o.sub);
    // Read back what the module holds now.
    if (rc == RC_OK) rc = KO_ReadSubDevProperty(o.sub);
    if (rc == RC_OK && data) rc = KO_ReadSubDevData(o.sub);
    if (rc == RC_OK) showKeys(o.sub, {key}, data, out);
    return finishSdk(out, rc);
}

int subReboot(const Args& a, Output& out) {
    if (a.positional.size() < 2) return kUsage;
    OpenSub o;
    int status = kOk;
    if (!openSub(a, out, o, status)) return status;
    return finishSdk(out, KO_RebootSubDev(o.main, o.slot.address));
}

}  // namespace

VEXACTL_COMMAND("subs", "subs TARGET", "list a coupler's sub modules", subs, withTarget());
VEXACTL_COMMAND("sub-props", "sub-props TARGET ADDR [KEY...]", "read a sub module's settings as texts", subProps,
                withTarget());
VEXACTL_COMMAND("sub-data", "sub-data TARGET ADDR [KEY...]", "read a sub module's process values as texts",
                subData, withTarget());
VEXACTL_COMMAND("sub-set", "sub-set TARGET ADDR KEY VALUE [--data]",
                "change one sub-module setting (or, with --data, a process value) and read it back", subSet,
                withTarget({Option::flag("data", "KEY is a process value, not a setting")}));
VEXACTL_COMMAND("sub-reboot", "sub-reboot TARGET ADDR", "restart a sub module", subReboot, withTarget());

}  // namespace vexactl
