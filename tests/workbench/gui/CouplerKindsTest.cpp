// The workbench on the Ethernet and RS-485 couplers beside the USB one: each kind's search and
// tree branch, the coupler's own login, pages behind every kind, and the commands only the USB
// coupler has.
#include <QAction>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <VexaBootParams.h>
#include <VexaSdk.h>

#include <arpa/inet.h>

#include "DeskHarness.h"
#include "device/SubUpgrade.h"
#include "TempDir.h"
#include "device/CDeviceThread.h"
#include "dialogs/CDlgLogin.h"
#include "dialogs/CDlgRackConfig.h"
#include "views/CDlgWorkSpace.h"
#include "views/CEqumentTree.h"
#include "views/CMainFrame.h"
#include "views/CVexaDeskView.h"

using deskTest::Harness;
using deskTest::RackSpec;
using vexa::sim::subIdentity;
using namespace vexadesk;

namespace {

RackSpec everyKind(bool ethChecksPassword = false) {
    RackSpec spec{{{{1, subIdentity(0x2808)}}}};
    spec.eth = {{1, subIdentity(0x4017)}, {2, subIdentity(0x2808)}};
    spec.serial = {{1, subIdentity(0x3800)}, {2, subIdentity(0x2808)}};
    spec.ethChecksPassword = ethChecksPassword;
    return spec;
}

int recordOfKind(Harness& h, int kind) {
    const auto& records = h.frame().tree()->records();
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i]->linkType == kind) return static_cast<int>(i);
    return -1;
}

CDlgWorkSpace& workspace(Harness& h) { return *h.frame().view()->workspace(); }

struct YesPresenter : name_share::IMessagePresenter {
    int present(void*, const std::string&, const std::string& text, int, int) override {
        texts.push_back(text);
        return 0x4000;  // Yes
    }
    std::vector<std::string> texts;
};

// The rows of a comparison whose state is not "相同", as "key=file|live".
QStringList differences(QTreeWidget* tree) {
    QStringList out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        for (int k = 0; k < tree->topLevelItem(i)->childCount(); ++k) {
            QTreeWidgetItem* row = tree->topLevelItem(i)->child(k);
            out << row->data(0, CDlgRackConfig::kKeyRole).toString() + "=" + row->text(2) + "|" + row->text(3);
        }
    out.sort();
    return out;
}

}  // namespace

class CouplerKindsTest : public QObject {
    Q_OBJECT
private slots:
    // Every kind's search lists its coupler under its own root; searching one kind again
    // replaces only that kind's couplers.
    void eachKindHasItsBranch() {
        Harness h(everyKind());
        h.search();
        h.searchEthernet();
        h.searchSerial();
        auto& tree = *h.frame().tree();
        QCOMPARE(tree.records().size(), std::size_t(3));
        const QString port = QString::fromStdString(h.rack().serialPath(0));
        struct Expect {
            int kind;
            QString root, coupler;
            int subs;
        } expects[] = {
            {kLinkEthernet, QStringLiteral("Ethernet"), QStringLiteral("VEXA-9000: ") + QString::fromStdString(h.ethCoupler()->address()), 2},
            {kLinkSerial, QStringLiteral("RS-485 : ") + port, QStringLiteral("VEXA-9010: ID 1"), 2},
            {kLinkUsb, QStringLiteral("USB : Host"), QStringLiteral("VEXA-9020: HID 0"), 1},
        };
        for (const auto& e : expects) {
            int i = recordOfKind(h, e.kind);
            QVERIFY(i >= 0);
            QTreeWidgetItem* node = tree.itemFor(tree.records()[i].get(), -1);
            QVERIFY(node);
            QCOMPARE(node->parent()->text(0), e.root);
            QCOMPARE(node->text(0), e.coupler);
            QCOMPARE(node->childCount(), e.subs);
        }
        QCOMPARE(tree.topLevelItem(0)->text(0), QStringLiteral("Ethernet"));

        h.searchEthernet();
        QCOMPARE(tree.records().size(), std::size_t(3));
        QCOMPARE(tree.topLevelItemCount(), 3);
    }

