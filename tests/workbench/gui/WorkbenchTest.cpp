// The workbench driven as an engineer drives it, offscreen, against the in-process simulated
// rack: search, tree and login gate, pages filled from the device, and how it copes with
// devices that fail.
#include <QElapsedTimer>
#include <QPushButton>
#include <QTreeWidget>
#include <QSignalSpy>
#include <QTest>

#include <VexaSdk.h>

#include <QAction>
#include <QLocale>

#include <fstream>
#include <iterator>

#include "DeskHarness.h"
#include "core/CKNetCom2Global.h"
#include "device/CDeviceThread.h"
#include "dialogs/CDlgUsbSearch.h"
#include "grid/CNetProGrid.h"
#include "views/CDlgBootLoader.h"
#include "views/CDlgWorkSpace.h"
#include "views/CEqumentTree.h"
#include "views/CMainFrame.h"
#include "views/CVexaDeskView.h"

using deskTest::Harness;
using deskTest::RackSpec;
using vexa::sim::subIdentity;
using namespace vexadesk;

namespace {

RackSpec threeSubs() { return RackSpec{{{{1, subIdentity(0x4017)}, {2, subIdentity(0x4017)}, {3, subIdentity(0x2808)}}}}; }

CDlgWorkSpace& workspace(Harness& h) { return *h.frame().view()->workspace(); }

}  // namespace

class WorkbenchTest : public QObject {
    Q_OBJECT
private slots:
    // The main flow up to reading: every row the page reads shows what the library reads.
    void searchLoginAndReadASubModule() {
        Harness h(threeSubs());
        h.search();
        auto& tree = *h.frame().tree();
        QCOMPARE(tree.records().size(), std::size_t(1));
        QTreeWidgetItem* coupler = tree.usbRoot()->child(0);
        QCOMPARE(coupler->text(0), QStringLiteral("VEXA-9020: HID 0"));
        QCOMPARE(coupler->childCount(), 3);
        QCOMPARE(coupler->child(2)->text(0), QStringLiteral("VEXA-2808 id:3"));

        QVERIFY(h.select(0, 1, true));
        DeviceRecord& r = *tree.records()[0];
        QVERIFY(r.loggedIn);
        QCOMPARE(r.password, std::string("pw"));
        auto& ws = workspace(h);
        QCOMPARE(ws.headerText(1035), QStringLiteral("VEXA-4017"));
        QCOMPARE(ws.headerText(1036), QStringLiteral("已登录"));
        QCOMPARE(ws.headerText(1037), QStringLiteral("1"));
        QCOMPARE(ws.headerText(1038), QStringLiteral("Hid"));
        QVERIFY(ws.currentEntry());
        QCOMPARE(ws.currentEntry()->typeCode(), std::uint16_t(0x4017));

        // Read the same module through the library ourselves once the device thread is idle.
        h.frame().view()->workspace()->setPeriodicRefresh(false);
        KO_SUBHANDLE s = KO_SetOperateSubDev(r.handle.load(), 1);
        QVERIFY(s);
        QCOMPARE(KO_ReadSubDevProperty(s), RC_OK);
        QCOMPARE(KO_ReadSubDevData(s), RC_OK);
        int checked = 0;
        for (CNetProGrid* grid : {ws.configGrid(), ws.dataGrid()}) {
            QVERIFY(grid);
            for (auto& n : grid->page()->nodes) {
                if (n->isCategory() || n->cmd.empty() || n->readonly == 2) continue;
                char text[KO_TEXT_SIZE] = {};
                bool data = grid == ws.dataGrid() && n->property != 1;
                int rc = data ? KO_GetSubDevData(s, n->cmd.c_str(), text) : KO_GetSubDevProperty(s, n->cmd.c_str(), text);
                QVERIFY2(rc == RC_OK, n->cmd.c_str());
                // The grid hands values out trimmed, as they are written back.
                std::string want = QString::fromUtf8(text).trimmed().toStdString();
                QVERIFY2(grid->getValue(n.get()) == want,
                         qPrintable(QString::fromStdString(n->cmd + ": '" + grid->getValue(n.get()) + "' vs '" + text + "'")));
                ++checked;
            }
        }
        QVERIFY(checked > 10);
        QVERIFY(h.messages().messages.empty());
    }

