/* The DEV_ functions a boot communication plug-in exports and FwLoader binds by name.
 *
 * A plug-in carries the boot frame byte stream between FwLoader and the boot loaders of one kind
 * of device; it neither adds nor removes frame structure. Call order: DEV_Open -> (DEV_Config)
 * -> DEV_Search -> DEV_Write/DEV_Read on the reported handles -> DEV_Close. A plug-in is called
 * from one thread at a time and never throws.
 *
 * What FwLoader relies on:
 *  - DEV_Search writes at most DEV_MAX_HANDLES handles (positive ints, 1-based positions in the
 *    plug-in's list) and returns their number; FwLoader uses at most DEV_MAX_HANDLES of them.
 *  - DEV_Write takes n bytes and returns n, or fails with a negative result. A result of 0 or
 *    above n counts as a failure of the frame being sent.
 *  - DEV_Read returns promptly: the count (at most max), 0 when nothing came, or DEV_ERROR.
 *  - n and max never exceed the chunk size set for the plug-in (GoodWriteLen in devdlls.ini).
 *  - DEV_Close is optional; without it FwLoader drops the plug-in's devices at unload.
 */
#ifndef VEXA_BOOT_PORT_CONTRACT_H
#define VEXA_BOOT_PORT_CONTRACT_H

#include <stdint.h>

#if defined(BOOTPORT_BUILD)
#define BOOTPORT_API __attribute__((visibility("default")))
#else
#define BOOTPORT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum { DEV_MAX_HANDLES = 300 };
/* DEV_Write and DEV_Read: the frame or the read failed. */
enum { DEV_ERROR = -1 };

typedef int (*DEV_OpenFn)(void* params);
typedef int (*DEV_ConfigFn)(void* param);
typedef int (*DEV_EnterBootModeFn)(void);
typedef int (*DEV_WriteFn)(int handle, const uint8_t* data, unsigned n, int timeoutMs);
typedef int (*DEV_ReadFn)(int handle, uint8_t* buffer, unsigned max, int timeoutMs);
typedef int (*DEV_CloseFn)(void);
typedef int (*DEV_SearchFn)(int* handles);

/* Prototypes for a plug-in's own source (define BOOTPORT_BUILD there). */
BOOTPORT_API int DEV_Open(void* params);
BOOTPORT_API int DEV_Config(void* param);
BOOTPORT_API int DEV_EnterBootMode(void);
BOOTPORT_API int DEV_Write(int handle, const uint8_t* data, unsigned n, int timeoutMs);
BOOTPORT_API int DEV_Read(int handle, uint8_t* buffer, unsigned max, int timeoutMs);
BOOTPORT_API int DEV_Close(void);
BOOTPORT_API int DEV_Search(int* handles);

#ifdef __cplusplus
}
#endif

#endif /* VEXA_BOOT_PORT_CONTRACT_H */
