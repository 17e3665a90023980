// VexaBootPort: the boot communication plug-in for sub modules behind a coupler, reached through
// VexaSdk over Ethernet, RS-485 or USB. Each export forwards to the one CVexaBootPort; nothing is
// thrown or printed.
#define BOOTPORT_BUILD
#include "BootPortContract.h"
#include "CVexaBootPort.h"

using vexa::bootport::CVexaBootPort;
using vexa::bootport::guarded;

extern "C" {

BOOTPORT_API int DEV_Open(void* params) {
    return guarded(0, [&] { return CVexaBootPort::instance().open(params); });
}

// The transport choice is a dialog of the workbench; without it the open parameters decide.
BOOTPORT_API int DEV_Config(void*) { return 1; }

BOOTPORT_API int DEV_Search(int* handles) {
    return guarded(0, [&] { return CVexaBootPort::instance().search(handles); });
}

BOOTPORT_API int DEV_EnterBootMode(void) {
    return guarded(0, [] { return CVexaBootPort::instance().enterBootMode(); });
}

BOOTPORT_API int DEV_Write(int handle, const uint8_t* data, unsigned n, int /*timeoutMs: the library's own*/) {
    return guarded(-1, [&] { return CVexaBootPort::instance().write(handle, data, n); });
}

BOOTPORT_API int DEV_Read(int handle, uint8_t* buffer, unsigned max, int /*timeoutMs: the library's own*/) {
    return guarded(-1, [&] { return CVexaBootPort::instance().read(handle, buffer, max); });
}

BOOTPORT_API int DEV_Close(void) {
    return guarded(1, [] { return CVexaBootPort::instance().close(); });
}

}  // extern "C"
