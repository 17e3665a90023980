/* FwLoader: firmware upgrade library for VEXA modules in their boot loaders.
 *
 * The library knows no transport. Boot communication plug-ins listed in
 * <AppDir>/devdlls/devdlls.ini are loaded on demand and bound by their DEV_ functions
 * (VexaBootPort.h). One device table serves the whole process: each search through a plug-in
 * replaces that plug-in's rows, and every device export addresses a row by its 0-based index,
 * so the rows after a replaced or closed plug-in move down.
 *
 * Calling order for an upgrade: KB_GetCommDeviceList -> KB_OpenCommDevice -> KB_SearchDevice ->
 * KB_GetDeviceInfo per row -> KB_UpdateFirware (on a worker thread, while another thread polls
 * KB_GetUpdateFirwareProgress) -> KB_GetErrInfo on failure -> KB_ResetDevice ->
 * KB_CloseCommDevice.
 *
 * No locks: callers must not search, close or upgrade through the table from two threads at once.
 * Only the progress query may run beside an upgrade. No export throws. The library's own texts
 * ("加载通信DLL失败" when a plug-in cannot be loaded, and why KB_UpdateFirwareDlg showed no
 * dialog) go to the handler set with KB_SetMessageHandler (standard error by default).
 * FwLoaderTexts.h gives every text the library records its English.
 */
#ifndef VEXA_FWLOADER_H
#define VEXA_FWLOADER_H

#include <stdint.h>

#if defined(FWLOADER_BUILD)
#define FWLOADER_API __attribute__((visibility("default")))
#else
#define FWLOADER_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result of an upgrade (KB_GetErrInfo, and the code recorded by KB_UpdateFirware). */
enum {
    KB_FW_OK = 0,
    KB_FW_TYPE_MISMATCH = -1,   /* the start reply granted block size 0 */
    KB_FW_DEVICE_ERROR = -2,    /* the boot loader answered with an error status */
    KB_FW_LINK_ERROR = -3,      /* frames could not be sent, or no reply after the retries */
    KB_FW_PROTOCOL_ERROR = -4,  /* malformed replies, an impossible block number or grant */
    KB_FW_FILE_ERROR = -7       /* the upgrade file cannot be opened or is malformed */
};

/* KB_GetErrInfo for a device index outside the table. */
enum { KB_NO_DEVICE = -1 };

/* Documented minimum sizes of the caller's out-buffers. */
enum {
    KB_NAME_SIZE = 256,     /* KB_GetCommDeviceList: a name of up to 254 bytes and its zero */
    KB_ERR_TEXT_SIZE = 256  /* KB_GetErrInfo */
};

/* Largest block the host takes; announced in the start command. */
enum { KB_HOST_BLOCK_SIZE = 4096 };

#pragma pack(push, 1)

/* Reply to the device-info command, bytes 2..23. */
typedef struct BootDeviceInfo {
    uint32_t series;           /* four ASCII characters, shown most significant byte first */
    uint32_t model;            /* shown as "0x%08x" */
    uint16_t hardwareVersion;  /* shown as "%x.%02x" of (high byte, low byte) */
    uint16_t firmwareVersion;  /* likewise */
    uint8_t serial[4];         /* shown as "%02x%02x%02x%02x" in byte order */
    uint8_t reserved[6];
} BootDeviceInfo;

/* Reply to the boot-version command. The host gives the fields no meaning. */
typedef struct BootVersionInfo {
    uint16_t version;      /* reply bytes 2..3 */
    uint8_t unused[2];     /* not carried by the reply; zero */
    uint32_t values[3];    /* reply bytes 4..15 */
    uint8_t field1[32];    /* reply bytes 16..47 */
    uint8_t field2[32];    /* reply bytes 48..79 */
} BootVersionInfo;

#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(BootDeviceInfo) == 22, "BootDeviceInfo is 22 bytes on the wire");
static_assert(sizeof(BootVersionInfo) == 80, "BootVersionInfo is 80 bytes on the wire");
#endif

/* Plug-ins (index n = INI section DEV_<n>). */

