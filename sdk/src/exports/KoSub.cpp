// Sub-module exports.
#include "SdkLock.h"
#include "CVEXAMainMgr.h"
#include "sub/CVEXASub.h"

using namespace vexa;

namespace {

// Sub-module addresses a coupler's bus can carry: 1..8 behind the Ethernet and USB couplers;
// a serial coupler's modules answer Modbus addresses (station + position - 1).
bool validSubAddress(const CVEXAMain& m, int addr) {
    int max = m.kind() == kTransferSerial ? 247 : kSubSlots;
    return addr >= 1 && addr <= max;
}

}  // namespace

extern "C" {

VEXASDK_API int KO_SearchSubDev(KO_HANDLE h) {
    return onMain(h, [](CVEXAMain& m) { return m.SearchSub(); });
}

VEXASDK_API int KO_GetSearchSubDev(KO_HANDLE h, short* addr, short* manufacturer, short* type, short* mode,
                                   short* hardVer, short* softVer, int* serial, int index) {
    return onMain(h, [&](CVEXAMain& m) {
        return m.GetSubSlot(index, addr, manufacturer, type, mode, hardVer, softVer, serial);
    });
}

VEXASDK_API int KO_RebootSubDev(KO_HANDLE h, int addr) {
    return onMain(h, [&](CVEXAMain& m) { return validSubAddress(m, addr) ? m.RebootSub(addr) : RC_FAILED; });
}

VEXASDK_API KO_SUBHANDLE KO_SetOperateSubDev(KO_HANDLE h, int addr) {
    return runLocked(
        [&]() -> KO_SUBHANDLE {
            CouplerEntry* c = CVEXAMainMgr::instance().FindCoupler(h);
            if (!c || !validSubAddress(*c->main, addr & 0xFF)) return nullptr;
            return c->subs.SubAt(*c->main, addr);
        },
        KO_SUBHANDLE(nullptr));
}

VEXASDK_API int KO_ReadSubDevProperty(KO_SUBHANDLE s) {
    return onSub(s, [](CVEXASub& sub) { return sub.ReadProperties(); });
}

VEXASDK_API int KO_GetSubDevProperty(KO_SUBHANDLE s, const char* key, char* text) {
    return onSub(s, [&](CVEXASub& sub) { return sub.GetProperty(key, text); });
}

VEXASDK_API int KO_ResetSubDevProperty(KO_SUBHANDLE s) {
    return onSub(s, [](CVEXASub& sub) { return sub.ResetProperties(); });
}

VEXASDK_API int KO_ModifySubDevProperty(KO_SUBHANDLE s, const char* key, const char* text) {
    return onSub(s, [&](CVEXASub& sub) { return sub.ModifyProperty(key, text); });
}

VEXASDK_API int KO_SubmitSubDevProperty(KO_SUBHANDLE s) {
    return onSub(s, [](CVEXASub& sub) { return sub.SubmitProperties(); });
}

VEXASDK_API int KO_ReadSubDevData(KO_SUBHANDLE s) {
    return onSub(s, [](CVEXASub& sub) { return sub.ReadData(); });
}

VEXASDK_API int KO_GetSubDevData(KO_SUBHANDLE s, const char* key, char* text) {
    return onSub(s, [&](CVEXASub& sub) { return sub.GetData(key, text); });
}

VEXASDK_API int KO_ResetSubDevData(KO_SUBHANDLE s) {
    return onSub(s, [](CVEXASub& sub) { return sub.ResetData(); });
}

VEXASDK_API int KO_ModifySubDevData(KO_SUBHANDLE s, const char* key, const char* text) {
    return onSub(s, [&](CVEXASub& sub) { return sub.ModifyData(key, text); });
}

VEXASDK_API int KO_SubmitSubDevData(KO_SUBHANDLE s) {
    return onSub(s, [](CVEXASub& sub) { return sub.SubmitData(); });
}

VEXASDK_API int KO_ReadSubPropByAddr(KO_SUBHANDLE s, int addr, int count, void* buf, int* len) {
    return onSub(s, [&](CVEXASub& sub) { return sub.ReadPropByAddr(addr, count, buf, len); });
}

VEXASDK_API int KO_WriteSubPropByAddr(KO_SUBHANDLE s, int addr, int count, const void* buf) {
    return onSub(s, [&](CVEXASub& sub) { return sub.WritePropByAddr(addr, count, buf); });
}

VEXASDK_API int KO_ReadSubDataByAddr(KO_SUBHANDLE s, int addr, int count, void* buf, int* len) {
    return onSub(s, [&](CVEXASub& sub) { return sub.ReadDataByAddr(addr, count, buf, len); });
}

VEXASDK_API int KO_WriteSubDataByAddr(KO_SUBHANDLE s, int addr, int count, const void* buf) {
    return onSub(s, [&](CVEXASub& sub) { return sub.WriteDataByAddr(addr, count, buf); });
}

// The raw-buffer exports take no lock: the caller runs nothing else on this coupler meanwhile.
VEXASDK_API int KO_SendSubCmd(KO_SUBHANDLE s, const unsigned char* buf, int len, int addChecksum) {
    try {
        CVEXASub* sub = CVEXAMainMgr::instance().FindSub(s);
        return sub ? sub->main()->SendRaw(buf, len, addChecksum) : -1;
    } catch (...) {
        return -1;
    }
}

VEXASDK_API int KO_ReadSubBuf(KO_SUBHANDLE s, unsigned char* buf, unsigned short len) {
    try {
        CVEXASub* sub = CVEXAMainMgr::instance().FindSub(s);
        return sub ? sub->main()->ReadRaw(buf, len) : 0;
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
