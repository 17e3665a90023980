// workbench-shots: pictures of the workbench for the documentation, taken on the built-in
// simulated rack in a program folder of its own (so no real bus and no user settings are
// touched). Runs on any Qt platform; scripts/screenshots.sh runs it under a virtual X server.
//
//   workbench-shots <language index 0|1> <output folder> [sub module id, default 7]
//
// Writes <folder>/<lang>-search.png (the USB search, mid-search), <lang>-login.png and
// <lang>-main.png (main window, sub module selected, both pages read and expanded).
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "TempDir.h"
#include "dialogs/CDlgLogin.h"
#include "dialogs/CDlgUsbSearch.h"
#include "grid/CNetProGrid.h"
#include "views/CDlgWorkSpace.h"
#include "views/CEqumentTree.h"
#include "views/CMainFrame.h"
#include "views/CVexaDeskApp.h"
#include "views/CVexaDeskView.h"

namespace fs = std::filesystem;

namespace {

// Copies the shipped files, the catalog and the translations, and picks the language.
// SHOTS_FILES_DIR replaces the shipped files, to try a skin or colours before changing them.
void makeAppDir(const std::string& dir, int language) {
    const char* files = std::getenv("SHOTS_FILES_DIR");
    fs::copy(files ? files : VEXADESK_FILES_DIR, dir, fs::copy_options::recursive);
    fs::copy(VEXADESK_CATALOG_DIR, dir + "/devtype", fs::copy_options::recursive);
    if (fs::is_directory(VEXADESK_QM_DIR))
        for (const auto& f : fs::directory_iterator(VEXADESK_QM_DIR))
            if (f.path().extension() == ".qm")
                fs::copy_file(f.path(), dir + "/language/" + f.path().filename().string(),
                              fs::copy_options::overwrite_existing);
    const std::string ini = dir + "/language/config.ini";
    std::ifstream in(ini);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const auto at = text.find("Sel=", text.find("[LAST]"));
    if (at == std::string::npos) {
        text += "\n[LAST]\nSel=" + std::to_string(language) + "\n";
    } else {
        const auto end = text.find('\n', at);
        text.replace(at, end == std::string::npos ? std::string::npos : end - at, "Sel=" + std::to_string(language));
    }
    std::ofstream(ini, std::ios::trunc) << text;
}

// One step: when `ready` holds, `act` runs once and the next step begins.
struct Step {
    const char* what;
    std::function<bool()> ready;
    std::function<void()> act;
};

bool save(const QPixmap& pm, const QString& file) {
    // Quality 0 is the strongest PNG compression: flat interface pictures stay small.
    if (!pm.save(file, "PNG", 0)) {
        std::fprintf(stderr, "workbench-shots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: workbench-shots <language 0|1> <output folder> [sub module id]\n");
        return 2;
    }
    const int language = std::atoi(argv[1]);
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    const int subId = argc > 3 ? std::atoi(argv[3]) : 7;
    const QString prefix = outDir + QStringLiteral("/%1-").arg(language == 0 ? "zh" : "en");
    QDir().mkpath(outDir);

    vexa::test::TempDir appDir;
    makeAppDir(appDir.path(), language);
    setenv("VEXA_APPDIR", appDir.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (appDir.path() + "/user").c_str(), 1);
    unsetenv("VEXA_HID");

    QApplication app(argc, argv);
    vexadesk::CVexaDeskApp desk(app);
    if (!desk.start(vexadesk::StartOptions{.simulate = true}, true)) return 1;
    vexadesk::CMainFrame& frame = *desk.frame();
    frame.resize(1180, 760);

    auto* ws = frame.view()->workspace();
    bool dataDone = false, selectStarted = false;
    QObject::connect(ws, &vexadesk::CDlgWorkSpace::dataRead, [&](int rc) {
        if (selectStarted && rc == 0) dataDone = true;
    });
    auto modal = [] { return QApplication::activeModalWidget(); };
    auto searchDlg = [&] { return qobject_cast<vexadesk::CDlgUsbSearch*>(modal()); };
    auto loginDlg = [&] { return qobject_cast<vexadesk::CDlgLogin*>(modal()); };
    int failures = 0;
    std::chrono::steady_clock::time_point settleUntil;

    std::vector<Step> steps = {
        {"search dialog with a device listed",
         [&] { return searchDlg() && searchDlg()->list()->topLevelItemCount() > 0 && searchDlg()->ticks() >= 16; },
         [&] { failures += !save(searchDlg()->grab(), prefix + "search.png"); }},
        {"search finished, devices in the tree",
         [&] { return !modal() && !frame.tree()->records().empty(); },
         [&] {
             QTreeWidgetItem* item = frame.tree()->itemFor(frame.tree()->records()[0].get(), subId);
             if (!item) {
                 std::fprintf(stderr, "workbench-shots: no sub module %d on the rack\n", subId);
                 ++failures;
                 app.exit(1);
                 return;
             }
             selectStarted = true;
             // Selecting opens the login dialog modally: let this step return first.
             QTimer::singleShot(0, &frame, [&frame, item] { frame.tree()->setCurrentItem(item); });
         }},
        {"login dialog", [&] { return loginDlg() != nullptr; },
         [&] {
             auto* dlg = loginDlg();
             failures += !save(dlg->grab(), prefix + "login.png");
             dlg->passwordEdit()->setText(QString::fromLatin1(vexadesk::CDlgLogin::kDefaultPassword));
             QTimer::singleShot(0, dlg, [dlg] { dlg->accept(); });
         }},
        {"both pages read from the device", [&] { return dataDone && !modal() && !ws->busy(); },
         [&] {
             ws->setPeriodicRefresh(false);
             if (ws->configGrid()) ws->configGrid()->expandCollapseAll(1);
             if (ws->dataGrid()) ws->dataGrid()->expandCollapseAll(1);
             // A selected row with a description fills the grid's help panel, as under a user's hand.
             if (auto* grid = ws->configGrid()) {
                 for (QTreeWidgetItemIterator it(grid->tree()); *it; ++it)
                     if ((*it)->parent() && !(*it)->statusTip(0).isEmpty()) {
                         grid->tree()->setCurrentItem(*it, 0);
                         break;
                     }
             }
             settleUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
         }},
        {"layout settled", [&] { return std::chrono::steady_clock::now() >= settleUntil; },
         [&] {
             failures += !save(frame.grab(), prefix + "main.png");
             app.exit(failures ? 1 : 0);
         }},
    };

    std::size_t next = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (next >= steps.size()) return;
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "workbench-shots: timed out waiting for: %s\n", steps[next].what);
            poll.stop();
            if (QWidget* m = modal()) QTimer::singleShot(0, m, [m] { m->close(); });
            app.exit(1);
            return;
        }
        if (!steps[next].ready()) return;
        steps[next++].act();
    });
    poll.start(20);
    return app.exec();
}
