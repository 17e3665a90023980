/* The C entry points of the dialog module (libFwLoaderDialog.so), which holds every Qt widget
 * of the upgrade library and the VEXA boot plug-in. FwLoader and VexaBootPort load it with
 * dlopen only when a dialog is to be shown, so a program that never shows one never loads Qt.
 *
 * Both entry points run a modal dialog on the calling thread and return when it closes. When
 * the process already has a QApplication they use it and must be called from its thread; else
 * they create one for the dialog's lifetime. They never throw and never print.
 */
#ifndef VEXA_FWLOADER_DIALOG_H
#define VEXA_FWLOADER_DIALOG_H

#if defined(FWDLG_BUILD)
#define FWDLG_API __attribute__((visibility("default")))
#else
#define FWDLG_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Results of the entry points; the failures mean no dialog was shown. */
enum {
    FWDLG_SHOWN = 1,
    FWDLG_NO_DISPLAY = -1,    /* no display to show a window on */
    FWDLG_NOT_GUI = -2,       /* the process has a QCoreApplication without widgets */
    FWDLG_WRONG_THREAD = -3,  /* called off the thread of the process's QApplication */
    FWDLG_FAILED = -4         /* anything else went wrong */
};

/* The upgrade dialog: commName and path preset the plug-in and the file when not NULL, a
 * non-NULL openParams goes to KB_OpenCommDevice. FWDLG_SHOWN after it closed. */
typedef int (*FwDlg_RunFn)(const char* commName, const char* path, void* openParams);
FWDLG_API int FwDlg_Run(const char* commName, const char* path, void* openParams);

/* The VEXA transport choice, shown with `current` selected (outside 0..2: 0). The choice
 * (0 Ethernet, 1 RS-485, 2 USB HID) when the dialog closed, or a failure result above. */
typedef int (*FwDlg_SelectTransportFn)(int current);
FWDLG_API int FwDlg_SelectTransport(int current);

#ifdef __cplusplus
}
#endif

#endif /* VEXA_FWLOADER_DIALOG_H */
