// vexa-demo: the tool-set at work on the built-in simulated rack, through the public exports
// only. Each coupler is found, opened, read, changed and read back; its sub modules are listed,
// and the first one is read as engineering texts and one of its settings changed.
//
//   vexa-demo            run the scripted demo and exit
//   vexa-demo --stay     then keep the rack running for vexactl (prints the environment to use)
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "VexaSdk.h"
#include "sim/SimRack.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

int g_failures = 0;

void check(const char* what, int rc) {
    std::printf("  %-44s %s\n", what, rc == RC_OK ? "ok" : ("failed, result " + std::to_string(rc)).c_str());
    if (rc != RC_OK) ++g_failures;
}

void showProperties(KO_HANDLE h, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        char text[KO_TEXT_SIZE] = {};
        if (KO_GetMainProperty(h, key, text) == RC_OK) std::printf("    %-20s %s\n", key, text);
    }
}

void showSubModules(KO_HANDLE h) {
    for (int i = 0; i < KO_SUB_SLOTS; ++i) {
        short addr, manufacturer, type, mode, hard, soft;
        int serial;
        if (KO_GetSearchSubDev(h, &addr, &manufacturer, &type, &mode, &hard, &soft, &serial, i) != RC_OK) continue;
        std::printf("    slot %d: address %d, VEXA-%04x, hardware V%d.%02d\n", i, addr, static_cast<unsigned short>(type),
                    (hard >> 8) & 0xFF, hard & 0xFF);
    }
}

// What the demo shows and changes of a sub module, by type.
struct SubShow {
    unsigned short type;
    const char* setting;   // a property to change
    const char* newValue;
    const char* data;      // a process value to show
};
constexpr SubShow kSubShows[] = {
    {0x4017, "SET_AIN_TYPE_0", "1", "DATA_AIN_0"},
    {0x3800, "SET_AIN_TYPE_0", "1", "DATA_AIN_0"},
    {0x5508, "SET_AIN_MAX_0", "80.5", "DATA_AIN_0"},
    {0x2808, "SET_DOUT_DEFAULT_0", "1", "DATA_DOUT_0"},
    {0x1804, "DATA_DIN_ENABLE_0", "1", "DATA_COUNT_0"},
    {0x4400, "SET_AOUT_TYPE_0", "1", "DATA_AOUT_0"},
};

// The first sub module: read its settings and process values as texts, change one setting.
void firstSubModule(KO_HANDLE h) {
    short addr, manufacturer, type, mode, hard, soft;
    int serial;
    if (KO_GetSearchSubDev(h, &addr, &manufacturer, &type, &mode, &hard, &soft, &serial, 0) != RC_OK) return;
    const SubShow* show = nullptr;
    for (const auto& s : kSubShows)
        if (s.type == static_cast<unsigned short>(type)) show = &s;
    KO_SUBHANDLE s = KO_SetOperateSubDev(h, addr);
    check("select sub module", s ? RC_OK : RC_FAILED);
    if (!s || !show) return;
    check("read its settings", KO_ReadSubDevProperty(s));
    check("read its process values", KO_ReadSubDevData(s));
    char text[KO_TEXT_SIZE] = {};
    KO_GetSubDevProperty(s, "SLAVER_TYPE", text);
    std::printf("    %-20s %s\n", "SLAVER_TYPE", text);
    KO_GetSubDevData(s, show->data, text);
    std::printf("    %-20s %s\n", show->data, text);
    check((std::string("modify ") + show->setting).c_str(), KO_ModifySubDevProperty(s, show->setting, show->newValue));
    check("submit", KO_SubmitSubDevProperty(s));
    check("read back", KO_ReadSubDevProperty(s));
    KO_GetSubDevProperty(s, show->setting, text);
    std::printf("    %-20s %s\n", show->setting, text);
    if (KO_ReadSubDevData(s) == RC_OK && KO_GetSubDevData(s, show->data, text) == RC_OK)
        std::printf("    %-20s %s\n", show->data, text);
}

// The USB coupler is a CANopen coupler: its sub modules' channels are mapped into its object
// dictionary; download the I/O mapping and read back what the coupler holds.
void canOpenMapping(KO_HANDLE h) {
    int channels = 0;
    check("count CANopen I/O channels", KO_HidGetIOChl(h, nullptr, 0, &channels));
    check("download the I/O mapping", KO_HidDownloadIO(h));
    int io = 0, sdo = 0, tpdo = 0, rpdo = 0;
    check("read the mapping back", KO_HidGetMapInfo(h, &io, &sdo, &tpdo, &rpdo));
    std::printf("    %d I/O channels; the coupler holds %d I/O map entries, %d SDO, %d TPDO, %d RPDO\n", channels,
                io, sdo, tpdo, rpdo);
}

// Modify, submit, read back, and show the value the coupler now holds.
void changeAndReadBack(KO_HANDLE h, const char* key, const char* value) {
    char before[KO_TEXT_SIZE] = {}, after[KO_TEXT_SIZE] = {};
    KO_GetMainProperty(h, key, before);
    check((std::string("modify ") + key).c_str(), KO_ModifyMainProperty(h, key, value));
    check("submit", KO_SubmitMainProperty(h, ""));
    check("read back", KO_ReadMainProperty(h));
    KO_GetMainProperty(h, key, after);
    std::printf("    %s: \"%s\" -> \"%s\"\n", key, before, after);
    if (std::strcmp(after, value) != 0) ++g_failures;
}

