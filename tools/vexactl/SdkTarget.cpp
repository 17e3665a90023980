#include "SdkTarget.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CouplerKeys.h"

namespace vexactl {

namespace {

struct ResultName {
    int code;
    const char* name;
    const char* meaning;
};
constexpr ResultName kResultNames[] = {
    {RC_OK, "RC_OK", "done"},
    {RC_PARSE_FAILED, "RC_PARSE_FAILED", "a reply did not parse"},
    {RC_BAD_REPLY, "RC_BAD_REPLY", "the reply does not belong to the request"},
    {RC_DEVICE_ERROR, "RC_DEVICE_ERROR", "the device answered with an error"},
    {RC_ERROR_REPLY, "RC_ERROR_REPLY", "the coupler refused the request"},
    {RC_SEND_FAILED, "RC_SEND_FAILED", "the request could not be sent"},
    {RC_NO_REPLY, "RC_NO_REPLY", "no reply from the device"},
    {RC_OPEN_FAILED, "RC_OPEN_FAILED", "the device or port could not be opened"},
    {RC_NOT_READ, "RC_NOT_READ", "the properties were not read yet"},
    {RC_DATA_NOT_READ, "RC_DATA_NOT_READ", "the process values were not read yet"},
    {RC_KEY_UNKNOWN, "RC_KEY_UNKNOWN", "the module has no such setting"},
    {RC_DATA_KEY_UNKNOWN, "RC_DATA_KEY_UNKNOWN", "the module has no such process value"},
    {RC_NOTHING_TO_SUBMIT, "RC_NOTHING_TO_SUBMIT", "nothing was changed"},
    {RC_NO_MORE, "RC_NO_MORE", "no further device"},
    {RC_HID_NOT_SENT, "RC_HID_NOT_SENT", "the USB request could not be sent"},
    {RC_HID_NOT_OK, "RC_HID_NOT_OK", "the USB coupler did not accept the request"},
    {RC_HID_NO_REPLY, "RC_HID_NO_REPLY", "no reply from the USB coupler"},
    {RC_RECORD_TOO_SMALL, "RC_RECORD_TOO_SMALL", "the record is too small"},
    {RC_TYPE_UNKNOWN, "RC_TYPE_UNKNOWN", "no class serves this sub-module type"},
    {RC_INVALID_PARAM, "RC_INVALID_PARAM", "an argument is missing or out of range"},
    {RC_BUFFER_TOO_SMALL, "RC_BUFFER_TOO_SMALL", "the text does not fit the buffer"},
    {RC_FAILED, "RC_FAILED", "refused: a bad value, handle or argument"},
};

// Type codes a coupler reports while its boot loader runs (older firmware: 9999 decimal).
constexpr int kBootLoaderTypes[] = {0x9999, 0x270F};
// The last search found the coupler, but in its boot loader.
bool g_inBootLoader = false;

bool bootLoaderType(int type) {
    for (int t : kBootLoaderTypes)
        if ((type & 0xFFFF) == t) return true;
    return false;
}

std::string bootLoaderAdvice(const Target& t) {
    if (t.kind == KO_KIND_SERIAL) {
        const std::string where = "--plugin ModBus --port " + t.address + " --station " + std::to_string(t.station) +
                                  " --baud " + std::to_string(t.baud);
        return "the coupler at station " + std::to_string(t.station) + " on " + t.address +
               " runs its boot loader, not its application (vexactl boot-info " + where +
               "; vexactl upgrade " + where + " FILE, or boot-info ... --reset to start the firmware it has)";
    }
    return "the coupler " + (t.address.empty() ? std::string("found") : "at " + t.address) +
           " runs its boot loader, not its application (vexactl upgrade ... FILE, or a reset)";
}

const ResultName* resultRow(int rc) {
    for (const auto& r : kResultNames)
        if (r.code == rc) return &r;
    return nullptr;
}

}  // namespace

const char* sdkResultName(int rc) {
    if (const ResultName* r = resultRow(rc)) return r->name;
    return rc > 0 && rc < 256 ? "MODBUS_EXCEPTION" : "UNKNOWN";
}

const char* sdkResultMeaning(int rc) {
    if (const ResultName* r = resultRow(rc)) return r->meaning;
    return rc > 0 && rc < 256 ? "the device answered with a Modbus exception" : "unknown result";
}

std::string whyNotOpened(const Target& t, int rc) {
    if (g_inBootLoader) return bootLoaderAdvice(t);
    switch (t.kind) {
        case KO_KIND_ETHERNET: return "no coupler answered at " + t.address;
        case KO_KIND_SERIAL: {
            // The library says only that the port did not open; the system says why.
            int fd = ::open(t.address.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd < 0) return t.address + ": " + std::strerror(errno);
            ::close(fd);
            if (rc == RC_OPEN_FAILED) return t.address + " opens, but the coupler at station " +
                                             std::to_string(t.station) + " cannot be operated";
            return "no coupler answered at station " + std::to_string(t.station) + " on " + t.address;
        }
        default: {
            const char* bus = std::getenv("VEXA_HID");
            if (bus && std::strncmp(bus, "sim:", 4) == 0) {
                struct stat st{};
                if (::stat(bus + 4, &st) != 0 || !S_ISDIR(st.st_mode))
                    return std::string("VEXA_HID=") + bus + ": no such folder (is the simulated rack running?)";
            }
            return t.address.empty() ? "no USB coupler found" : "no such device: " + t.address;
        }
    }
}

int failedOpen(Output& out, const Target& t, int rc) {
    if (rc == RC_OK) rc = RC_FAILED;
    out.message(whyNotOpened(t, rc));
    return finishSdk(out, rc);
}

const char* const* mainKeys(int kind, int& count) {
    auto keys = vexa::rackconfig::couplerKeys(kind);
    count = static_cast<int>(keys.size());
    return keys.data();
}

std::vector<Option> withTarget(std::vector<Option> more) {
    std::vector<Option> all = {Option::number("baud", "B", 1, 4000000, "line speed of an rs: target (default 9600)"),
                               Option::flag("ascii", "ASCII framing for an rs: target")};
    all.insert(all.end(), more.begin(), more.end());
    return all;
}

bool parseTarget(const std::string& text, const Args& args, Target& out) {
    out = Target{};
    out.baud = static_cast<int>(args.getInt("baud", 9600));
    out.framing = args.has("ascii") ? 1 : 0;
    if (text.rfind("eth:", 0) == 0 && text.size() > 4) {
        out.kind = KO_KIND_ETHERNET;
        out.address = text.substr(4);
        in_addr a{};
        if (::inet_pton(AF_INET, out.address.c_str(), &a) != 1) {
            std::fprintf(stderr, "vexactl: '%s' is no IPv4 address\n", out.address.c_str());
            return false;
        }
        return true;
    }
    if (text.rfind("rs:", 0) == 0) {
        auto colon = text.rfind(':');
        if (colon > 3) {
            out.kind = KO_KIND_SERIAL;
            out.address = text.substr(3, colon - 3);
            // The whole rest is the station: "rs:PORT:4x" names none.
            char* end = nullptr;
            const long station = std::strtol(text.c_str() + colon + 1, &end, 10);
            out.station = static_cast<int>(station);
            if (end != text.c_str() + colon + 1 && *end == '\0' && station >= 1 && station <= 247) return true;
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
    // A coupler in its boot loader answers the search, but none of the requests of its
    // application: it is not operated, and whyNotOpened() says why.
    g_inBootLoader = false;
    auto inBoot = [&](int type) {
        if (!bootLoaderType(type)) return false;
        g_inBootLoader = true;
        rc = RC_OPEN_FAILED;
        return true;
    };
    if (t.kind == KO_KIND_ETHERNET) {
        KO_EthSearchByIP(t.address.c_str());
        char ip[KO_IP_TEXT_SIZE], mac[KO_MAC_TEXT_SIZE];
        int hard, type, mode, flags, extra;
        while ((rc = KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra)) == RC_OK) {
            if (t.address == ip) {
                if (inBoot(type)) return nullptr;
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
        if (rc != RC_OK || inBoot(type)) return nullptr;
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
            if (inBoot(type)) return nullptr;
            KO_HANDLE h = KO_HIDSetOperateDev(path, static_cast<unsigned short>(type), 0);
            rc = h ? RC_OK : RC_OPEN_FAILED;
            return h;
        }
    }
    return nullptr;
}

int finishSdk(Output& out, int rc) { return out.finish(rc, sdkResultName(rc), rc == RC_OK, sdkResultMeaning(rc)); }

std::string subClassName(int type, int hardVer) {
    char name[KO_TEXT_SIZE];
    return KO_GetSubClassName(type, hardVer, name, sizeof name) == RC_OK ? name : "";
}

std::vector<SubKey> subClassKeys(int type, int hardVer, bool data) {
    std::vector<SubKey> keys;
    char key[KO_TEXT_SIZE];
    int role = 0;
    // Bounded by the catalog: it ends with RC_NO_MORE (or an error for a type it lacks).
    for (int i = 0; KO_GetSubClassKey(type, hardVer, data ? 1 : 0, i, key, sizeof key, &role) == RC_OK; ++i)
        keys.push_back({key, role});
    return keys;
}

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
