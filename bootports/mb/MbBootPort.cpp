// MbBootPort: the boot communication plug-in for devices on a serial Modbus line (RS-485
// couplers). Each export forwards to the one CMbBootPort; nothing is thrown or printed.
#define BOOTPORT_BUILD
#include "BootPortContract.h"
#include "CMbBootPort.h"

using vexa::bootport::CMbBootPort;
using vexa::bootport::guarded;

extern "C" {

BOOTPORT_API int DEV_Open(void* params) {
    return guarded(0, [&] { return CMbBootPort::instance().open(params); });
}

// The line settings come with the open parameters; there is nothing to ask the user.
BOOTPORT_API int DEV_Config(void*) { return 1; }

BOOTPORT_API int DEV_Search(int* handles) {
    return guarded(0, [&] { return CMbBootPort::instance().search(handles); });
}

BOOTPORT_API int DEV_EnterBootMode(void) {
    return guarded(0, [] { return CMbBootPort::instance().enterBootMode(); });
}

BOOTPORT_API int DEV_Write(int handle, const uint8_t* data, unsigned n, int /*timeoutMs: the line's own*/) {
    return guarded(-1, [&] { return CMbBootPort::instance().write(handle, data, n); });
}

BOOTPORT_API int DEV_Read(int handle, uint8_t* buffer, unsigned max, int /*timeoutMs: the line's own*/) {
    return guarded(-1, [&] { return CMbBootPort::instance().read(handle, buffer, max); });
}

BOOTPORT_API int DEV_Close(void) {
    return guarded(1, [] { return CMbBootPort::instance().close(); });
}

}  // extern "C"
