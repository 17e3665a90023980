// Coupler commands: search, props, get, set, reboot.
#include <cstdio>
#include <string>

#include "SdkTarget.h"

namespace vexactl {

namespace {

int searchEth(const Args& a, Output& out) {
    if (a.has("ip"))
        KO_EthSearchByIP(a.get("ip").c_str());
    else
        KO_EthSearchAll();
    char ip[KO_IP_TEXT_SIZE], mac[KO_MAC_TEXT_SIZE];
    int hard, type, mode, flags, extra, rc, found = 0;
    while ((rc = KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra)) == RC_OK) {
        ++found;
        out.record(Record()
                       .add("target", std::string("eth:") + ip)
                       .add("mac", mac)
                       .add("type", hex4(type))
                       .add("mode", hex4(mode))
                       // The coupler sends this word minor byte first.
                       .add("hardver", versionText((hard & 0xFF) << 8 | (hard >> 8 & 0xFF))));
    }
    // The search ends when nobody else answers: that is success when something was found.
    if (rc == RC_NO_REPLY && found) rc = RC_OK;
    return finishSdk(out, rc);
}

int searchRs(const Args& a, Output& out) {
    if (a.positional.size() < 2 || !a.has("station")) {
        std::fprintf(stderr, "usage: vexactl search rs PORT --station N [--ascii] [--baud B]\n");
        return kUsage;
    }
    const std::string& port = a.positional[1];
    int station = static_cast<int>(a.getInt("station", 1));
    int framing = a.has("ascii") ? 1 : 0;
    int rc = KO_RSSearchByID(station, framing, port.c_str(), static_cast<int>(a.getInt("baud", 9600)), 8, 0, 0, 1, 1,
                             0, 0, 1000);
    if (rc == RC_OK) {
        char addr;
        short manufacturer, type, mode, hard, soft;
        int serial;
        rc = KO_RSGetSearch(&addr, &manufacturer, &type, &mode, &hard, &soft, &serial);
        if (rc == RC_OK)
            out.record(Record()
                           .add("target", "rs:" + port + ":" + std::to_string(static_cast<unsigned char>(addr)))
                           .add("type", hex4(type))
                           .add("mode", hex4(mode))
                           .add("hardver", versionText(hard))
                           .add("softver", versionText(soft))
                           .add("manufacturer", static_cast<long long>(static_cast<unsigned short>(manufacturer))));
    }
    return finishSdk(out, rc);
}

int searchHid(const Args&, Output& out) {
    KO_HIDSearchAll();
    char path[KO_HID_PATH_SIZE];
    short manufacturer, type, mode, hard, soft;
    int serial, rc;
    while ((rc = KO_HIDGetSearchDev(path, &manufacturer, &type, &mode, &hard, &soft, &serial)) == RC_OK)
        out.record(Record()
                       .add("target", std::string("hid:") + path)
                       .add("type", hex4(type))
                       .add("mode", hex4(mode))
                       .add("hardver", versionText(hard))
                       .add("softver", versionText(soft)));
    return finishSdk(out, rc == RC_NO_MORE ? RC_OK : rc);
}

int search(const Args& a, Output& out) {
    std::string what = a.positional.empty() ? "" : a.positional[0];
    if (what == "eth") return searchEth(a, out);
    if (what == "rs") return searchRs(a, out);
    if (what == "hid") return searchHid(a, out);
    std::fprintf(stderr, "usage: vexactl search eth [--ip A] | rs PORT --station N [--ascii] | hid\n");
    return kUsage;
}

// Opens the TARGET of positional[0]; on failure prints the result and returns the exit status.
KO_HANDLE open(const Args& a, Output& out, Target& t, int& exitStatus) {
    if (a.positional.empty() || !parseTarget(a.positional[0], a, t)) {
        exitStatus = kUsage;
        return nullptr;
    }
    int rc = RC_OK;
    KO_HANDLE h = openTarget(t, rc);
    if (!h) exitStatus = finishSdk(out, rc == RC_OK ? RC_FAILED : rc);
    return h;
}

int props(const Args& a, Output& out) {
    Target t;
    int status = kOk;
    KO_HANDLE h = open(a, out, t, status);
    if (!h) return status;
    int rc = KO_ReadMainProperty(h);
    if (rc == RC_OK) {
        int n = 0;
        const char* const* keys = mainKeys(t.kind, n);
        for (int i = 0; i < n; ++i) {
            char text[KO_TEXT_SIZE];
            if (KO_GetMainProperty(h, keys[i], text) == RC_OK) out.record(Record().add("key", keys[i]).add("value", text));
        }
    }
    KO_UnOperateDev(h);
    return finishSdk(out, rc);
}

int get(const Args& a, Output& out) {
    if (a.positional.size() < 2) return kUsage;
    Target t;
    int status = kOk;
    KO_HANDLE h = open(a, out, t, status);
    if (!h) return status;
    int rc = KO_ReadMainProperty(h);
    char text[KO_TEXT_SIZE] = {};
    if (rc == RC_OK) rc = KO_GetMainProperty(h, a.positional[1].c_str(), text);
    if (rc == RC_OK) out.record(Record().add("key", a.positional[1]).add("value", text));
    KO_UnOperateDev(h);
    return finishSdk(out, rc);
}

int set(const Args& a, Output& out) {
    if (a.positional.size() < 3) return kUsage;
    Target t;
    int status = kOk;
    KO_HANDLE h = open(a, out, t, status);
    if (!h) return status;
    const std::string& key = a.positional[1];
    int rc = KO_ReadMainProperty(h);
    if (rc == RC_OK) rc = KO_ModifyMainProperty(h, key.c_str(), a.positional[2].c_str());
    if (rc == RC_OK) rc = KO_SubmitMainProperty(h, a.get("password").c_str());
    if (rc == RC_OK) rc = KO_ReadMainProperty(h);
    char text[KO_TEXT_SIZE] = {};
    if (rc == RC_OK && KO_GetMainProperty(h, key.c_str(), text) == RC_OK)
        out.record(Record().add("key", key).add("value", text));
    KO_UnOperateDev(h);
    return finishSdk(out, rc);
}

int reboot(const Args& a, Output& out) {
    Target t;
    int status = kOk;
    KO_HANDLE h = open(a, out, t, status);
    if (!h) return status;
    int rc = KO_RebootDev(h);
    KO_UnOperateDev(h);
    return finishSdk(out, rc);
}

}  // namespace

VEXACTL_COMMAND("search", "search eth [--ip A] | rs PORT --station N [--ascii] [--baud B] | hid",
                "find couplers", search);
VEXACTL_COMMAND("props", "props TARGET", "read every property of a coupler", props);
VEXACTL_COMMAND("get", "get TARGET KEY", "read one coupler property", get);
VEXACTL_COMMAND("set", "set TARGET KEY VALUE [--password P]", "change one coupler property and read it back", set);
VEXACTL_COMMAND("reboot", "reboot TARGET", "restart a coupler", reboot);

}  // namespace vexactl