void ethernet(vexa::sim::SimRack& rack) {
    std::printf("\nEthernet coupler (UDP port 8801, search sent to %s)\n", rack.hubAddress().c_str());
    KO_EthSearchAll();
    char ip[KO_IP_TEXT_SIZE], mac[KO_MAC_TEXT_SIZE];
    int hard, type, mode, flags, extra;
    if (KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra) != RC_OK) {
        check("search", RC_NO_REPLY);
        return;
    }
    std::printf("  found %s (MAC %s)\n", ip, mac);
    KO_HANDLE h = KO_EthSetOperateDev(ip, mac, type, mode);
    check("operate", h ? RC_OK : RC_FAILED);
    if (!h) return;
    check("read properties", KO_ReadMainProperty(h));
    showProperties(h, {"MAIN_TYPE", "MAIN_MAC", "MAIN_HARDVER", "MAIN_NAME", "MAIN_IP", "MAIN_MASK"});
    changeAndReadBack(h, "MAIN_NAME", "demo line 1");
    showSubModules(h);
    firstSubModule(h);
    KO_UnOperateDev(h);
}

void serial(vexa::sim::SimRack& rack, vexa::sim::SimCoupler* c) {
    std::string port = rack.serialPath(c->line());
    std::printf("\nRS-485 coupler (Modbus RTU on %s, station %d)\n", port.c_str(), c->station());
    check("search station", KO_RSSearchByID(c->station(), 0, port.c_str(), 115200, 8, 0, 0, 1, 1, 0, 0, 1000));
    char addr;
    short manufacturer, type, mode, hard, soft;
    int serialNo;
    int rc = KO_RSGetSearch(&addr, &manufacturer, &type, &mode, &hard, &soft, &serialNo);
    check("station reply", rc);
    if (rc != RC_OK) return;
    KO_HANDLE h = KO_RSSetOperateDev(addr, static_cast<unsigned short>(type), static_cast<unsigned short>(mode), 0,
                                     port.c_str(), 115200, 8, 0, 0, 1, 1, 0, 0, 1000);
    check("operate", h ? RC_OK : RC_FAILED);
    if (!h) return;
    check("read properties", KO_ReadMainProperty(h));
    showProperties(h, {"MAIN_TYPE", "MAIN_HARDVER", "MAIN_SOFTVER", "MAIN_SNCODE", "MAIN_NAME", "MAIN_BYTE_TO"});
    changeAndReadBack(h, "MAIN_BYTE_TO", "250");
    showSubModules(h);
    firstSubModule(h);
    KO_UnOperateDev(h);
}

void usb(vexa::sim::SimRack& rack) {
    std::printf("\nUSB coupler (HID, simulated bus in %s)\n", rack.hidFolder().c_str());
    KO_HIDSearchAll();
    char path[KO_HID_PATH_SIZE];
    short manufacturer, type, mode, hard, soft;
    int serialNo;
    if (KO_HIDGetSearchDev(path, &manufacturer, &type, &mode, &hard, &soft, &serialNo) != RC_OK) {
        check("search", RC_NO_MORE);
        return;
    }
    std::printf("  found %s\n", path);
    KO_HANDLE h = KO_HIDSetOperateDev(path, static_cast<unsigned short>(type), 0);
    check("operate", h ? RC_OK : RC_FAILED);
    if (!h) return;
    check("read properties", KO_ReadMainProperty(h));
    showProperties(h, {"MAIN_TYPE", "MAIN_HARDVER", "MAIN_SNCODE", "MAIN_CANOPEN_ADDR", "MAIN_USER_CANBAUD"});
    changeAndReadBack(h, "MAIN_CANOPEN_ADDR", "12");
    showSubModules(h);
    firstSubModule(h);
    canOpenMapping(h);
    KO_UnOperateDev(h);
}

}  // namespace

int main(int argc, char** argv) {
    bool stay = argc > 1 && std::strcmp(argv[1], "--stay") == 0;
    vexa::sim::SimRack rack(vexa::sim::RackOptions{.subnet = "", .hidFolder = "", .liveData = true});
    if (vexa::sim::addDemoCouplers(rack) != vexa::sim::kSimOk || rack.start() != vexa::sim::kSimOk) {
        std::fprintf(stderr, "vexa-demo: the simulated rack could not start\n");
        return 1;
    }
    setenv("VEXA_ETH_BROADCAST", rack.hubAddress().c_str(), 1);
    setenv("VEXA_HID", ("sim:" + rack.hidFolder()).c_str(), 1);
    std::printf("VEXA tool-set demo on the simulated rack\n%s", rack.describe().c_str());

    ethernet(rack);
    for (auto* c : rack.couplers())
        if (c->kind() == vexa::sim::CouplerKind::Serial) {
            serial(rack, c);
            break;
        }
    usb(rack);

    std::printf("\n%s\n", g_failures ? "demo finished with failures" : "demo finished: every step succeeded");
    if (stay) {
        std::printf("\nThe rack keeps running; in another shell:\n%s  vexactl search eth\n(Ctrl-C to stop)\n",
                    rack.environment().c_str());
        std::fflush(stdout);
        signal(SIGINT, onSignal);
        signal(SIGTERM, onSignal);
        while (!g_stop) pause();
    }
    rack.stop();
    return g_failures ? 1 : 0;
}
