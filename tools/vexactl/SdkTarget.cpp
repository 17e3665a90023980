#include "SdkTarget.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CouplerKeys.h"

namespace vexactl {

namespace {

struct ResultName {
    int code;
    const char* name;
};
constexpr ResultName kResultNames[] = {
    {RC_OK, "RC_OK"},
    {RC_PARSE_FAILED, "RC_PARSE_FAILED"},
    {RC_BAD_REPLY, "RC_BAD_REPLY"},
    {RC_DEVICE_ERROR, "RC_DEVICE_ERROR"},
    {RC_ERROR_REPLY, "RC_ERROR_REPLY"},
    {RC_SEND_FAILED, "RC_SEND_FAILED"},
    {RC_NO_REPLY, "RC_NO_REPLY"},
    {RC_OPEN_FAILED, "RC_OPEN_FAILED"},
    {RC_NOT_READ, "RC_NOT_READ"},
    {RC_DATA_NOT_READ, "RC_DATA_NOT_READ"},
    {RC_KEY_UNKNOWN, "RC_KEY_UNKNOWN"},
    {RC_DATA_KEY_UNKNOWN, "RC_DATA_KEY_UNKNOWN"},
    {RC_NOTHING_TO_SUBMIT, "RC_NOTHING_TO_SUBMIT"},
    {RC_NO_MORE, "RC_NO_MORE"},
    {RC_HID_NOT_SENT, "RC_HID_NOT_SENT"},
    {RC_HID_NOT_OK, "RC_HID_NOT_OK"},
    {RC_HID_NO_REPLY, "RC_HID_NO_REPLY"},
    {RC_RECORD_TOO_SMALL, "RC_RECORD_TOO_SMALL"},
    {RC_FAILED, "RC_FAILED"},
};

}  // namespace

const char* sdkResultName(int rc) {
    for (const auto& r : kResultNames)
        if (r.code == rc) return r.name;
    return rc > 0 && rc < 256 ? "MODBUS_EXCEPTION" : "UNKNOWN";
}

const char* const* mainKeys(int kind, int& count) {
    auto keys = vexa::rackconfig::couplerKeys(kind);
    count = static_cast<int>(keys.size());
    return keys.data();
}

bool parseTarget(const std::string& text, const Args& args, Target& out) {
    out = Target{};
    out.baud = static_cast<int>(args.getInt("baud", 9600));
    out.framing = args.has("ascii") ? 1 : 0;
    if (text.rfind("eth:", 0) == 0 && text.size() > 4) {
        out.kind = KO_KIND_ETHERNET;
        out.address = text.substr(4);
        return true;
    }
    if (text.rfind("rs:", 0) == 0) {
        auto colon = text.rfind(':');
        if (colon > 3) {
            out.kind = KO_KIND_SERIAL;
            out.address = text.substr(3, colon - 3);
            out.station = std::atoi(text.c_str() + colon + 1);
            if (out.station >= 1 && out.station <= 247) return true;
        }
    }
    if (text == "hid" || text.rfind("hid:", 0) == 0) {
        out.kind = KO_KIND_HID;
        out.address = text.size() > 4 ? text.substr(4) : "";
        return true;
    }
    std::fprintf(stderr, "vexactl: '%s' names no coupler (eth:ADDRESS, rs:PORT:STATION or hid[:PATH])\n",
                 text.c_str());
    return false;
}

KO_HANDLE openTarget(const Target& t, int& rc) {
    if (t.kind == KO_KIND_ETHERNET) {
        KO_EthSearchByIP(t.address.c_str());
        char ip[KO_IP_TEXT_SIZE], mac[KO_MAC_TEXT_SIZE];
        int hard, type, mode, flags, extra;
        while ((rc = KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra)) == RC_OK) {
            if (t.address == ip) {
                KO_HANDLE h = KO_EthSetOperateDev(ip, mac, type, mode);
                rc = h ? RC_OK : RC_FAILED;
                return h;
            }
        }
        return nullptr;
    }
    if (t.kind == KO_KIND_SERIAL) {
        rc = KO_RSSearchByID(t.station, t.framing, t.address.c_str(), t.baud, 8, 0, 0, 1, 1, 0, 0, 1000);
        if (rc != RC_OK) return nullptr;
        char addr;
        short manufacturer, type, mode, hard, soft;
        int serial;
        rc = KO_RSGetSearch(&addr, &manufacturer, &type, &mode, &hard, &soft, &serial);
        if (rc != RC_OK) return nullptr;
        KO_HANDLE h = KO_RSSetOperateDev(static_cast<unsigned char>(addr), static_cast<unsigned short>(type),
                                         static_cast<unsigned short>(mode), t.framing, t.address.c_str(), t.baud, 8,
                                         0, 0, 1, 1, 0, 0, 1000);
        rc = h ? RC_OK : RC_OPEN_FAILED;
        return h;
    }
    KO_HIDSearchAll();
    char path[KO_HID_PATH_SIZE];
    short manufacturer, type, mode, hard, soft;
    int serial;
    while ((rc = KO_HIDGetSearchDev(path, &manufacturer, &type, &mode, &hard, &soft, &serial)) == RC_OK) {
        if (t.address.empty() || t.address == path) {
            KO_HANDLE h = KO_HIDSetOperateDev(path, static_cast<unsigned short>(type), 0);
            rc = h ? RC_OK : RC_OPEN_FAILED;
            return h;
        }
    }
    return nullptr;
}

int finishSdk(Output& out, int rc) { return out.finish(rc, sdkResultName(rc), rc == RC_OK); }

std::string hex4(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%04x", v & 0xFFFF);
    return b;
}

std::string versionText(int v) {
    char b[16];
    std::snprintf(b, sizeof b, "V%d.%02d", (v >> 8) & 0xFF, v & 0xFF);
    return b;
}

}  // namespace vexactl
