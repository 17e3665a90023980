// Coupler commands: search, props, get, set, reboot.
#include <arpa/inet.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "SdkTarget.h"

namespace vexactl {

namespace {

// One rule for every kind: a search that found something succeeds; one that found nothing
// fails, saying so, unless the library reported a failure of its own.
int finishSearch(Output& out, int found, int rc) {
    if (found > 0) return finishSdk(out, RC_OK);
    if (rc == RC_OK || rc == RC_NO_REPLY || rc == RC_NO_MORE) {
        out.message("no coupler answered");
        return out.finish(RC_NO_REPLY, "NOTHING_FOUND", false);
    }
    return finishSdk(out, rc);
}

int searchEth(const Args& a, Output& out) {
    const std::string only = a.get("ip");
    in_addr address{};
    if (a.has("ip") && ::inet_pton(AF_INET, only.c_str(), &address) != 1) {
        std::fprintf(stderr, "vexactl: '%s' is no IPv4 address\n", only.c_str());
        return kUsage;
    }
    if (!only.empty())
        KO_EthSearchByIP(only.c_str());
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
        // One address asked and answered: no need to wait out the library's collecting window.
        if (!only.empty() && only == ip) break;
    }
    return finishSearch(out, found, rc);
}

// "N" or "A-B", stations 1..247.
bool parseStations(const std::string& text, int& first, int& last) {
    char tail = 0;
    int n = std::sscanf(text.c_str(), "%d-%d%c", &first, &last, &tail);
    if (n == 1) last = first;
    if ((n != 1 && n != 2) || first < 1 || last > 247 || first > last) return false;
    return true;
}

int searchRs(const Args& a, Output& out) {
    int first = 0, last = 0;
    if (a.positional.size() < 2 || !a.has("station") || !parseStations(a.get("station"), first, last)) return kUsage;
    const std::string& port = a.positional[1];
    const int framing = a.has("ascii") ? 1 : 0;
    const int baud = static_cast<int>(a.getInt("baud", 9600));
    // A station that is not there costs the whole wait: a range asks each one briefly.
    const int timeout = static_cast<int>(a.getInt("timeout", first == last ? 1000 : 300));
    Progress bar(first != last && !out.json());
    int rc = RC_OK, found = 0;
    for (int station = first; station <= last; ++station) {
        bar.show(station - first, last - first + 1, "station " + std::to_string(station) + ", " +
                                                       std::to_string(found) + " found");
        rc = KO_RSSearchByID(station, framing, port.c_str(), baud, 8, 0, 0, 1, 1, 0, 0, timeout);
        if (rc == RC_OPEN_FAILED) break;  // the port, not the station: asking on is pointless
        if (rc != RC_OK) continue;
        char addr;
        short manufacturer, type, mode, hard, soft;
        int serial;
        if (KO_RSGetSearch(&addr, &manufacturer, &type, &mode, &hard, &soft, &serial) != RC_OK) continue;
        ++found;
        out.record(Record()
                       .add("target", "rs:" + port + ":" + std::to_string(static_cast<unsigned char>(addr)))
                       .add("type", hex4(type))
                       .add("mode", hex4(mode))
                       .add("hardver", versionText(hard))
                       .add("softver", versionText(soft))
                       .add("manufacturer", static_cast<long long>(static_cast<unsigned short>(manufacturer))));
    }
    bar.end();
    return finishSearch(out, found, rc);
}

int searchHid(const Args&, Output& out) {
    KO_HIDSearchAll();
    char path[KO_HID_PATH_SIZE];
    short manufacturer, type, mode, hard, soft;
    int serial, rc, found = 0;
    while ((rc = KO_HIDGetSearchDev(path, &manufacturer, &type, &mode, &hard, &soft, &serial)) == RC_OK) {
        ++found;
        out.record(Record()
                       .add("target", std::string("hid:") + path)
                       .add("type", hex4(type))
                       .add("mode", hex4(mode))
                       .add("hardver", versionText(hard))
                       .add("softver", versionText(soft)));
    }
    return finishSearch(out, found, rc);
}

int search(const Args& a, Output& out) {
    std::string what = a.positional.empty() ? "" : a.positional[0];
    if (what == "eth") return searchEth(a, out);
    if (what == "rs") return searchRs(a, out);
    if (what == "hid") return searchHid(a, out);
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
    if (!h) exitStatus = failedOpen(out, t, rc);
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

VEXACTL_COMMAND("search", "search eth [--ip A] | rs PORT --station N|A-B [--ascii] [--baud B] [--timeout MS] | hid",
                "find couplers", search,
                withTarget({Option::text("ip", "A", "eth: ask only the coupler at this address"),
                            Option::stations("station", 1, 247, "rs: the station, or each of a range"),
                            Option::number("timeout", "MS", 1, 60000, "rs: how long each station may take")}));
VEXACTL_COMMAND("props", "props TARGET", "read every property of a coupler", props, withTarget());
VEXACTL_COMMAND("get", "get TARGET KEY", "read one coupler property", get, withTarget());
VEXACTL_COMMAND("set", "set TARGET KEY VALUE [--password P]", "change one coupler property and read it back", set,
                withTarget({Option::text("password", "P", "the coupler's password, if it asks for one")}));
VEXACTL_COMMAND("reboot", "reboot TARGET", "restart a coupler", reboot, withTarget());

}  // namespace vexactl
