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

/* Records of the USB coupler's CANopen mapping; packed, little-endian host order where a field
 * is said to be in host order. */
#pragma pack(push, 1)
/* One I/O channel of a sub module (KO_HidGetIOChl). The first four bytes are the mapping word
 * the coupler receives. */
typedef struct IoMapRecord {
    uint8_t subAddress;
    uint8_t direction;     /* 1 output, 0 input */
    uint8_t reg;           /* register address, low byte */
    uint8_t lengthRegs;    /* length in 16-bit registers */
    char key[100];         /* NUL-terminated item key (channel list only) */
    uint16_t type;         /* sub-module type code, host order (channel list only) */
} IoMapRecord;

/* One configuration register of a sub module exposed as an SDO object; read back from the
 * coupler the last four bytes are the object's value. */
typedef struct SdoMapRecord {
    uint16_t index;        /* object index, host order */
    uint8_t subIndex;
    uint8_t subAddress;
    uint8_t reg;
    uint8_t lengthRegs;
    uint8_t zero;
} SdoMapRecord;

/* One PDO setting for KO_HidAddPDOSet. */
typedef struct PdoMapEntry {
    uint8_t setting[6];    /* sent to the coupler unchanged */
    uint8_t side;          /* non-zero: RPDO (output); 0: TPDO (input) */
    uint8_t channel;       /* the workbench's channel index; not sent */
} PdoMapEntry;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(IoMapRecord) == 106, "IoMapRecord is 106 bytes on the wire and in files");
static_assert(sizeof(SdoMapRecord) == 7, "SdoMapRecord is 7 bytes");
static_assert(sizeof(PdoMapEntry) == 8, "PdoMapEntry is 8 bytes");
#endif

/* Progress of KO_HidUpdate: called with message KO_UPDATE_PROGRESS_MESSAGE, wParam unused and
 * lParam the percentage done. */
#define KO_UPDATE_PROGRESS_MESSAGE 0x678
typedef void (*KO_PROGRESSPROC)(unsigned int message, intptr_t wParam, intptr_t lParam);

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
VEXASDK_API KO_SUBHANDLE KO_SetOperateSubDev(KO_HANDLE h, int addr);

VEXASDK_API int KO_ReadSubDevProperty(KO_SUBHANDLE s);
VEXASDK_API int KO_GetSubDevProperty(KO_SUBHANDLE s, const char* key, char* text);
VEXASDK_API int KO_ResetSubDevProperty(KO_SUBHANDLE s);
VEXASDK_API int KO_ModifySubDevProperty(KO_SUBHANDLE s, const char* key, const char* text);
VEXASDK_API int KO_SubmitSubDevProperty(KO_SUBHANDLE s);
VEXASDK_API int KO_ReadSubDevData(KO_SUBHANDLE s);
VEXASDK_API int KO_GetSubDevData(KO_SUBHANDLE s, const char* key, char* text);
VEXASDK_API int KO_ResetSubDevData(KO_SUBHANDLE s);
VEXASDK_API int KO_ModifySubDevData(KO_SUBHANDLE s, const char* key, const char* text);
VEXASDK_API int KO_SubmitSubDevData(KO_SUBHANDLE s);
VEXASDK_API int KO_ReadSubPropByAddr(KO_SUBHANDLE s, int addr, int count, void* buf, int* len);
VEXASDK_API int KO_WriteSubPropByAddr(KO_SUBHANDLE s, int addr, int count, const void* buf);
VEXASDK_API int KO_ReadSubDataByAddr(KO_SUBHANDLE s, int addr, int count, void* buf, int* len);
VEXASDK_API int KO_WriteSubDataByAddr(KO_SUBHANDLE s, int addr, int count, const void* buf);
VEXASDK_API int KO_SendSubCmd(KO_SUBHANDLE s, const unsigned char* buf, int len, int addChecksum);
VEXASDK_API int KO_ReadSubBuf(KO_SUBHANDLE s, unsigned char* buf, unsigned short len);

