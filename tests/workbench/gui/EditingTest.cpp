// Changing modules from the workbench, offscreen against the in-process simulated rack: submits
// read back through the library, early rows first, state and send-data rows, the calibrations
// and the output check, reboots, and the refusals.
#include <QDate>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <VexaSdk.h>

#include "DeskHarness.h"
#include "core/CKNetCom2Global.h"
#include "grid/CNetProGrid.h"
#include "views/CDlgWorkSpace.h"
#include "views/CEqumentTree.h"
#include "views/CMainFrame.h"
#include "views/CVexaDeskView.h"

using deskTest::Harness;
using deskTest::RackSpec;
using vexa::sim::subIdentity;
using namespace vexadesk;

namespace {

// One module of each family, and the modules with commands of their own.
RackSpec families() {
    return RackSpec{{{{1, subIdentity(0x4017)},
                      {2, subIdentity(0x4410)},
                      {3, subIdentity(0x2808)},
                      {4, subIdentity(0x1804)},
                      {5, subIdentity(0x5508)},
                      {6, subIdentity(0x4017, 0x0120)},
                      {7, subIdentity(0x3800, 0x0150)},
                      {8, subIdentity(0x3402)}},
                     {{1, subIdentity(0x3900)}, {2, subIdentity(0x7404)}}}};
}

CDlgWorkSpace& ws(Harness& h) { return *h.frame().view()->workspace(); }

// The node with this key on either page, and the grid that shows it.
CatalogNode* nodeFor(Harness& h, const std::string& key, CNetProGrid** grid = nullptr) {
    for (CNetProGrid* g : {ws(h).configGrid(), ws(h).dataGrid()}) {
        if (!g) continue;
        for (auto& n : g->page()->nodes)
            if (!n->isCategory() && n->cmd == key) {
                if (grid) *grid = g;
                return n.get();
            }
    }
    return nullptr;
}

// What the library reads from the module now, through a handle of our own.
std::string libraryText(Harness& h, int coupler, int subId, const std::string& key, bool data) {
    DeviceRecord& r = *h.frame().tree()->records()[coupler];
    KO_SUBHANDLE s = KO_SetOperateSubDev(r.handle.load(), subId);
    if (!s || KO_ReadSubDevProperty(s) != RC_OK || (data && KO_ReadSubDevData(s) != RC_OK)) return "<no read>";
    char text[KO_TEXT_SIZE] = {};
    int rc = data ? KO_GetSubDevData(s, key.c_str(), text) : KO_GetSubDevProperty(s, key.c_str(), text);
    return rc == RC_OK ? QString::fromUtf8(text).trimmed().toStdString() : "<rc " + std::to_string(rc) + ">";
}

// Runs `start` and waits for the workspace's command to end; its rc and message.
std::pair<int, QString> finish(Harness& h, const std::function<void()>& start, int timeoutMs = 10000) {
    QSignalSpy done(&ws(h), &CDlgWorkSpace::commandFinished);
    start();
    if (!done.wait(timeoutMs)) return {-1, QStringLiteral("<no end>")};
    return {done[0][0].toInt(), done[0][1].toString()};
}

void waitIdle(Harness& h) {
    QTRY_VERIFY_WITH_TIMEOUT(!ws(h).busy() && !ws(h).commandRunning(), 10000);
}

// Search, select a module (reading its pages) and let the device thread settle.
bool searchAndSelect(Harness& h, int coupler, int subId, bool waitForData) {
    h.search();
    if (!h.select(coupler, subId, waitForData)) return false;
    return QTest::qWaitFor([&] { return !ws(h).busy() && !ws(h).commandRunning(); }, 10000);
}

// The HID commands the coupler received, in order.
std::vector<int> commands(Harness& h, int coupler) {
    std::vector<int> out;
    for (const auto& req : h.coupler(coupler).requests())
        for (std::size_t i = 0; i + 2 < req.size(); ++i)
            if (req[i] == 0x7E) {
                out.push_back(req[i + 2]);
                break;
            }
    return out;
}

}  // namespace

