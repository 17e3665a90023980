// USB coupler exports: the CANopen mapping and the firmware download. They act on a USB
// coupler's handle only; any other handle gives RC_FAILED.
#include "SdkLock.h"
#include "hid/CHidUpdate.h"
#include "CVEXAMainMgr.h"

using namespace vexa;

extern "C" {

VEXASDK_API int KO_HidDownloadIO(KO_HANDLE h) {
    return onUsb(h, [](CHidMapping& map) { return map.DownloadIO(); });
}

VEXASDK_API int KO_HidDownloadSPDO(KO_HANDLE h) {
    return onUsb(h, [](CHidMapping& map) { return map.DownloadSPDO(); });
}

VEXASDK_API int KO_HidGetIOChl(KO_HANDLE h, void* records, int capacity, int* count) {
    return onUsb(h, [&](CHidMapping& map) {
        if (!count) return RC_FAILED;
        return map.GetIoChannels(static_cast<IoMapRecord*>(records), capacity, *count);
    });
}

VEXASDK_API int KO_HidClearPDOSet(KO_HANDLE h) {
    return onUsb(h, [](CHidMapping& map) {
        map.ClearPdoSets();
        return RC_OK;
    });
}

VEXASDK_API int KO_HidAddPDOSet(KO_HANDLE h, const void* record, int size) {
    return onUsb(h, [&](CHidMapping& map) { return map.AddPdoSet(record, size); });
}

// Null count pointers are allowed: that count is not wanted.
VEXASDK_API int KO_HidGetMapInfo(KO_HANDLE h, int* ioCount, int* sdoCount, int* tpdoCount, int* rpdoCount) {
    int* outs[] = {ioCount, sdoCount, tpdoCount, rpdoCount};
    for (int* p : outs)
        if (p) *p = 0;
    return onUsb(h, [&](CHidMapping& map) {
        int counts[4];
        int rc = map.ReadBack(counts);
        for (int i = 0; i < 4; ++i)
            if (outs[i]) *outs[i] = counts[i];
        return rc;
    });
}

VEXASDK_API int KO_HidGetIOMap(KO_HANDLE h, int* out, int capacity) {
    return onUsb(h, [&](CHidMapping& map) { return map.CopyIoMap(out, capacity); });
}

VEXASDK_API int KO_HidGetSDOMap(KO_HANDLE h, unsigned char* out, int capacity) {
    return onUsb(h, [&](CHidMapping& map) { return map.CopySdoMap(out, capacity); });
}

VEXASDK_API int KO_HidGetTPDOMap(KO_HANDLE h, unsigned char* out, int capacity) {
    return onUsb(h, [&](CHidMapping& map) { return map.CopyTpdoMap(out, capacity); });
}

VEXASDK_API int KO_HidGetRPDOMap(KO_HANDLE h, unsigned char* out, int capacity) {
    return onUsb(h, [&](CHidMapping& map) { return map.CopyRpdoMap(out, capacity); });
}

VEXASDK_API int KO_HidUpdateBegin(KO_HANDLE h) {
    return onUsb(h, [](CHidMapping& map) { return CHidUpdate(map.coupler()).Begin(); });
}

VEXASDK_API int KO_HidUpdate(KO_HANDLE h, const void* image, int length, KO_PROGRESSPROC progress) {
    return onUsb(h, [&](CHidMapping& map) {
        return CHidUpdate(map.coupler()).Download(static_cast<const std::uint8_t*>(image), length, progress);
    });
}

}  // extern "C"
