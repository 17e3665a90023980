// A boot plug-in for tests: every DEV_ call goes to the hooks the test installed.
// Built several times; TESTPORT_WITHOUT_CLOSE and TESTPORT_WITHOUT_OPEN leave a function out.
#define BOOTPORT_BUILD
#include "BootPortContract.h"
#include "TestPortHooks.h"

namespace {
TestPortHooks g_hooks{};
}

extern "C" {

BOOTPORT_API void TP_SetHooks(const TestPortHooks* hooks) { g_hooks = hooks ? *hooks : TestPortHooks{}; }

#ifndef TESTPORT_WITHOUT_OPEN
BOOTPORT_API int DEV_Open(void* params) { return g_hooks.open ? g_hooks.open(g_hooks.ctx, params) : 0; }
#endif

BOOTPORT_API int DEV_Config(void* param) { return g_hooks.config ? g_hooks.config(g_hooks.ctx, param) : 0; }

BOOTPORT_API int DEV_EnterBootMode(void) { return g_hooks.enterBootMode ? g_hooks.enterBootMode(g_hooks.ctx) : 0; }

BOOTPORT_API int DEV_Write(int handle, const uint8_t* data, unsigned n, int timeoutMs) {
    return g_hooks.write ? g_hooks.write(g_hooks.ctx, handle, data, n, timeoutMs) : -1;
}

BOOTPORT_API int DEV_Read(int handle, uint8_t* buffer, unsigned max, int timeoutMs) {
    return g_hooks.read ? g_hooks.read(g_hooks.ctx, handle, buffer, max, timeoutMs) : -1;
}

#ifndef TESTPORT_WITHOUT_CLOSE
BOOTPORT_API int DEV_Close(void) { return g_hooks.close ? g_hooks.close(g_hooks.ctx) : 0; }
#endif

BOOTPORT_API int DEV_Search(int* handles) { return g_hooks.search ? g_hooks.search(g_hooks.ctx, handles) : 0; }

}  // extern "C"