class EditingTest : public QObject {
    Q_OBJECT
private slots:
    // For one module of each family: choose another option, submit, and both the module and
    // the page hold it afterwards.
    void submitChangesOneModuleOfEachFamily_data() {
        QTest::addColumn<int>("subId");
        QTest::newRow("analog in") << 1;
        QTest::newRow("analog out") << 2;
        QTest::newRow("digital out") << 3;
        QTest::newRow("counter") << 4;
        QTest::newRow("temperature") << 5;
    }
    void submitChangesOneModuleOfEachFamily() {
        QFETCH(int, subId);
        Harness h(families());
        QVERIFY(searchAndSelect(h, 0, subId, true));
        CNetProGrid* grid = ws(h).configGrid();
        CatalogNode* row = nullptr;
        std::string chosen;
        for (auto& n : grid->page()->nodes) {
            if (n->isCategory() || n->options.size() < 2 || n->readonly != 0 || grid->isReadOnly(n.get())) continue;
            for (const auto& o : n->options)
                if (o.value != grid->getValue(n.get())) chosen = o.value;
            row = n.get();
            break;
        }
        QVERIFY2(row, "the page has an option row to change");
        grid->setValue(row, chosen);
        grid->chooseOption(row);
        auto [rc, text] = finish(h, [&] { ws(h).submitConfiguration(); });
        QCOMPARE(rc, 0);
        QCOMPARE(text, QStringLiteral("修改配置成功"));
        waitIdle(h);
        QCOMPARE(libraryText(h, 0, subId, row->cmd, false), chosen);
        QCOMPARE(grid->getValue(row), chosen);
    }

    // A row flagged to go first is written, and the module re-read, before the other rows.
    void earlyRowsGoFirst() {
        Harness h(families());
        h.search();
        int subId = 0;
        CatalogNode *early = nullptr, *other = nullptr;
        CNetProGrid* grid = nullptr;
        for (int id : {1, 2, 7, 8, 6}) {
            QVERIFY(h.select(0, id, true));
            waitIdle(h);
            grid = ws(h).configGrid();
            early = other = nullptr;
            for (auto& n : grid->page()->nodes) {
                if (n->isCategory() || n->options.size() < 2 || n->readonly != 0 || grid->isReadOnly(n.get())) continue;
                if (n->mdyearlier == 1 && !early) early = n.get();
                if (n->mdyearlier == 0 && !other) other = n.get();
            }
            if (early && other) {
                subId = id;
                break;
            }
        }
        QVERIFY2(subId, "a page with an early row and another option row");
        for (CatalogNode* n : {early, other})
            for (const auto& o : n->options)
                if (o.value != grid->getValue(n)) {
                    grid->setValue(n, o.value);
                    break;
                }
        h.coupler(0).clearLog();
        auto [rc, text] = finish(h, [&] { ws(h).submitConfiguration(); });
        QCOMPARE(rc, 0);
        std::vector<int> seen = commands(h, 0);
        auto first = std::find(seen.begin(), seen.end(), 0x13);
        QVERIFY(first != seen.end());
        auto reread = std::find(first, seen.end(), 0x11);
        QVERIFY2(reread != seen.end(), "the module is read again after the early write");
        QVERIFY2(std::find(reread, seen.end(), 0x13) != seen.end(), "the other rows follow");
    }

    // Nothing changed, nothing sent; the coefficient texts with blanks count as unchanged.
    void unchangedPageSendsNothing() {
        Harness h(families());
        QVERIFY(searchAndSelect(h, 1, 1, true));
        h.coupler(1).clearLog();
        ws(h).submitConfiguration();
        QVERIFY(h.messages().saw("没有做任何修改"));
        QCoreApplication::processEvents();
        QCOMPARE(h.coupler(1).requestCount(), std::size_t(0));
    }

    // A text the library refuses stops the submit: nothing of the page goes out.
    void refusedValueSaysSo() {
        Harness h(families());
        QVERIFY(searchAndSelect(h, 0, 2, true));
        CNetProGrid* grid = ws(h).configGrid();
        CatalogNode* plain = nullptr;
        for (auto& n : grid->page()->nodes)
            if (!n->isCategory() && n->options.empty() && n->readonly == 0 && n->editor == EditorKind::Plain &&
                !grid->isReadOnly(n.get()) && n->cmd.rfind("SET_", 0) == 0)
                plain = n.get();
        QVERIFY(plain);
        grid->setValue(plain, "not a number");
        h.coupler(0).clearLog();
        auto [rc, text] = finish(h, [&] { ws(h).submitConfiguration(); });
        QVERIFY(rc != 0);
        QCOMPARE(text, QStringLiteral("修改模块配置信息出错"));
        for (int c : commands(h, 0)) QVERIFY(c != 0x13);
    }

    void stateButtonSwitchesAnOutput() {
        Harness h(families());
        QVERIFY(searchAndSelect(h, 0, 3, true));
        CNetProGrid* grid = nullptr;
        CatalogNode* out0 = nodeFor(h, "DATA_DOUT_0", &grid);
        QVERIFY(out0 && out0->editor == EditorKind::StateButton);
        QVERIFY(!grid->stateOn(out0));
        auto [rc, text] = finish(h, [&] { ws(h).toggleState(out0); });
        QCOMPARE(rc, 0);
        QVERIFY(grid->stateOn(out0));
        waitIdle(h);
        QCOMPARE(libraryText(h, 0, 3, "DATA_DOUT_0", true), std::string("1"));
    }

