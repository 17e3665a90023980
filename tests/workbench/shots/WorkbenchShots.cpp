// workbench-shots: pictures of the workbench for the documentation, taken on the built-in
// simulated rack in a program folder of its own (so no real bus and no user settings are
// touched). Runs on any Qt platform; scripts/screenshots.sh runs it under a virtual X server.
//
//   workbench-shots <language index 0|1> <output folder> [sub module id, default 7]
//
// Writes <folder>/<lang>-search.png (the USB search, mid-search), <lang>-login.png,
// <lang>-main.png (main window, sub module selected, both pages read and expanded), then on the
// analog input module at id 1: <lang>-edit.png (a drop-down of its configuration open),
// <lang>-trend.png (the trend of its live inputs after ~15 s of refreshes) and
// <lang>-calibration.png (the message a finished calibration gives, over the main window).
// Then on the coupler: <lang>-mapping.png (the PDO mapping editor with inputs and outputs placed
// in several PDOs, downloaded and read back) and <lang>-upgrade.png (the upgrade library's dialog
// mid-transfer, a sub module of the rack in its boot loader taking a generated upgrade file).
// Last <lang>-compare.png: the Ethernet coupler's rack beside a backup taken before three of its
// settings and its name changed; and <lang>-searchkind.png, the search's question on RS-485.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <FwLoader.h>
#include <VexaSdk.h>

#include "RackUpgrade.h"
#include "TempDir.h"
#include "core/CGenGlobal.h"
#include "device/CDeviceThread.h"
#include "device/SubUpgrade.h"
#include "dialogs/CUsbDownDlg.h"
#include "dialogs/CDlgLogin.h"
#include "dialogs/CDlgRackConfig.h"
#include "dialogs/CDlgSearchKind.h"
#include "device/SimulatedRack.h"
#include "dialogs/CDlgUsbSearch.h"
#include "grid/CNetProGrid.h"
#include "views/CDlgWorkSpace.h"
#include "views/CEqumentTree.h"
#include "views/CMainFrame.h"
#include "views/CTrendView.h"
#include "views/CVexaDeskApp.h"
#include "views/CVexaDeskView.h"

namespace fs = std::filesystem;

