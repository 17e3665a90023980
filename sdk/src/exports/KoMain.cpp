// Main-module exports.
#include <cstring>

#include "SdkLock.h"
#include "CVEXAMainMgr.h"

using namespace vexa;

extern "C" {

VEXASDK_API int KO_LoginMain(KO_HANDLE h, const char* password) {
    return onMain(h, [&](CVEXAMain& m) {
        if (!password || m.ReadProperties() != RC_OK) return RC_FAILED;
        char stored[KO_TEXT_SIZE] = {};
        if (m.GetProperty("MAIN_PASS", stored) != RC_OK) return RC_FAILED;
        return std::strcmp(stored, password) == 0 ? RC_OK : RC_FAILED;
    });
}

VEXASDK_API int KO_ReadMainProperty(KO_HANDLE h) {
    return onMain(h, [](CVEXAMain& m) { return m.ReadProperties(); });
}

VEXASDK_API int KO_GetMainProperty(KO_HANDLE h, const char* key, char* text) {
    return onMain(h, [&](CVEXAMain& m) { return text ? m.GetProperty(key, text) : RC_FAILED; });
}

VEXASDK_API int KO_ResetMainProperty(KO_HANDLE h) {
    return onMain(h, [](CVEXAMain& m) { return m.DropPending(); });
}

VEXASDK_API int KO_ModifyMainProperty(KO_HANDLE h, const char* key, const char* text) {
    return onMain(h, [&](CVEXAMain& m) {
        if (!key) return RC_KEY_UNKNOWN;
        return text ? m.ModifyProperty(key, text) : RC_FAILED;
    });
}

VEXASDK_API int KO_SubmitMainProperty(KO_HANDLE h, const char* password) {
    return onMain(h, [&](CVEXAMain& m) { return m.SubmitProperties(password ? password : ""); });
}

VEXASDK_API int KO_RebootDev(KO_HANDLE h) {
    return onMain(h, [](CVEXAMain& m) { return m.Reboot(); });
}

// The raw-buffer exports take no library lock: a caller using them serialises its own calls.
VEXASDK_API int KO_SendMainCmd(KO_HANDLE h, const unsigned char* buf, int len, int addChecksum) {
    try {
        CVEXAMain* m = CVEXAMainMgr::instance().FindMain(h);
        return m ? m->SendRaw(buf, len, addChecksum) : -1;
    } catch (...) {
        return -1;
    }
}

VEXASDK_API int KO_ReadMainBuf(KO_HANDLE h, unsigned char* buf, unsigned short len) {
    try {
        CVEXAMain* m = CVEXAMainMgr::instance().FindMain(h);
        return m ? m->ReadRaw(buf, len) : 0;
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
