// The DEV_ exports of a boot plug-in: each forwards to the plug-in's one CBootPort; nothing is
// thrown or printed. Built into each plug-in, which defines CBootPort::instance().
#define BOOTPORT_BUILD
#include "BootPortContract.h"
#include "BootPortKit.h"
#include "CBootPort.h"

using vexa::bootport::CBootPort;
using vexa::bootport::guarded;

extern "C" {

BOOTPORT_API int DEV_Open(void* params) {
    return guarded(0, [&] { return CBootPort::instance().open(params); });
}

BOOTPORT_API int DEV_Config(void* param) {
    return guarded(1, [&] { return CBootPort::instance().config(param); });
}

BOOTPORT_API int DEV_Search(int* handles) {
    return guarded(0, [&] { return CBootPort::instance().search(handles); });
}

BOOTPORT_API int DEV_EnterBootMode(void) {
    return guarded(0, [] { return CBootPort::instance().enterBootMode(); });
}

BOOTPORT_API int DEV_Write(int handle, const uint8_t* data, unsigned n, int /*timeoutMs: the transport's own*/) {
    return guarded(DEV_ERROR, [&] { return CBootPort::instance().write(handle, data, n); });
}

BOOTPORT_API int DEV_Read(int handle, uint8_t* buffer, unsigned max, int /*timeoutMs: the transport's own*/) {
    return guarded(DEV_ERROR, [&] { return CBootPort::instance().read(handle, buffer, max); });
}

BOOTPORT_API int DEV_Close(void) {
    return guarded(1, [] { return CBootPort::instance().close(); });
}

}  // extern "C"