    void couplerShowsItsOwnPage() {
        Harness h(threeSubs());
        h.search();
        QVERIFY(h.select(0, -1, false));
        auto& ws = workspace(h);
        QVERIFY(ws.currentEntry());
        QCOMPARE(ws.currentEntry()->typeCode(), std::uint16_t(0x9020));
        QCOMPARE(ws.headerText(1035), QStringLiteral("VEXA-9020"));
        QCOMPARE(ws.subList()->topLevelItemCount(), 3);
        QVERIFY(!h.frame().view()->showingBootLoader());
    }

    // "停止" ends the search within the poll interval plus one library call; what was found
    // up to then is kept.
    void stopEndsTheSearchPromptly() {
        Harness h(threeSubs());
        CDlgUsbSearch dlg(h.thread(), &h.frame());
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.list()->topLevelItemCount() == 4, 5000);  // coupler and three subs
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(dlg.stopButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.isVisible(), 2000);
        QVERIFY2(t.elapsed() < 300 + 300, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        auto found = dlg.takeResults();
        QCOMPARE(found.size(), std::size_t(1));
        QCOMPARE(found[0]->subCount(), 3);
        QCOMPARE(dlg.list()->topLevelItem(1)->text(0), QStringLiteral(" |sub:1"));
        QCOMPARE(dlg.list()->topLevelItem(1)->text(1), QStringLiteral("     4017"));
        for (auto& r : found) KO_UnOperateDev(r->handle.load());
    }

    // With nothing attached the search runs to its time limit and ends with OK, empty.
    void searchTimesOutEmpty() {
        Harness h(RackSpec{});
        CDlgUsbSearch dlg(h.thread(), &h.frame());
        dlg.setTickLimit(20);  // 1 s instead of 25
        QElapsedTimer t;
        t.start();
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QVERIFY(t.elapsed() >= 20 * CDlgUsbSearch::kTickMs * 9 / 10);  // coarse timers may fire a little early
        QCOMPARE(dlg.ticks(), 20);
        QVERIFY(dlg.takeResults().empty());
        QCOMPARE(dlg.list()->topLevelItemCount(), 0);
    }

    // A coupler that cannot list its sub modules stays in the list, without them.
    void couplerWhoseSubSearchFails() {
        Harness h(threeSubs());
        for (int i = 0; i < 32; ++i)
            h.coupler(0).pushHidScript({.command = 0x10, .kind = vexa::sim::HidScriptKind::Refuse});
        h.search();
        auto& tree = *h.frame().tree();
        QCOMPARE(tree.records().size(), std::size_t(1));
        QCOMPARE(tree.usbRoot()->child(0)->childCount(), 0);
    }

    // Cancelling the login keeps the node and page that were shown; a logged-in coupler passes
    // the gate silently, and the login command on it says so.
    void loginGate() {
        Harness h(RackSpec{{{{1, subIdentity(0x4017)}}, {{1, subIdentity(0x2808)}}}});
        h.search();
        auto& tree = *h.frame().tree();
        QCOMPARE(tree.records().size(), std::size_t(2));
        QVERIFY(h.select(0, 1, true));
        QTreeWidgetItem* before = tree.currentItem();

        h.answerNextLogin(false);
        tree.setCurrentItem(tree.itemFor(tree.records()[1].get(), 1));
        QTRY_COMPARE(tree.currentItem(), before);
        QCOMPARE(tree.mode(), CEqumentTree::kSubSelected);
        QVERIFY(!tree.records()[1]->loggedIn);
        QCoreApplication::processEvents();
        QCOMPARE(workspace(h).headerText(1035), QStringLiteral("VEXA-4017"));

        QVERIFY(h.select(0, -1, false));  // same coupler: no dialog, the select would time out otherwise
        h.frame().onLogin();
        QVERIFY(h.messages().saw("已登录"));
    }