/* ---- USB coupler: CANopen mapping ---- */
VEXASDK_API int KO_HidDownloadIO(KO_HANDLE h);
VEXASDK_API int KO_HidDownloadSPDO(KO_HANDLE h);
VEXASDK_API int KO_HidGetIOChl(KO_HANDLE h, void* records, int capacity, int* count);
VEXASDK_API int KO_HidClearPDOSet(KO_HANDLE h);
VEXASDK_API int KO_HidAddPDOSet(KO_HANDLE h, const void* record, int size);
VEXASDK_API int KO_HidGetMapInfo(KO_HANDLE h, int* ioCount, int* sdoCount, int* tpdoCount, int* rpdoCount);
VEXASDK_API int KO_HidGetIOMap(KO_HANDLE h, int* out, int capacity);
VEXASDK_API int KO_HidGetSDOMap(KO_HANDLE h, unsigned char* out, int capacity);
VEXASDK_API int KO_HidGetTPDOMap(KO_HANDLE h, unsigned char* out, int capacity);
VEXASDK_API int KO_HidGetRPDOMap(KO_HANDLE h, unsigned char* out, int capacity);

/* ---- USB coupler: firmware download ---- */
VEXASDK_API int KO_HidUpdateBegin(KO_HANDLE h);
/* `progress` may be null; it is called on the caller's thread. */
VEXASDK_API int KO_HidUpdate(KO_HANDLE h, const void* image, int length, KO_PROGRESSPROC progress);

/* ---- Sub-module catalog ----
 * What the library knows of each sub-module type, without a coupler: the class that serves a
 * type, and the keys KO_GetSubDevProperty / KO_GetSubDevData accept for it. The catalog is
 * constant, so these exports take no lock and may be called at any time. `type` and `hardVer`
 * are the 16-bit codes a search slot reports (as short or as unsigned short). Enumerations run
 * from index 0 until RC_NO_MORE. Texts are copied NUL-terminated into the caller's buffer of
 * `size` bytes; KO_TEXT_SIZE always suffices. */
#define RC_TYPE_UNKNOWN       306  /* no sub-module class serves the type */
#define RC_INVALID_PARAM      500  /* a null pointer, negative index or out-of-range code */
#define RC_BUFFER_TOO_SMALL   501  /* the text does not fit (the buffer gets "" if it has a byte) */

/* Search slots of a coupler: KO_GetSearchSubDev takes index 0 .. KO_SUB_SLOTS - 1. */
#define KO_SUB_SLOTS 8

/* What a key is to the module (KO_GetSubClassKey's `role`). */
#define KO_ROLE_IDENTITY 0  /* property from the search slot (SLAVER_*), read-only */
#define KO_ROLE_SETTING  1  /* property written on submit */
#define KO_ROLE_LOCAL    2  /* property kept on this side only (derived from another) */
#define KO_ROLE_INPUT    3  /* process value the module measures, read-only */
#define KO_ROLE_OUTPUT   4  /* process value written on submit */

/* The index-th class of the catalog: the type it serves from hardware version `minHardVer` on
 * (rows of one type run from the newest version down) and its name. */
VEXASDK_API int KO_GetSubClass(int index, int* type, int* minHardVer, char* name, int size);
/* The name of the class serving a module; RC_TYPE_UNKNOWN when none does. */
VEXASDK_API int KO_GetSubClassName(int type, int hardVer, char* name, int size);
/* The index-th key of a module's properties (data 0: identity keys first) or process values
 * (data non-zero), in the library's order, and its KO_ROLE_* (`role` may be null). */
VEXASDK_API int KO_GetSubClassKey(int type, int hardVer, int data, int index, char* key, int size, int* role);

#ifdef __cplusplus
}
#endif

#endif /* VEXA_SDK_H */
