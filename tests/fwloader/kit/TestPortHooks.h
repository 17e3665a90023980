/* The test plug-in implements the DEV_ contract by forwarding every call to hooks that the test
 * process installs with TP_SetHooks, so a test decides what the "device" does. Without hooks
 * every DEV_ function fails (0, or -1 for write and read). */
#ifndef VEXA_TEST_PORT_HOOKS_H
#define VEXA_TEST_PORT_HOOKS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TestPortHooks {
    void* ctx;
    int (*open)(void* ctx, void* params);
    int (*config)(void* ctx, void* param);
    int (*enterBootMode)(void* ctx);
    int (*write)(void* ctx, int handle, const uint8_t* data, unsigned n, int timeoutMs);
    int (*read)(void* ctx, int handle, uint8_t* buffer, unsigned max, int timeoutMs);
    int (*close)(void* ctx);
    int (*search)(void* ctx, int* handles);
} TestPortHooks;

typedef void (*TP_SetHooksFn)(const TestPortHooks* hooks);

#ifdef __cplusplus
}
#endif

#endif