    // A module in its boot loader gets the boot-loader page with its mode word in the caption.
    void bootLoaderPage() {
        vexa::sim::Identity boot = subIdentity(0x9999);
        boot.mode = 0x4017;
        Harness h(RackSpec{{{{1, boot}}}});
        h.search();
        auto& tree = *h.frame().tree();
        h.answerNextLogin(true);
        tree.setCurrentItem(tree.itemFor(tree.records()[0].get(), 1));
        QTRY_VERIFY(h.frame().view()->showingBootLoader());
        QCOMPARE(h.frame().view()->bootLoader()->text(), QStringLiteral("VEXA-4017 Boot Loader....."));
    }

    // A sub module the library has no class for is never read through a null handle.
    void unknownTypeSaysSo() {
        Harness h(RackSpec{{{{1, subIdentity(0x1234)}}}});
        h.search();
        QVERIFY(h.select(0, 1, false));
        QVERIFY(h.messages().saw("获取模块信息出错"));
    }

    // One page serves both modules of a type: after a failed read of the second, the page does
    // not show the first one's values.
    void failedReadDoesNotShowTheOtherModule() {
        Harness h(threeSubs());
        h.search();
        QVERIFY(h.select(0, 1, true));
        auto& ws = workspace(h);
        CatalogNode* addr = nullptr;
        for (auto& n : ws.configGrid()->page()->nodes)
            if (n->cmd == "SLAVER_ADDRESS") addr = n.get();
        QVERIFY(addr);
        QCOMPARE(ws.configGrid()->getValue(addr), std::string("1"));
        h.coupler(0).setSilent(true);
        QVERIFY(h.select(0, 2, false));
        QVERIFY(h.messages().saw("获取模块信息出错"));
        QCOMPARE(ws.configGrid()->getValue(addr), addr->defaultval);
        QVERIFY(h.frame().tree()->records()[0]->subSlots[1].propertyRows.empty());
    }

    void periodicRefreshStopsAfterThreeFailures() {
        Harness h(threeSubs());
        h.search();
        QVERIFY(h.select(0, 1, true));
        auto& ws = workspace(h);
        h.coupler(0).setSilent(true);
        ws.setPeriodicRefresh(true);
        QTRY_VERIFY_WITH_TIMEOUT(!ws.periodicRefresh(), 8000);
        QCOMPARE(ws.failedReads(), 0);
    }

    // def_dev is decimal: 9000 names the type 0x2328.
    void clearListShowsTheDefaultPage() {
        Harness h(threeSubs(), [](const std::string& dir) {
            std::ofstream(dir + "/CONFIG/config.ini") << "[SHOW_DEV]\ndef_dev=9000\n";
            std::ofstream(dir + "/devtype/0/x2328.xml")
                << "<devtype value=\"2328\"/><root><catalog name=\"c\"><item id=\"1\" name=\"n\" cmd=\"K\"/></catalog></root>";
        });
        h.search();
        h.frame().onClearList();
        QCoreApplication::processEvents();
        QVERIFY(workspace(h).currentEntry());
        QCOMPARE(workspace(h).currentEntry()->typeCode(), std::uint16_t(0x2328));
        QCOMPARE(h.frame().tree()->records().size(), std::size_t(0));
        QCOMPARE(h.frame().tree()->mode(), CEqumentTree::kRootSelected);
    }

    // The language chosen in language/config.ini picks the translations and the catalog folder.
    void englishThroughout() {
        Harness h(threeSubs(), [](const std::string& dir) {
            std::string file = dir + "/language/config.ini";
            std::ifstream in(file);
            std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            text.replace(text.find("Sel=0"), 5, "Sel=1");
            std::ofstream(file) << text;
        });
        QCOMPARE(h.frame().command(ID_SEARCH)->text(), QStringLiteral("&Search modules"));
        QCOMPARE(CKNetCom2Global::Instance()->StringById(0xF01B), std::string("Reading the module information failed"));
        // The upgrade library's dialog shows the library's texts in this language too.
        QCOMPARE(QLocale().language(), QLocale::English);
        h.search();
        QVERIFY(h.select(0, 1, true));
        QCOMPARE(workspace(h).headerText(1036), QStringLiteral("Logged in"));
        QCOMPARE(QString::fromStdString(workspace(h).configGrid()->page()->nodes[0]->name), QStringLiteral("Module identity"));
    }
};

QTEST_MAIN(WorkbenchTest)
#include "WorkbenchTest.moc"
