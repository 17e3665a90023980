/* VexaSdk: device access library for VEXA couplers and their sub modules.
 *
 * Calling order: search (KO_EthSearchAll / KO_EthSearchByIP, KO_RSSearchByID, KO_HIDSearchAll),
 * collect (KO_EthGetSearchDev until non-zero, KO_RSGetSearch once, KO_HIDGetSearchDev until
 * RC_NO_MORE), operate (a set-operate export returns a coupler handle with its sub-module slots
 * already searched), optionally KO_LoginMain, then read/get/modify/submit, and KO_UnOperateDev.
 *
 * Handles are owned by the library and stay allocated until it is unloaded. Every export except
 * the four raw-buffer ones runs under one library-wide re-entrant lock. No export prints or
 * throws; all failures are result codes.
 */
#ifndef VEXA_SDK_H
#define VEXA_SDK_H

#include <stdint.h>

#if defined(VEXASDK_BUILD)
#define VEXASDK_API __attribute__((visibility("default")))
#else
#define VEXASDK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. */
#define RC_OK                  0
#define RC_PARSE_FAILED        1  /* KO_ReadMainProperty: a reply did not parse */
#define RC_BAD_REPLY           102  /* reply does not belong to the request */
#define RC_DEVICE_ERROR        103  /* HID error reply */
#define RC_ERROR_REPLY         104  /* Ethernet reply with the error bit */
#define RC_SEND_FAILED         202
#define RC_NO_REPLY            203
#define RC_OPEN_FAILED         204
#define RC_NOT_READ            301  /* properties not read yet */
#define RC_DATA_NOT_READ       302  /* sub-module data not read yet */
#define RC_KEY_UNKNOWN         303  /* property key unknown */
#define RC_DATA_KEY_UNKNOWN    304  /* sub-module data key unknown */
#define RC_NOTHING_TO_SUBMIT   305
#define RC_NO_MORE             400  /* no further HID search result */
#define RC_HID_NOT_SENT        401
#define RC_HID_NOT_OK          402
#define RC_HID_NO_REPLY        403
#define RC_RECORD_TOO_SMALL    404
#define RC_FAILED              999


/* Device kinds. */
#define KO_KIND_ETHERNET 0
#define KO_KIND_SERIAL 1
#define KO_KIND_HID 2

/* Documented minimum sizes of the caller's out-buffers. */
#define KO_IP_TEXT_SIZE 16
#define KO_MAC_TEXT_SIZE 18
#define KO_HID_PATH_SIZE 200
#define KO_TEXT_SIZE 260

typedef void* KO_HANDLE;     /* a coupler (main module) */
typedef void* KO_SUBHANDLE;  /* a sub module of a coupler */

/* ---- Discovery and selection ---- */
VEXASDK_API int KO_EthSearchAll(void);
VEXASDK_API int KO_EthSearchByIP(const char* ip);
VEXASDK_API int KO_EthGetSearchDev(char* ip, char* mac, int* hardVer, int* type, int* mode, int* flags,
                                   int* extra);
VEXASDK_API KO_HANDLE KO_EthSetOperateDev(const char* ip, const char* mac, int type, int mode);

VEXASDK_API int KO_RSSearchByID(int addr, int framing, const char* port, int baud, int dataBits, int parity,
                                int stopBits, int dtrControl, int rtsControl, int reserved1, int reserved2,
                                int timeout);
VEXASDK_API int KO_RSGetSearch(char* addr, short* manufacturer, short* type, short* mode, short* hardVer,
                               short* softVer, int* serial);
VEXASDK_API KO_HANDLE KO_RSSetOperateDev(int addr, int type, int devMode, int framing, const char* port, int baud,
                                         int dataBits, int parity, int stopBits, int dtrControl, int rtsControl,
                                         int reserved1, int reserved2, int timeout);

VEXASDK_API int KO_HIDSearchAll(void);
VEXASDK_API int KO_HIDGetSearchDev(char* path, short* manufacturer, short* type, short* mode, short* hardVer,
                                   short* softVer, int* serial);
VEXASDK_API KO_HANDLE KO_HIDSetOperateDev(const char* path, int type, int unused);

VEXASDK_API int KO_UnOperateDev(KO_HANDLE h);

/* ---- Main module ---- */
VEXASDK_API int KO_LoginMain(KO_HANDLE h, const char* password);
VEXASDK_API int KO_ReadMainProperty(KO_HANDLE h);
VEXASDK_API int KO_GetMainProperty(KO_HANDLE h, const char* key, char* text);
VEXASDK_API int KO_ResetMainProperty(KO_HANDLE h);
VEXASDK_API int KO_ModifyMainProperty(KO_HANDLE h, const char* key, const char* text);
VEXASDK_API int KO_SubmitMainProperty(KO_HANDLE h, const char* password);
VEXASDK_API int KO_RebootDev(KO_HANDLE h);
VEXASDK_API int KO_SendMainCmd(KO_HANDLE h, const unsigned char* buf, int len, int addChecksum);
VEXASDK_API int KO_ReadMainBuf(KO_HANDLE h, unsigned char* buf, unsigned short len);

/* ---- Sub modules ---- */
VEXASDK_API int KO_SearchSubDev(KO_HANDLE h);
VEXASDK_API int KO_GetSearchSubDev(KO_HANDLE h, short* addr, short* manufacturer, short* type, short* mode,
                                   short* hardVer, short* softVer, int* serial, int index);
VEXASDK_API int KO_RebootSubDev(KO_HANDLE h, int addr);

#ifdef __cplusplus
}
#endif

#endif /* VEXA_SDK_H */
