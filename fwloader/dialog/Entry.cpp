// The module's C entry points: find or make the QApplication, run one modal dialog.
#define FWDLG_BUILD
#include "FwLoaderDialog.h"

#include <QApplication>
#include <QThread>

#include <memory>

#include "CSelectDlg.h"
#include "CUpdateFirwareDlg.h"
#include "DialogHost.h"

namespace {

// QApplication keeps references to its arguments for its whole life.
int g_argc = 1;
char g_name[] = "FwLoader";
char* g_argv[] = {g_name, nullptr};

// Runs `show` with the process's QApplication, or with one made for this dialog alone when the
// process has none (a program that is no Qt program of its own).
template <typename F>
int withApplication(F&& show) noexcept {
    try {
        if (QCoreApplication* existing = QCoreApplication::instance()) {
            if (!qobject_cast<QApplication*>(existing)) return FWDLG_NOT_GUI;
            if (QThread::currentThread() != existing->thread()) return FWDLG_WRONG_THREAD;
            return show();
        }
        if (!fwdlg::displayAvailable()) return FWDLG_NO_DISPLAY;
        QApplication app(g_argc, g_argv);
        return show();
    } catch (...) {
        return FWDLG_FAILED;
    }
}

}  // namespace

extern "C" {

FWDLG_API int FwDlg_Run(const char* commName, const char* path, void* openParams) {
    return withApplication([&] {
        CUpdateFirwareDlg dlg(commName, path, openParams, QApplication::activeWindow());
        dlg.exec();
        return int{FWDLG_SHOWN};
    });
}

FWDLG_API int FwDlg_SelectTransport(int current) {
    return withApplication([&] {
        CSelectDlg dlg(current, QApplication::activeWindow());
        dlg.exec();
        return dlg.selection();
    });
}

}  // extern "C"