    // The Ethernet coupler checks the password itself: a wrong one logs nobody in (the dialog
    // stays for another try), the right one opens its pages.
    void ethernetLoginIsTheCouplers() {
        Harness h(everyKind(true));
        h.searchEthernet();
        auto& tree = *h.frame().tree();
        QCOMPARE(tree.records().size(), std::size_t(1));
        DeviceRecord& r = *tree.records()[0];

        h.answerNextLogin(true, QStringLiteral("wrong"));
        QTimer::singleShot(1500, [] {
            if (auto* dlg = qobject_cast<CDlgLogin*>(QApplication::activeModalWidget())) dlg->reject();
        });
        tree.setCurrentItem(tree.itemFor(&r, -1));
        QVERIFY(!r.loggedIn);
        QVERIFY(h.messages().saw("密码错误"));

        auto* ws = &workspace(h);
        QSignalSpy config(ws, &CDlgWorkSpace::configurationRead);
        h.answerNextLogin(true, QStringLiteral("123456"));
        tree.setCurrentItem(tree.itemFor(&r, -1));
        QVERIFY(config.wait(5000) || !config.isEmpty());
        QVERIFY(r.loggedIn);
        QCOMPARE(r.password, std::string("123456"));
        QCOMPARE(ws->headerText(1035), QStringLiteral("VEXA-9000"));
        QCOMPARE(ws->headerText(1038), QString::fromStdString(h.ethCoupler()->address()));
    }

    // Sub modules behind the Ethernet and RS-485 couplers read as behind the USB one.
    void subModulesBehindEveryKind() {
        Harness h(everyKind());
        h.searchEthernet();
        h.searchSerial();
        for (int kind : {kLinkEthernet, kLinkSerial}) {
            int i = recordOfKind(h, kind);
            QVERIFY(i >= 0);
            h.frame().tree()->records()[i]->loggedIn = true;  // the login has its own cases
            QVERIFY2(h.select(i, 1, true), kind == kLinkEthernet ? "Ethernet" : "RS-485");
            QCOMPARE(workspace(h).headerText(1037), QStringLiteral("1"));
        }
        QVERIFY(h.messages().messages.empty());
    }

    // Backup, three settings changed behind the workbench's back, the comparison lists exactly
    // those (and the changed name, an identity setting); a restore writes them back and leaves
    // the name until its row is ticked.
    void rackBackupCompareRestore() {
        Harness h(everyKind());
        h.searchEthernet();
        DeviceRecord& r = *h.frame().tree()->records()[0];
        r.loggedIn = true;
        YesPresenter yes;
        name_share::CGenGlobal::SetPresenter(&yes);
        vexa::test::TempDir dir;
        const QString path = QString::fromStdString(dir.path() + "/rack.json");
        CDlgRackConfig dlg(r, h.thread(), &h.frame());
        QSignalSpy finished(&dlg, &CDlgRackConfig::finished);
        auto step = [&](auto&& action) -> int {
            finished.clear();
            action();
            if (!QTest::qWaitFor([&] { return !finished.isEmpty(); }, 10000)) return -999;
            return finished.first().first().toInt();
        };
        QCOMPARE(step([&] { dlg.backupTo(path); }), 0);

        // The changes, made through the library on the device thread as any other program would.
        struct Change {
            std::uint16_t type;
            const char* key;
            const char* value;
        } changes[] = {{0x4017, "SET_AIN_TYPE_2", "1"}, {0x2808, "SET_DOUT_MODE_3", "1"}, {0x2808, "SET_DOUT_DEFAULT_5", "1"}};
        h.thread().post([&] {
            for (const auto& c : changes)
                for (const auto& slot : r.subSlots)
                    if (slot.id && slot.type == c.type) {
                        KO_SUBHANDLE s = KO_SetOperateSubDev(r.handle.load(), slot.id);
                        KO_ReadSubDevProperty(s);
                        KO_ModifySubDevProperty(s, c.key, c.value);
                        KO_SubmitSubDevProperty(s);
                    }
            KO_ReadMainProperty(r.handle.load());
            KO_ModifyMainProperty(r.handle.load(), "MAIN_NAME", "renamed");
            KO_SubmitMainProperty(r.handle.load(), "");
        });
        h.thread().waitIdle();

        QCOMPARE(step([&] { dlg.openBackup(path); }), 0);
        const QStringList changed = differences(dlg.comparison());
        QCOMPARE(changed.size(), 4);
        QVERIFY(changed.filter(QStringLiteral("MAIN_NAME=VEXA-9000|renamed")).size() == 1);
        for (const auto& c : changes) QCOMPARE(changed.filter(QString::fromLatin1(c.key) + "=").size(), 1);

        QCOMPARE(step([&] { dlg.restore(); }), 0);
        QCOMPARE(dlg.lastReport()->count(vexa::rackconfig::Outcome::Written), 3);
        QCOMPARE(step([&] { dlg.openBackup(path); }), 0);
        QCOMPARE(differences(dlg.comparison()), QStringList{QStringLiteral("MAIN_NAME=VEXA-9000|renamed")});

        QVERIFY(dlg.tick(0, QStringLiteral("MAIN_NAME")));
        QCOMPARE(step([&] { dlg.restore(); }), 0);
        QCOMPARE(step([&] { dlg.openBackup(path); }), 0);
        QVERIFY(differences(dlg.comparison()).isEmpty());

        // A damaged file is refused before the rack is read.
        QFile damaged(path);
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("{\"format\": \"vexa-rack\", \"version\"");
        damaged.close();
        QCOMPARE(step([&] { dlg.openBackup(path); }), -1);
        name_share::CGenGlobal::SetPresenter(&h.messages());
    }