    // The send button of one counter writes 0 to that counter only.
    void counterReset() {
        Harness h(families());
        h.coupler(0).setSubRegister(4, 6, 5);  // DATA_COUNT_2: low word first
        h.coupler(0).setSubRegister(4, 8, 7);  // DATA_COUNT_3
        QVERIFY(searchAndSelect(h, 0, 4, true));
        CatalogNode* count3 = nodeFor(h, "DATA_COUNT_3");
        QVERIFY(count3 && count3->editor == EditorKind::SendData);
        auto [rc, text] = finish(h, [&] { ws(h).runSendDataRow(count3); });
        QCOMPARE(rc, 0);
        waitIdle(h);
        QCOMPARE(libraryText(h, 0, 4, "DATA_COUNT_3", true), std::string("0"));
        QCOMPARE(libraryText(h, 0, 4, "DATA_COUNT_2", true), std::string("5"));
    }

    // The module reports done on the third poll: success after about a second.
    void calibrationSucceedsOnTheThirdPoll() {
        Harness h(families());
        QVERIFY(searchAndSelect(h, 0, 6, true));
        CatalogNode* calib = nodeFor(h, "SET_CMD_CALIB_W");
        QVERIFY(calib);
        QTimer::singleShot(1100, &h.frame(), [&] { h.coupler(0).setSubRegister(6, 153, 1); });
        QElapsedTimer t;
        t.start();
        auto [rc, text] = finish(h, [&] { ws(h).runSendDataRow(calib); });
        QCOMPARE(text, QStringLiteral("校准成功"));
        QVERIFY(t.elapsed() >= 1000 && t.elapsed() < 3000);
    }

    void calibrationThatNeverEnds() {
        Harness h(families());
        QVERIFY(searchAndSelect(h, 0, 6, true));
        CatalogNode* calib = nodeFor(h, "SET_CMD_CALIB_W");
        QVERIFY(calib);
        auto [rc, text] = finish(h, [&] { ws(h).runSendDataRow(calib); }, 15000);
        QCOMPARE(text, QStringLiteral("校准失败"));
        QVERIFY(h.messages().saw("校准失败"));
    }

    // 0x8301: both ranges and sampling resistor 1 calibrated, resistors 2 to 8 not.
    void calibrationReportPerRange() {
        Harness h(families());
        h.coupler(0).setSubRegister(7, 154, 0x8301);
        QVERIFY(searchAndSelect(h, 0, 7, true));
        CatalogNode* mode = nodeFor(h, "SET_WORKMODE");
        QVERIFY(mode);
        auto [rc, text] = finish(h, [&] { ws(h).runSendDataRow(mode); });
        QString want = QStringLiteral("校准完成\n10V量程校准    成功\n5V量程校准     成功\n采样电阻1校准  成功\n");
        for (int i = 2; i <= 8; ++i) want += QStringLiteral("采样电阻%1校准  不成功\n").arg(i);
        QCOMPARE(text, want);
    }

    // The output check writes today's date and clears the module's answer afterwards.
    void outputCheckWritesTheDate() {
        Harness h(families());
        h.coupler(0).setSubRegister(8, 113, 1);  // the module answers at once
        QVERIFY(searchAndSelect(h, 0, 8, true));
        CatalogNode* check = nodeFor(h, "DATA_AOUT_CHECK_SEND");
        QVERIFY(check);
        auto [rc, text] = finish(h, [&] { ws(h).runSendDataRow(check); });
        QCOMPARE(text, QStringLiteral("校准成功"));
        QDate today = QDate::currentDate();
        QCOMPARE(h.coupler(0).subRegister(8, 144) >> 8, today.year() % 100);
        QCOMPARE(h.coupler(0).subRegister(8, 145) >> 8, today.month());
        QCOMPARE(h.coupler(0).subRegister(8, 146) >> 8, today.day());
        QCOMPARE(h.coupler(0).subRegister(8, 113), 0);
    }

    void rebootNeedsARowOfTheList() {
        Harness h(families());
        QVERIFY(searchAndSelect(h, 0, -1, false));
        ws(h).subList()->setCurrentItem(nullptr);
        ws(h).rebootSubModule();
        QVERIFY(h.messages().saw("进行此操作请先选择模块"));
        QCOMPARE(h.coupler(0).subRebootCount(), std::size_t(0));
        ws(h).subList()->setCurrentItem(ws(h).subList()->topLevelItem(2));
        auto [rc, text] = finish(h, [&] { ws(h).rebootSubModule(); });
        QCOMPARE(rc, 0);
        QCOMPARE(h.coupler(0).subRebootCount(), std::size_t(1));
        auto [rc2, text2] = finish(h, [&] { h.frame().command(ID_REBOOT)->trigger(); });
        QCOMPARE(rc2, 0);
        QCOMPARE(h.coupler(0).rebootCount(), std::size_t(1));
    }
};

QTEST_MAIN(EditingTest)
#include "EditingTest.moc"