// The analog input module of the built-in rack: live inputs, drop-downs and a calibration.
constexpr int kEditId = 1;
// The digital input module of the built-in rack: upgraded for the picture of the library's dialog.
constexpr int kUpgradeId = 3;
// Large enough that the transfer lasts some seconds on the simulated bus.
constexpr std::size_t kUpgradeBytes = 96 * 1024;
// What a picture in the documentation may weigh.
constexpr qint64 kMaxPngBytes = 150 * 1024;
// About 15 s of refreshes: most of one swing of the simulated inputs.
constexpr int kTrendSamples = 15000 / vexadesk::CDlgWorkSpace::kRefreshMs;

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
    // The boot plug-ins the upgrade library loads from the program folder.
    if (fs::is_directory(SHOTS_DEVDLLS_DIR))
        fs::copy(SHOTS_DEVDLLS_DIR, dir + "/devdlls", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
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
    // A picture with much smoothed text can still be large for the documentation: the lowest bits
    // of each colour, which no reader sees, are dropped until it fits.
    for (unsigned mask : {0xFCFCFCu, 0xF8F8F8u}) {
        if (QFileInfo(file).size() <= kMaxPngBytes) break;
        QImage im = pm.toImage().convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < im.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(im.scanLine(y));
            for (int x = 0; x < im.width(); ++x) line[x] = (line[x] & mask) | 0xFF000000u;
        }
        if (!im.save(file, "PNG", 0)) {
            std::fprintf(stderr, "workbench-shots: cannot write %s\n", qPrintable(file));
            return false;
        }
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

// The window with a separate top-level one (a message box, an open drop-down list) painted
// where the screen shows it: a grab of the window alone leaves such windows out. Without a
// window manager they have no frame of their own, so a box gets a thin border.
QPixmap grabWithOverlay(QWidget& window, QWidget* overlay, bool border) {
    QPixmap pm = window.grab();
    if (!overlay || !overlay->isVisible()) return pm;
    const QPixmap top = overlay->grab();
    QPoint at = overlay->mapToGlobal(QPoint()) - window.mapToGlobal(QPoint());
    // A box placed off the window (no parent position known) is shown centred instead.
    if (!QRect(QPoint(), pm.size()).contains(QRect(at, top.size())))
        at = QPoint((pm.width() - top.width()) / 2, (pm.height() - top.height()) / 2);
    QPainter p(&pm);
    p.drawPixmap(at, top);
    if (border) {
        // The caption a window manager would show above the box.
        const int band = overlay->fontMetrics().height() + 8;
        const QRect title(at.x(), at.y() - band, top.width(), band);
        p.fillRect(title, QColor(0xDD, 0xE3, 0xEA));
        p.setPen(QColor(0x20, 0x20, 0x20));
        p.setFont(overlay->font());
        p.drawText(title.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, overlay->windowTitle());
        p.setPen(QColor(0x70, 0x70, 0x70));
        p.drawRect(QRect(title.topLeft(), QSize(top.width(), top.height() + band)).adjusted(-1, -1, 0, 0));
    }
    return pm;
}

// The first editable row with at least two options on `grid`'s page, or null.
vexadesk::CatalogNode* firstOptionRow(vexadesk::CNetProGrid* grid) {
    if (!grid) return nullptr;
    for (auto& n : grid->page()->nodes)
        if (!n->isCategory() && n->options.size() >= 2 && n->readonly == 0 && !grid->isReadOnly(n.get()) &&
            grid->itemOf(n.get()))
            return n.get();
    return nullptr;
}

// Answers the workbench's questions with yes and keeps its other messages, so that the later
// steps run without boxes of the workbench in the way; any message there is reported.
class Answering : public name_share::IMessagePresenter {
public:
    int present(void*, const std::string&, const std::string& text, int, int style) override {
        if (style == 0) messages.push_back(text);
        return style != 0 ? QMessageBox::Yes : QMessageBox::Ok;
    }
    std::vector<std::string> messages;
};

// A shown top-level widget of the given object name, or null.
QWidget* topLevelNamed(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && w->isVisible()) return w;
    return nullptr;
}

// A shown message box of the upgrade library's dialog, or null.
QMessageBox* shownBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}

