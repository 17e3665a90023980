// Sub-module exports.
#include "SdkLock.h"
#include "main/CVEXAMainMgr.h"

using namespace vexa;

namespace {

template <class Op>
int onMain(KO_HANDLE h, Op op) {
    return runLocked([&] {
        CVEXAMain* m = CVEXAMainMgr::instance().FindMain(h);
        return m ? op(*m) : RC_FAILED;
    });
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
    return onMain(h, [&](CVEXAMain& m) { return m.RebootSub(addr); });
}

}  // extern "C"