/* name NULL or index outside 0..DEV_COUNT-1: DEV_COUNT (-1 without devdlls.ini). Else copies
 * the plug-in's Name (at most 254 bytes) with its zero into name, which needs KB_NAME_SIZE
 * bytes, and returns 1 if it is not empty, else 0. */
FWLOADER_API int KB_GetCommDeviceList(char* name, int index);
/* Loads the plug-in and returns DEV_Open(openParams); 0 and the message "加载通信DLL失败" when it
 * cannot be loaded or has no DEV_Open. Each successful load counts; KB_CloseCommDevice undoes
 * one. */
FWLOADER_API int KB_OpenCommDevice(int plugin, void* openParams);
FWLOADER_API int KB_ConfigCommDevice(int plugin, void* param);
/* Replaces the plug-in's rows by the devices DEV_Search reports (at most 300); returns their
 * number, 0 if the plug-in is not loaded. */
FWLOADER_API int KB_SearchDevice(int plugin);
FWLOADER_API int KB_EnterBootMode(int plugin);
/* DEV_Close, one load undone, the plug-in's rows removed; returns DEV_Close's result, or 0 if the
 * plug-in is not loaded or has no DEV_Close (its rows then stay until the library unloads). */
FWLOADER_API int KB_CloseCommDevice(int plugin);

/* Devices (index into the device table). */

/* 1 with the record filled; 0 with it zeroed, or untouched for a bad index. */
FWLOADER_API int KB_GetDeviceInfo(int device, BootDeviceInfo* out);
FWLOADER_API int KB_GetBootVer(int device, BootVersionInfo* out);
/* 1 if the reset command went out, else 0. */
FWLOADER_API int KB_ResetDevice(int device);
/* Sends body (n bytes, at most 65535) as one boot frame; 1 if it went out whole, else 0. */
FWLOADER_API int KB_SendCmd(int device, const uint8_t* body, int n);
/* Waits for one boot frame; 1 with its body in buffer and *n its length, else 0 with *n = 0
 * (*n untouched for a bad index). A frame longer than max is refused. */
FWLOADER_API int KB_GetAck(int device, uint8_t* buffer, int max, int* n, int timeoutMs);
/* Runs the whole upgrade with the file at path; 1 if it ended with KB_FW_OK, else 0.
 * KB_GetErrInfo then tells the code and its text. */
FWLOADER_API int KB_UpdateFirware(int device, const char* path);
/* 0..10000 (hundredths of a percent) while an upgrade runs; 10000 when idle, finished or for a
 * bad index. */
FWLOADER_API int KB_GetUpdateFirwareProgress(int device);
/* Copies the last upgrade text (KB_ERR_TEXT_SIZE bytes suffice) into out, when out is not NULL,
 * and returns the last code; "设备不存在" and KB_NO_DEVICE for a bad index. */
FWLOADER_API int KB_GetErrInfo(int device, char* out);

/* Checks the file at path as an upgrade does before it touches a device (framing, sizes, MD5
 * trailer). KB_FW_OK, or KB_FW_FILE_ERROR with the reason copied into out (KB_ERR_TEXT_SIZE
 * bytes suffice) when out is not NULL. */
FWLOADER_API int KB_CheckUpgradeFile(const char* path, char* out);

/* Shows the upgrade dialog modally: commName and path, when not NULL, preset the plug-in and
 * the file; a non-NULL openParams is what the dialog passes to KB_OpenCommDevice. Returns 1
 * after the dialog closed, and 1 as well when none could be shown (no display, no dialog
 * module beside the program or the library, a process whose QApplication runs on another
 * thread); the reason then goes to the message handler. Widgets live in the dialog module
 * (libFwLoaderDialog.so), loaded on the first call only, so this library never loads Qt
 * unless a dialog is shown. In a Qt program call it from the GUI thread. */
FWLOADER_API int KB_UpdateFirwareDlg(const char* commName, const char* path, void* openParams);

/* Where the plug-in loader's message goes. A GUI process installs a handler that shows a message
 * box; NULL restores the default, a line on standard error. */
typedef void (*KB_MessageHandler)(const char* text);
FWLOADER_API void KB_SetMessageHandler(KB_MessageHandler handler);

#ifdef __cplusplus
}
#endif

#endif /* VEXA_FWLOADER_H */
