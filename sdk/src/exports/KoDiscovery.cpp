// Discovery and selection exports.
#include <cstring>

#include "SdkLock.h"
#include "CVEXAMainMgr.h"

using namespace vexa;

namespace {

CVEXAMainMgr& mgr() { return CVEXAMainMgr::instance(); }

// Copies `s` into a caller buffer of `size` bytes, always terminated.
void copyOut(char* out, const std::string& s, size_t size) {
    if (!out) return;
    size_t n = s.size() < size - 1 ? s.size() : size - 1;
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
}

template <class T, class V>
void put(T* out, V v) {
    if (out) *out = static_cast<T>(v);
}

void putIdentity(const IdentityRecord& id, short* manufacturer, short* type, short* mode, short* hardVer,
                 short* softVer, int* serial) {
    put(manufacturer, id.manufacturer);
    put(type, id.type);
    put(mode, id.mode);
    put(hardVer, id.hardVer);
    put(softVer, id.softVer);
    if (serial) std::memcpy(serial, id.serial, 4);
}

}  // namespace

namespace {

// The serial exports' line arguments, once, as the settings everything below takes.
SerialSettings lineSettings(int baud, int dataBits, int parity, int stopBits, int dtr, int rts) {
    SerialSettings s;
    s.baud = baud;
    s.dataBits = dataBits;
    s.parity = parity;
    s.stopBits = stopBits;
    s.dtrControl = dtr;
    s.rtsControl = rts;
    return s;
}

}  // namespace

extern "C" {

VEXASDK_API int KO_EthSearchAll(void) {
    return runLocked([] {
        mgr().EthSearch(nullptr);
        return RC_OK;
    });
}

VEXASDK_API int KO_EthSearchByIP(const char* ip) {
    return runLocked([&] {
        mgr().EthSearch(ip ? ip : "");
        return RC_OK;
    });
}

VEXASDK_API int KO_EthGetSearchDev(char* ip, char* mac, int* hardVer, int* type, int* mode, int* flags, int* extra) {
    return runLocked([&] {
        EthSearchRecord r;
        int rc = mgr().EthGetSearchDev(r);
        if (rc != RC_OK) return rc;
        copyOut(ip, r.address, KO_IP_TEXT_SIZE);
        copyOut(mac, r.mac, KO_MAC_TEXT_SIZE);
        put(hardVer, r.hardVer);
        put(type, r.type);
        put(mode, r.mode);
        put(flags, r.flags);
        put(extra, r.extra);
        return RC_OK;
    });
}

VEXASDK_API KO_HANDLE KO_EthSetOperateDev(const char* ip, const char* mac, int type, int mode) {
    return runLocked([&]() -> KO_HANDLE { return mgr().EthOperate(ip, mac, type, mode); }, KO_HANDLE(nullptr));
}

VEXASDK_API int KO_RSSearchByID(int addr, int framing, const char* port, int baud, int dataBits, int parity,
                                int stopBits, int dtrControl, int rtsControl, int, int, int) {
    return runLocked([&] {
        return mgr().RsSearch(addr, framing, port, lineSettings(baud, dataBits, parity, stopBits, dtrControl, rtsControl));
    });
}

VEXASDK_API int KO_RSGetSearch(char* addr, short* manufacturer, short* type, short* mode, short* hardVer,
                               short* softVer, int* serial) {
    return runLocked([&] {
        RsSearchRecord r;
        int rc = mgr().RsGetSearch(r);
        if (rc != RC_OK) return rc;
        put(addr, r.station);
        putIdentity(r.id, manufacturer, type, mode, hardVer, softVer, serial);
        return RC_OK;
    });
}

// The reserved arguments and the time-out change nothing: the line's read times follow its baud.
VEXASDK_API KO_HANDLE KO_RSSetOperateDev(int addr, int type, int devMode, int framing, const char* port, int baud,
                                         int dataBits, int parity, int stopBits, int dtrControl, int rtsControl, int,
                                         int, int) {
    return runLocked(
        [&]() -> KO_HANDLE {
            return mgr().RsOperate(addr, type, devMode, framing, port,
                                   lineSettings(baud, dataBits, parity, stopBits, dtrControl, rtsControl));
        },
        KO_HANDLE(nullptr));
}

VEXASDK_API int KO_HIDSearchAll(void) {
    return runLocked([] {
        mgr().HidSearchAll();
        return RC_OK;
    });
}

VEXASDK_API int KO_HIDGetSearchDev(char* path, short* manufacturer, short* type, short* mode, short* hardVer,
                                   short* softVer, int* serial) {
    return runLocked([&] {
        HidSearchRecord r;
        int rc = mgr().HidGetSearchDev(r);
        if (rc != RC_OK) return rc;
        copyOut(path, r.path, KO_HID_PATH_SIZE);
        putIdentity(r.id, manufacturer, type, mode, hardVer, softVer, serial);
        return RC_OK;
    });
}

VEXASDK_API KO_HANDLE KO_HIDSetOperateDev(const char* path, int type, int) {
    return runLocked([&]() -> KO_HANDLE { return mgr().HidOperate(path, type); }, KO_HANDLE(nullptr));
}

VEXASDK_API int KO_UnOperateDev(KO_HANDLE h) {
    return runLocked([&] {
        if (CVEXAMain* m = mgr().FindMain(h)) m->Close();
        return 1;
    }, 1);
}

}  // extern "C"
