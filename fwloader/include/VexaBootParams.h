/* Open-parameter records of the two boot communication plug-ins. The caller of
 * KB_OpenCommDevice fills and owns one; FwLoader hands the pointer through untouched and the
 * plug-in copies the record in DEV_Open. A record whose magic is not the plug-in's own is refused.
 *
 * The layout is the 32-bit one with the port-text pointer kept in place at offset 20: 56 bytes
 * on a 32-bit build, 60 on a 64-bit one, where the fields after the pointer move down by 4.
 */
#ifndef VEXA_BOOT_PARAMS_H
#define VEXA_BOOT_PARAMS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Multi-character constants "VEXA" and "MBus": bytes 41 58 45 56 and 73 75 42 4D in memory. */
enum { VEXA_PORT_MAGIC = 0x56455841, MB_PORT_MAGIC = 0x4D427573 };

/* Transports of VexaPortParams. */
enum { VEXA_PORT_ETHERNET = 0, VEXA_PORT_RS485 = 1, VEXA_PORT_HID = 2 };

#pragma pack(push, 1)

typedef struct VexaPortParams {
    uint32_t magic;          /* VEXA_PORT_MAGIC */
    uint8_t transport;       /* VEXA_PORT_ETHERNET, VEXA_PORT_RS485, VEXA_PORT_HID */
    uint8_t subAddress;      /* 1..15: only this sub module; 0 or above 15: every one */
    uint8_t unused6[2];
    uint32_t ipAddress;      /* Ethernet: main module, network byte order; 0 = whole network */
    uint8_t station;         /* RS-485: station ID, first search argument */
    uint8_t unused13[3];
    int32_t rsParam;         /* RS-485: second search argument */
    const char* portText;    /* RS-485: port; DEV_Open points it at the plug-in's own copy */
    int32_t serial[8];       /* RS-485: search arguments 4..11 in order */
} VexaPortParams;

typedef struct MbPortParams {
    uint32_t magic;          /* MB_PORT_MAGIC */
    uint8_t copyPortText;    /* 1: DEV_Open copies the port text into its own buffer */
    uint8_t station;         /* 1..247: only this station; 0 or above 247: stations 1..247 */
    uint8_t unused6[10];
    int32_t lineMode;        /* first connect argument; above 2 the search finds nothing */
    const char* portText;    /* second connect argument */
    int32_t baudRate;
    int32_t dataBits;
    int32_t serial[6];       /* connect arguments 5..10 in order */
} MbPortParams;

#pragma pack(pop)

#ifdef __cplusplus
}
static_assert(sizeof(VexaPortParams) == 52 + sizeof(void*), "56 bytes on 32-bit, pointer in place");
static_assert(sizeof(MbPortParams) == 52 + sizeof(void*), "56 bytes on 32-bit, pointer in place");
static_assert(__builtin_offsetof(VexaPortParams, portText) == 20, "port text at offset 20");
static_assert(__builtin_offsetof(MbPortParams, portText) == 20, "port text at offset 20");
static_assert(__builtin_offsetof(VexaPortParams, serial) == 20 + sizeof(void*), "follows the pointer");
static_assert(__builtin_offsetof(MbPortParams, baudRate) == 20 + sizeof(void*), "follows the pointer");
#endif

#endif /* VEXA_BOOT_PARAMS_H */