    // The mapping editor and the coupler image download are the USB coupler's; the RS-485
    // coupler's own image goes through the upgrade library's Modbus plug-in.
    void usbOnlyCommandsAndHandOverRecords() {
        Harness h(everyKind());
        h.search();
        h.searchEthernet();
        h.searchSerial();
        auto& tree = *h.frame().tree();
        struct Expect {
            int kind;
            bool mapping, image;
        } expects[] = {{kLinkUsb, true, true}, {kLinkEthernet, false, false}, {kLinkSerial, false, true}};
        for (const auto& e : expects) {
            DeviceRecord& r = *tree.records()[recordOfKind(h, e.kind)];
            r.loggedIn = true;
            tree.setCurrentItem(tree.itemFor(&r, -1));
            QCOMPARE(h.frame().command(ID_DOWNLOAD_CONFIG)->isEnabled(), e.mapping);
            QCOMPARE(h.frame().command(ID_DOWNLOAD_IO)->isEnabled(), e.mapping);
            QCOMPARE(h.frame().command(ID_UPGRADE_MAIN)->isEnabled(), e.image);
        }

        // A sub module's hand-over names the coupler the way its search found it.
        YesPresenter yes;  // the question boxes are answered Yes
        name_share::CGenGlobal::SetPresenter(&yes);
        for (int kind : {kLinkEthernet, kLinkSerial}) {
            DeviceRecord& r = *tree.records()[recordOfKind(h, kind)];
            VexaPortParams seen{};
            std::string seenPort, seenPlugin;
            bool done = false;
            runSubUpgrade(&h.frame(), h.thread(), r, 1, [&](int) { done = true; },
                          [&](const char* name, const char*, void* params) {
                              seenPlugin = name;
                              seen = *static_cast<VexaPortParams*>(params);
                              if (seen.portText) seenPort = seen.portText;
                              return 0;
                          });
            QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
            QCOMPARE(seenPlugin, std::string("VEXA"));
            QCOMPARE(int(seen.magic), int(VEXA_PORT_MAGIC));
            QCOMPARE(int(seen.transport), kind);
            QCOMPARE(int(seen.subAddress), 1);
            if (kind == kLinkEthernet) {
                in_addr a{};
                inet_pton(AF_INET, r.ip.c_str(), &a);
                QCOMPARE(seen.ipAddress, a.s_addr);
            } else {
                QCOMPARE(int(seen.station), 1);
                QCOMPARE(seenPort, h.rack().serialPath(0));
                QCOMPARE(seen.serial[0], 9600);
            }
            // The module went into its boot loader for the plug-in.
            auto* sim = kind == kLinkEthernet ? h.ethCoupler() : h.serialCoupler();
            QVERIFY(sim->inBootLoader(1));
        }

        // The RS-485 coupler's own image: the Modbus plug-in with the coupler's line.
        DeviceRecord& rs = *tree.records()[recordOfKind(h, kLinkSerial)];
        MbPortParams mb{};
        std::string plugin;
        QVERIFY(runCouplerUpgrade(&h.frame(), h.thread(), rs, [&](const char* name, const char*, void* params) {
            plugin = name;
            mb = *static_cast<MbPortParams*>(params);
            return 0;
        }));
        name_share::CGenGlobal::SetPresenter(&h.messages());
        QCOMPARE(plugin, std::string("ModBus"));
        QCOMPARE(int(mb.magic), int(MB_PORT_MAGIC));
        QCOMPARE(int(mb.station), 1);
        QCOMPARE(mb.baudRate, 9600);
    }
};

QTEST_MAIN(CouplerKindsTest)
#include "CouplerKindsTest.moc"
