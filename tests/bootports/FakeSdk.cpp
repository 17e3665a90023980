#include "FakeSdk.h"

#include <cstdio>
#include <cstring>
#include <deque>

#include "VexaSdk.h"

namespace fakesdk {

namespace {

struct SubHandle {
    Coupler* coupler;
    int address;
};

std::size_t g_cursor = 0;
std::deque<SubHandle> g_subs;  // one per select; a deque keeps the handles in place

Coupler* asCoupler(KO_HANDLE h) { return static_cast<Coupler*>(h); }

std::string text(const char* fn, const std::vector<long>& args, const char* port = nullptr) {
    std::string t = fn;
    if (port) t += std::string(" ") + port;
    for (long a : args) t += " " + std::to_string(a);
    return t;
}

}  // namespace

State& state() {
    static State s;
    return s;
}

void reset() {
    state() = State{};
    g_cursor = 0;
    g_subs.clear();
}

}  // namespace fakesdk

using namespace fakesdk;

extern "C" {

int KO_EthSearchAll(void) {
    state().searches.push_back("EthSearchAll");
    g_cursor = 0;
    return RC_OK;
}

int KO_EthSearchByIP(const char* ip) {
    state().searches.push_back(std::string("EthSearchByIP ") + ip);
    g_cursor = 0;
    return RC_OK;
}

int KO_EthGetSearchDev(char* ip, char* mac, int* hardVer, int* type, int* mode, int*, int*) {
    if (g_cursor >= state().couplers.size()) return RC_FAILED;
    std::snprintf(ip, KO_IP_TEXT_SIZE, "127.0.0.%zu", g_cursor + 10);
    std::snprintf(mac, KO_MAC_TEXT_SIZE, "02:00:00:00:00:%02zx", g_cursor);
    *hardVer = 0x100;
    *type = 9;
    *mode = 1;
    ++g_cursor;
    return RC_OK;
}

KO_HANDLE KO_EthSetOperateDev(const char* ip, const char*, int, int) {
    unsigned last = 0;
    std::sscanf(ip, "127.0.0.%u", &last);
    return &state().couplers.at(last - 10);
}

int KO_RSSearchByID(int addr, int framing, const char* port, int baud, int dataBits, int parity, int stopBits,
                    int dtr, int rts, int r1, int r2, int timeout) {
    state().searches.push_back(
        text("RSSearchByID", {addr, framing, baud, dataBits, parity, stopBits, dtr, rts, r1, r2, timeout}, port));
    return RC_OK;
}

int KO_RSGetSearch(char* addr, short* manufacturer, short* type, short* mode, short* hardVer, short* softVer,
                   int* serial) {
    if (state().couplers.empty()) return RC_NO_REPLY;
    *addr = 7;
    *manufacturer = 0x4B58;
    *type = static_cast<short>(0x9010);
    *mode = 1;
    *hardVer = *softVer = 0x100;
    *serial = 0;
    return RC_OK;
}

KO_HANDLE KO_RSSetOperateDev(int addr, int type, int devMode, int framing, const char* port, int baud, int dataBits,
                             int parity, int stopBits, int dtr, int rts, int r1, int r2, int timeout) {
    state().searches.push_back(text("RSSetOperateDev",
                                    {addr, type, devMode, framing, baud, dataBits, parity, stopBits, dtr, rts, r1, r2,
                                     timeout},
                                    port));
    return &state().couplers.at(0);
}

int KO_HIDSearchAll(void) {
    state().searches.push_back("HIDSearchAll");
    g_cursor = 0;
    return RC_OK;
}

int KO_HIDGetSearchDev(char* path, short* manufacturer, short* type, short* mode, short* hardVer, short* softVer,
                       int* serial) {
    if (g_cursor >= state().couplers.size()) return RC_NO_MORE;
    std::snprintf(path, KO_HID_PATH_SIZE, "/hid/%zu", g_cursor);
    *manufacturer = 0x4B58;
    *type = static_cast<short>(0x9020);
    *mode = 1;
    *hardVer = *softVer = 0x100;
    *serial = 0;
    ++g_cursor;
    return RC_OK;
}

KO_HANDLE KO_HIDSetOperateDev(const char* path, int, int) {
    unsigned n = 0;
    std::sscanf(path, "/hid/%u", &n);
    return &state().couplers.at(n);
}

int KO_UnOperateDev(KO_HANDLE h) {
    ++asCoupler(h)->releases;
    return RC_OK;
}

int KO_SearchSubDev(KO_HANDLE) { return RC_OK; }

int KO_GetSearchSubDev(KO_HANDLE h, short* addr, short* manufacturer, short* type, short* mode, short* hardVer,
                       short* softVer, int* serial, int index) {
    const Coupler* c = asCoupler(h);
    if (index < 0 || static_cast<std::size_t>(index) >= c->slots.size()) return RC_FAILED;
    const Slot& s = c->slots[static_cast<std::size_t>(index)];
    *addr = s.address;
    *type = s.type;
    *manufacturer = 0x4B58;
    *mode = 1;
    *hardVer = *softVer = 0x100;
    *serial = 0;
    return RC_OK;
}

KO_SUBHANDLE KO_SetOperateSubDev(KO_HANDLE h, int addr) {
    ++state().selects;
    if (state().unselectable.count(addr)) return nullptr;
    g_subs.push_back({asCoupler(h), addr});
    return &g_subs.back();
}

int KO_WriteSubPropByAddr(KO_SUBHANDLE s, int addr, int count, const void* buf) {
    const auto* p = static_cast<const std::uint8_t*>(buf);
    state().calls.push_back({"prop-write", static_cast<SubHandle*>(s)->address, addr, count, Bytes(p, p + count)});
    return RC_OK;
}

int KO_WriteSubDataByAddr(KO_SUBHANDLE s, int addr, int count, const void* buf) {
    const auto* p = static_cast<const std::uint8_t*>(buf);
    state().calls.push_back({"data-write", static_cast<SubHandle*>(s)->address, addr, count, Bytes(p, p + count)});
    return state().write(addr, count, p);
}

int KO_ReadSubDataByAddr(KO_SUBHANDLE s, int addr, int count, void* buf, int* len) {
    state().calls.push_back({"data-read", static_cast<SubHandle*>(s)->address, addr, count, {}});
    return state().read(addr, count, static_cast<std::uint8_t*>(buf), len);
}

}  // extern "C"