// Places the free channels of one side of the coupler into PDOs 0..pdos-1 as a user would: a
// PDO selected in the tree, a channel and an image offset in the lists, "add". At most
// `perModule` channels of a module, so that several modules show; offsets follow one another, a
// two-word channel on an even one. Returns the entries placed.
int placeChannels(vexadesk::CUsbDownDlg& d, bool output, int pdos, int perPdo, int perModule) {
    const auto& channels = d.layout().channels(output);
    int pdo = 0, used = 0, inPdo = 0, offset = 0, placed = 0;
    std::map<int, int> ofModule;
    for (int i = 0; i < static_cast<int>(channels.size()) && pdo < pdos; ++i) {
        const auto& ch = channels[static_cast<std::size_t>(i)];
        const int words = ch.lengthRegs;
        if (words < 1 || words > 2 || !d.layout().channelFree(output, i) || ofModule[ch.subAddress] >= perModule)
            continue;
        if (used + words > 4 || inPdo >= perPdo) {
            if (++pdo >= pdos) break;
            used = 0;
            inPdo = 0;
        }
        if (words == 2 && offset % 2) ++offset;
        if (offset + words > d.layout().imageWords(output)) break;
        d.selectNode(output, pdo);
        if (!d.selectChannel(output, i, offset) || !d.addButton(output)->isEnabled()) continue;
        output ? d.addOutput() : d.addInput();
        offset += words;
        used += words;
        ++inPdo;
        ++placed;
        ++ofModule[ch.subAddress];
    }
    return placed;
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
    std::chrono::steady_clock::time_point settleUntil, trendFrom;
    vexadesk::CatalogNode* editRow = nullptr;
    QComboBox* editCombo = nullptr;
    QList<int> splitSizes;
    Answering answering;
    name_share::IMessagePresenter* deskPresenter = nullptr;
    std::unique_ptr<vexadesk::CUsbDownDlg> mapDlg;
    std::string upgradePath;
    bool upgradeEnded = false;
    int upgradeRc = -1, upgradeMax = 0;
    QWidget* upgradeDlg = nullptr;
    auto progressOf = [&]() -> QProgressBar* {
        return upgradeDlg ? upgradeDlg->findChild<QProgressBar*>(QStringLiteral("progress")) : nullptr;
    };
    auto upgradeIdle = [&] {
        auto* exit = upgradeDlg ? upgradeDlg->findChild<QPushButton*>(QStringLiteral("exit")) : nullptr;
        return exit && exit->isEnabled();
    };
    auto reportMessages = [&] {
        for (const auto& m : answering.messages) std::fprintf(stderr, "workbench-shots: message: %s\n", m.c_str());
        failures += static_cast<int>(answering.messages.size());
        answering.messages.clear();
    };

    std::unique_ptr<vexadesk::CDlgRackConfig> rackDlg;
    int rackSteps = 0;
    const QString rackPath = QString::fromStdString(appDir.path() + "/rack.json");
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
             QTreeWidgetItem* item = frame.tree()->itemFor(frame.tree()->records()[0].get(), kEditId);
             if (!item) {
                 std::fprintf(stderr, "workbench-shots: no sub module %d on the rack\n", kEditId);
                 ++failures;
                 app.exit(1);
                 return;
             }
             dataDone = false;
             frame.tree()->setCurrentItem(item);
         }},
        {"the analog input module read", [&] { return dataDone && !modal() && !ws->busy(); },
         [&] {
             auto* grid = ws->configGrid();
             grid->expandCollapseAll(1);
             if (ws->dataGrid()) ws->dataGrid()->expandCollapseAll(1);
             editRow = firstOptionRow(grid);
             QTreeWidgetItem* item = editRow ? grid->itemOf(editRow) : nullptr;
             QWidget* cell = item ? grid->tree()->itemWidget(item, 1) : nullptr;
             editCombo = qobject_cast<QComboBox*>(cell);
             if (!editCombo && cell) editCombo = cell->findChild<QComboBox*>();
             if (!editCombo) {
                 std::fprintf(stderr, "workbench-shots: no drop-down row on sub module %d\n", kEditId);
                 ++failures;
                 app.exit(1);
                 return;
             }
             grid->tree()->setCurrentItem(item, 0);
             grid->tree()->scrollToItem(item, QAbstractItemView::PositionAtTop);
             editCombo->showPopup();
             // The pointer rests on another choice than the one the module holds.
             QAbstractItemView* list = editCombo->view();
             const int other = editCombo->currentIndex() == 1 ? 2 % editCombo->count() : 1;
             list->setCurrentIndex(list->model()->index(other, 0));
             settleUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
         }},
        {"drop-down open", [&] { return std::chrono::steady_clock::now() >= settleUntil; },
         [&] {
             failures += !save(grabWithOverlay(frame, editCombo->view()->window(), false), prefix + "edit.png");
             editCombo->hidePopup();
             // The trend gets most of the height, as a person watching it would arrange it.
             if (auto* split = ws->findChild<QSplitter*>()) {
                 splitSizes = split->sizes();
                 const int total = splitSizes.value(0) + splitSizes.value(1);
                 split->setSizes({total / 4, total - total / 4});
             }
             if (auto* tabs = ws->findChild<QTabWidget*>()) tabs->setCurrentWidget(ws->trend());
             // The shortest window, as for a first look: a few seconds of data are not a sliver.
             ws->trend()->setWindowMinutes(1);
             trendFrom = std::chrono::steady_clock::now();
             ws->setPeriodicRefresh(true);
         }},
        {"trend samples",
         [&] {
             const auto waited = std::chrono::steady_clock::now() - trendFrom;
             return ws->trend()->sampleCount() >= kTrendSamples ||
                    (waited > std::chrono::seconds(20) && ws->trend()->sampleCount() > 1);
         },
         [&] { settleUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(300); }},
        {"trend drawn", [&] { return std::chrono::steady_clock::now() >= settleUntil; },
         [&] {
             failures += !save(frame.grab(), prefix + "trend.png");
             ws->setPeriodicRefresh(false);
             if (auto* split = ws->findChild<QSplitter*>(); split && splitSizes.size() == 2) split->setSizes(splitSizes);
             if (auto* tabs = ws->findChild<QTabWidget*>()) tabs->setCurrentIndex(0);
         }},
        {"refreshes stopped", [&] { return !ws->busy() && !ws->commandRunning(); },
         [&] {
             vexadesk::CatalogNode* calib = nullptr;
             if (auto* grid = ws->dataGrid())
                 for (auto& n : grid->page()->nodes)
                     if (!n->isCategory() && n->cmd == "SET_CMD_CALIB_W") calib = n.get();
             if (!calib) {
                 std::fprintf(stderr, "workbench-shots: no calibration row on sub module %d\n", kEditId);
                 ++failures;
                 app.exit(1);
                 return;
             }
             ws->dataGrid()->tree()->setCurrentItem(ws->dataGrid()->itemOf(calib), 0);
             ws->dataGrid()->tree()->scrollToItem(ws->dataGrid()->itemOf(calib), QAbstractItemView::PositionAtCenter);
             ws->runSendDataRow(calib);
         }},
        {"calibration polled twice",
         [&] {
             auto* bar = ws->findChild<QProgressBar*>();
             return bar && bar->isVisible() && bar->value() >= 2;
         },
         [&] {
             // The simulated module never finishes a calibration by itself: its result register
             // is set as the module would, so the next poll finds it done. It goes through the
             // device thread's own handle (the library serialises its calls), which is busy
             // polling and could not take a job of ours before the polls end.
             vexadesk::SubSlot* slot = frame.tree()->records()[0]->slotWithId(kEditId);
             KO_SUBHANDLE s = slot ? slot->handle.load() : nullptr;
             if (!s || KO_ResetSubDevProperty(s) != RC_OK || KO_ModifySubDevProperty(s, "SET_CMD_CALIB_R", "1") != RC_OK ||
                 KO_SubmitSubDevProperty(s) != RC_OK)
                 std::fprintf(stderr, "workbench-shots: cannot finish the calibration; the failure is shown\n");
         }},
        {"calibration message", [&] { return qobject_cast<QMessageBox*>(modal()) != nullptr; },
         [&] { settleUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(300); }},
        {"message drawn", [&] { return std::chrono::steady_clock::now() >= settleUntil; },
         [&] {
             auto* box = qobject_cast<QMessageBox*>(modal());
             if (!box) {
                 ++failures;
                 app.exit(1);
                 return;
             }
             failures += !save(grabWithOverlay(frame, box, true), prefix + "calibration.png");
             QTimer::singleShot(0, box, [box] { box->accept(); });
         }},
        {"calibration ended", [&] { return !modal() && !ws->commandRunning(); },
         [&] {
             deskPresenter = name_share::CGenGlobal::Presenter();
             name_share::CGenGlobal::SetPresenter(&answering);
             // The coupler's mapping editor, opened as its menu entry opens it; it reads the
             // coupler's channels and mapping by itself.
             mapDlg = std::make_unique<vexadesk::CUsbDownDlg>(*frame.tree()->records()[0], *desk.deviceThread(), &frame);
             mapDlg->show();
         }},
        {"mapping editor read the coupler",
         [&] { return !mapDlg->busy() && !mapDlg->layout().channels(false).empty(); },
         [&] {
             const int inputs = placeChannels(*mapDlg, false, 3, 3, 2);
             const int outputs = placeChannels(*mapDlg, true, 2, 2, 2);
             std::printf("mapping: %d inputs, %d outputs placed\n", inputs, outputs);
             if (inputs < 2 || outputs < 2) ++failures;
             reportMessages();
             mapDlg->downloadAll();
         }},
        {"mapping downloaded", [&] { return !mapDlg->busy(); },
         [&] {
             reportMessages();
             mapDlg->readMapping();
         }},
        {"mapping read back", [&] { return !mapDlg->busy(); },
         [&] {
             reportMessages();
             mapDlg->selectNode(false, 0);
             settleUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
         }},
        {"mapping drawn", [&] { return std::chrono::steady_clock::now() >= settleUntil; },
         [&] {
             failures += !save(mapDlg->grab(), prefix + "mapping.png");
             mapDlg->close();
             mapDlg.reset();
             vexadesk::DeviceRecord& rec = *frame.tree()->records()[0];
             vexadesk::SubSlot* slot = rec.slotWithId(kUpgradeId);
             if (!slot) {
                 std::fprintf(stderr, "workbench-shots: no sub module %d on the rack\n", kUpgradeId);
                 ++failures;
                 app.exit(1);
                 return;
             }
             upgradePath = appDir.path() + "/" + QStringLiteral("VEXA-%1_V1.01.upf").arg(slot->type, 4, 16, QLatin1Char('0')).toStdString();
             if (!fwtest::writeBytes(upgradePath, boottest::upgradeFile(fwtest::makePayload(kUpgradeBytes), slot->type))) {
                 std::fprintf(stderr, "workbench-shots: cannot write %s\n", upgradePath.c_str());
                 ++failures;
                 app.exit(1);
                 return;
             }
             // The workbench's own hand-over (module into its boot loader, coupler told), with
             // the library's dialog given the file. It shows modal dialogs: not from this step.
             QTimer::singleShot(0, &frame, [&, rec = &rec] {
                 vexadesk::runSubUpgrade(
                     &frame, *desk.deviceThread(), *rec, kUpgradeId,
                     [&](int rc) {
                         upgradeRc = rc;
                         upgradeEnded = true;
                     },
                     [&](const char* name, const char*, void* params) {
                         return KB_UpdateFirwareDlg(name, upgradePath.c_str(), params);
                     });
             });
         }},
        {"upgrade dialog found the module in its boot loader",
         [&] {
             upgradeDlg = topLevelNamed("CUpdateFirwareDlg");
             auto* list = upgradeDlg ? upgradeDlg->findChild<QTreeWidget*>(QStringLiteral("devices")) : nullptr;
             return list && upgradeIdle() && list->topLevelItemCount() > 0 &&
                    list->topLevelItem(0)->data(0, Qt::UserRole).toInt() >= 0;
         },
         [&] {
             auto* list = upgradeDlg->findChild<QTreeWidget*>(QStringLiteral("devices"));
             list->setCurrentItem(list->topLevelItem(0));
             upgradeMax = progressOf()->maximum();
             upgradeDlg->findChild<QPushButton*>(QStringLiteral("upgrade"))->click();
         }},
        {"upgrade part-way",
         [&] {
             auto* bar = progressOf();
             return bar && (bar->value() >= upgradeMax * 2 / 5 || shownBox());
         },
         [&] {
             auto* bar = progressOf();
             if (shownBox() || bar->value() >= upgradeMax) {
                 std::fprintf(stderr, "workbench-shots: the upgrade ended before a picture (%d/%d)\n", bar->value(), upgradeMax);
                 ++failures;
             } else {
                 failures += !save(upgradeDlg->grab(), prefix + "upgrade.png");
             }
         }},
        {"upgrade finished", [&] { return shownBox() != nullptr; },
         [&] {
             QMessageBox* box = shownBox();
             std::printf("upgrade: %s\n", qPrintable(box->text()));
             QTimer::singleShot(0, box, [box] { box->buttons().isEmpty() ? box->accept() : box->buttons().front()->click(); });
         }},
        {"upgrade dialog idle again", [&] { return !shownBox() && upgradeIdle(); },
         [&] {
             QTimer::singleShot(0, upgradeDlg, [d = upgradeDlg] { d->findChild<QPushButton*>(QStringLiteral("exit"))->click(); });
         }},
        {"coupler back after the upgrade", [&] { return upgradeEnded; },
         [&] {
             if (upgradeRc != vexadesk::kSubUpgradeDone) {
                 std::fprintf(stderr, "workbench-shots: the upgrade's hand-over ended with %d\n", upgradeRc);
                 ++failures;
             }
             // The Ethernet coupler's rack beside a backup taken before three settings and its
             // name were changed.
             vexadesk::DeviceRecord* eth = nullptr;
             for (const auto& r : frame.tree()->records())
                 if (r->linkType == vexadesk::kLinkEthernet) eth = r.get();
             if (!eth) {
                 std::fprintf(stderr, "workbench-shots: no Ethernet coupler on the rack\n");
                 ++failures;
                 app.exit(1);
                 return;
             }
             eth->loggedIn = true;
             rackDlg = std::make_unique<vexadesk::CDlgRackConfig>(*eth, *desk.deviceThread(), &frame);
             QObject::connect(rackDlg.get(), &vexadesk::CDlgRackConfig::finished, [&](int rc) {
                 ++rackSteps;
                 failures += rc != 0;
             });
             rackDlg->show();
             rackDlg->backupTo(rackPath);
         }},
        {"rack saved", [&] { return rackSteps == 1; },
         [&] {
             vexadesk::DeviceRecord* eth = &rackDlg->record();
             desk.deviceThread()->post([eth] {
                 const struct {
                     std::uint16_t type;
                     const char* key;
                     const char* value;
                 } changes[] = {{0x4017, "SET_AIN_TYPE_2", "1"}, {0x2808, "SET_DOUT_MODE_3", "1"}, {0x2808, "SET_DOUT_DEFAULT_5", "1"}};
                 for (const auto& c : changes)
                     for (const auto& slot : eth->subSlots)
                         if (slot.id && slot.type == c.type) {
                             KO_SUBHANDLE s = KO_SetOperateSubDev(eth->handle.load(), slot.id);
                             KO_ReadSubDevProperty(s);
                             KO_ModifySubDevProperty(s, c.key, c.value);
                             KO_SubmitSubDevProperty(s);
                         }
                 KO_ReadMainProperty(eth->handle.load());
                 KO_ModifyMainProperty(eth->handle.load(), "MAIN_NAME", "line 2");
                 KO_SubmitMainProperty(eth->handle.load(), "");
             });
             rackDlg->openBackup(rackPath);
         }},
        {"rack compared", [&] { return rackSteps == 2; },
         [&] { settleUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(400); }},
        {"comparison drawn", [&] { return std::chrono::steady_clock::now() >= settleUntil; },
         [&] {
             failures += !save(rackDlg->grab(), prefix + "compare.png");
             rackDlg.reset();
             // The search's first question, on the RS-485 page.
             vexadesk::CDlgSearchKind kind(&frame);
             vexadesk::SearchRequest rs = kind.request();
             rs.kind = vexadesk::kLinkSerial;
             rs.line.port = desk.simulatedRack() ? desk.simulatedRack()->serialPort() : std::string("/dev/ttyUSB0");
             kind.setRequest(rs);
             kind.show();
             QApplication::processEvents();
             failures += !save(kind.grab(), prefix + "searchkind.png");
             reportMessages();
             name_share::CGenGlobal::SetPresenter(deskPresenter);
             app.exit(failures ? 1 : 0);
         }},
    };

    std::size_t next = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(150);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (next >= steps.size()) return;
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "workbench-shots: timed out waiting for: %s\n", steps[next].what);
            poll.stop();
            if (QWidget* m = modal()) QTimer::singleShot(0, m, [m] { m->close(); });
            if (QMessageBox* box = shownBox()) QTimer::singleShot(0, box, [box] { box->close(); });
            app.exit(1);
            return;
        }
        if (!steps[next].ready()) return;
        steps[next++].act();
    });
    poll.start(20);
    return app.exec();
}
