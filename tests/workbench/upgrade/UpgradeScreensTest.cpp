// The upgrade screens offscreen against the in-process simulated rack: the .fupf checks, the USB
// coupler's image download with its retried begin and its locked exit, and the sub-module
// hand-over around a real upgrade through the upgrade library and the VEXA plug-in.
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <VexaSdk.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "DeskHarness.h"
#include "RackUpgrade.h"
#include "device/CDeviceThread.h"
#include "device/DeviceOps.h"
#include "device/SubUpgrade.h"
#include "dialogs/CDlgUpdateFirme.h"
#include "views/CEqumentTree.h"
#include "views/CMainFrame.h"

using deskTest::Harness;
using deskTest::RackSpec;
using vexa::sim::Bytes;
using vexa::sim::subIdentity;
using namespace vexadesk;

namespace {

constexpr int kYes = 0x4000;  // the message box's yes button
constexpr int kNo = 0x10000;

// Records every box and answers questions as told.
class Answering : public name_share::IMessagePresenter {
public:
    int present(void*, const std::string& caption, const std::string& text, int, int style) override {
        messages.push_back({caption, text});
        if (style != 0) ++questions;
        return style != 0 ? answer : 0x400;
    }
    bool saw(const std::string& text) const {
        for (const auto& m : messages)
            if (m.text == text) return true;
        return false;
    }
    int answer = kYes;
    int questions = 0;
    std::vector<deskTest::Message> messages;
};

// The build tree's boot plug-ins, beside the workbench's files in its program folder.
void withPlugins(const std::string& appDir) {
    std::filesystem::copy(UPGRADE_DEVDLLS_DIR, appDir + "/devdlls", std::filesystem::copy_options::recursive);
}

QByteArray fupf(std::uint32_t n, qsizetype imageBytes, int seed = 1) {
    QByteArray f(256, '\0');
    for (int i = 0; i < 4; ++i) f[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
    for (int i = 4; i < 12; ++i) f[i] = static_cast<char>(0x5A);
    for (qsizetype i = 0; i < imageBytes; ++i) f.append(static_cast<char>((i * 7 + seed) & 0xFF));
    return f;
}

QString writeFile(const Harness& h, const QString& name, const QByteArray& bytes) {
    const QString path = QString::fromStdString(h.appDir()) + "/" + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write(bytes);
    return path;
}

QStringList lines(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

// HID requests of one command that reached the coupler.
std::vector<Bytes> requestsOf(vexa::sim::SimCoupler& c, std::uint8_t command) {
    std::vector<Bytes> out;
    for (const auto& r : c.requests())
        if (r.size() > 3 && r[1] == 0x7E && r[3] == command) out.push_back(r);
    return out;
}

}  // namespace

class UpgradeScreensTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ::setenv("VEXA_TEST_HID_RETRY_MS", "1", 1); }
    void cleanup() { ::unsetenv("VEXA_TEST_HID_RETRY_MS"); }

    void fupfFilesAreCheckedBeforeAnythingIsSent();
    void loadingAFileEnablesTheStartOnlyWhenValid();
    void couplerImageIsDownloadedByteForByteAfterARetriedBegin();
    void exitCloseBoxAndEscapeAreRefusedWhileTheDownloadRuns();
    void couplerGivesUpAfterSixFailedBegins();
    void reopenFindsTheCouplerBySerialWhenItsPathChanged();
    void subModuleIsUpgradedThroughTheHandOverByteForByte();
    void aModuleInItsBootLoaderGetsNoQuestionAndNoBootWrite();
    void anErrorReplyToTheStartNoticeEndsTheHandOver();
    void declinedQuestionChangesNothing();
    void questionTextsAreExact();
};

void UpgradeScreensTest::fupfFilesAreCheckedBeforeAnythingIsSent() {
    Harness h(RackSpec{{{}}});
    const std::uint32_t n = 1000;
    FupfImage ok = readFupf(writeFile(h, "ok.fupf", fupf(n, n)));
    QCOMPARE(ok.error, QString());
    QCOMPARE(ok.image.size(), qsizetype(n));
    QCOMPARE(ok.image, fupf(n, n).mid(256));

    QCOMPARE(readFupf(writeFile(h, "short1.fupf", fupf(n, n - 1))).error, QStringLiteral("文件大小不对"));
    QCOMPARE(readFupf(writeFile(h, "long1.fupf", fupf(n, n + 1))).error, QStringLiteral("文件大小不对"));
    QCOMPARE(readFupf(writeFile(h, "flash.fupf", fupf(0x10000, 0x10000))).error, QStringLiteral("bin文件超过flash大小"));
    QCOMPARE(readFupf(writeFile(h, "empty.fupf", fupf(0, 0))).error, QStringLiteral("文件大小不对"));
    QCOMPARE(readFupf(writeFile(h, "tiny.fupf", QByteArray("\x04\x00\x00", 3))).error, QStringLiteral("文件大小不对"));
    // A header that says 0xFFFFFF00 would reach a 32-bit length of 0 after the header is added.
    QCOMPARE(readFupf(writeFile(h, "wrap.fupf", fupf(0xFFFFFF00u, 0))).error, QStringLiteral("文件大小不对"));
    QCOMPARE(readFupf(writeFile(h, "head.fupf", fupf(4, 0).left(100))).error, QStringLiteral("文件大小不对"));
    QCOMPARE(readFupf(QString::fromStdString(h.appDir()) + "/none.fupf").error, QStringLiteral("打开文件失败"));
    QCOMPARE(readFupf(QString()).error, QStringLiteral("打开文件失败"));
    QCOMPARE(readFupf(writeFile(h, "max.fupf", fupf(0xFFFF, 0xFFFF))).error, QString());
}

void UpgradeScreensTest::loadingAFileEnablesTheStartOnlyWhenValid() {
    Harness h(RackSpec{{{{1, subIdentity(0x4017)}}}});
    h.search();
    QTRY_COMPARE_WITH_TIMEOUT(h.frame().tree()->records().size(), size_t(1), 10000);
    Answering answers;
    name_share::CGenGlobal::SetPresenter(&answers);
    DeviceRecord& r = *h.frame().tree()->records()[0];
    CDlgUpdateFirme dlg(h.thread(), r, &h.frame());
    QCOMPARE(dlg.windowTitle(), QStringLiteral("通信模块升级"));
    QCOMPARE(dlg.typeText()->text(), QStringLiteral("VEXA-9020"));
    QCOMPARE(dlg.addressText()->text(), QStringLiteral("HID"));
    QCOMPARE(dlg.openButton()->text(), QStringLiteral("打开..."));
    QCOMPARE(dlg.startButton()->text(), QStringLiteral("开始升级"));
    QCOMPARE(dlg.exitButton()->text(), QStringLiteral("退出"));
    QCOMPARE(dlg.progressBar()->maximum(), 1000);
    QVERIFY(!dlg.startButton()->isEnabled());

    const QString bad = writeFile(h, "bad.fupf", fupf(64, 63));
    QVERIFY(!dlg.loadImage(bad));
    QCOMPARE(dlg.pathEdit()->text(), bad);
    QVERIFY(answers.saw("文件大小不对"));
    QVERIFY(!dlg.startButton()->isEnabled());
    QVERIFY(dlg.loadImage(writeFile(h, "good.fupf", fupf(64, 64))));
    QVERIFY(dlg.startButton()->isEnabled());
    QVERIFY(!dlg.loadImage(writeFile(h, "flash.fupf", fupf(0x10000, 0x10000))));
    QVERIFY(answers.saw("bin文件超过flash大小"));
    QVERIFY(!dlg.startButton()->isEnabled());
    name_share::CGenGlobal::SetPresenter(&h.messages());
}

void UpgradeScreensTest::couplerImageIsDownloadedByteForByteAfterARetriedBegin() {
    Harness h(RackSpec{{{{1, subIdentity(0x4017)}, {2, subIdentity(0x2808)}}}});
    h.search();
    QTRY_COMPARE_WITH_TIMEOUT(h.frame().tree()->records().size(), size_t(1), 10000);
    DeviceRecord& r = *h.frame().tree()->records()[0];
    r.subSlots[0].propertyRows.push_back({nullptr, "k", "v"});
    // The library tries a request five times; all five refused make the dialog's first attempt fail.
    for (int i = 0; i < 5; ++i) h.coupler(0).pushHidScript({0xA5, {0x55}, vexa::sim::HidScriptKind::Refuse, {}});

    CDlgUpdateFirme dlg(h.thread(), r, &h.frame());
    dlg.setReloginWaitMs(20);
    const std::uint32_t n = 1000;  // not a whole number of 32-byte pieces
    QVERIFY(dlg.loadImage(writeFile(h, "fw.fupf", fupf(n, n, 3))));
    dlg.show();
    QSignalSpy finished(&dlg, &CDlgUpdateFirme::upgradeFinished);
    h.coupler(0).clearLog();
    QTest::mouseClick(dlg.startButton(), Qt::LeftButton);
    QVERIFY(dlg.running());
    QVERIFY(!dlg.startButton()->isEnabled());
    QVERIFY(finished.wait(30000));
    QCoreApplication::processEvents();

    const QByteArray file = fupf(n, n, 3);
    Bytes expected(file.begin() + 256, file.end());
    expected.resize(1024, 0xFF);  // the last piece is padded to 32 bytes
    QCOMPARE(h.coupler(0).firmwareImage(), expected);
    QCOMPARE(h.coupler(0).firmwareUpdates(), size_t(1));
    QCOMPARE(lines(dlg.statusList()), (QStringList{QStringLiteral("设置模块进入升级模式....."),
                                                  QStringLiteral("模块进入升级模式出错 重试 1 次"),
                                                  QStringLiteral("模块进入升级模式重新登录"),
                                                  QStringLiteral("模块进入升级模式开始下载数据"),
                                                  QStringLiteral("升级成功")}));
    QCOMPARE(dlg.progressBar()->value(), 1000);
    QVERIFY(!dlg.running());
    QVERIFY(dlg.startButton()->isEnabled());
    QVERIFY(dlg.exitButton()->isEnabled());
    // Six begins in all: five refused, one taken.
    int begins = 0;
    for (const auto& q : h.coupler(0).requests())
        if (q.size() > 4 && q[3] == 0xA5 && q[4] == 0x55) ++begins;
    QCOMPARE(begins, 6);
    // 3.8-b: the record holds the last reopened handle, sub-module handles and rows dropped.
    QVERIFY(r.handle.load() != nullptr);
    for (const auto& s : r.subSlots) QVERIFY(s.handle.load() == nullptr);
    QVERIFY(r.subSlots[0].propertyRows.empty());
    QTRY_VERIFY_WITH_TIMEOUT(!h.thread().busy(), 5000);
    QVERIFY(h.select(0, 2, true));
}

void UpgradeScreensTest::exitCloseBoxAndEscapeAreRefusedWhileTheDownloadRuns() {
    Harness h(RackSpec{{{{1, subIdentity(0x4017)}}}});
    h.search();
    QTRY_COMPARE_WITH_TIMEOUT(h.frame().tree()->records().size(), size_t(1), 10000);
    DeviceRecord& r = *h.frame().tree()->records()[0];
    CDlgUpdateFirme dlg(h.thread(), r, &h.frame());
    dlg.setReloginWaitMs(1500);  // long enough to knock on the dialog meanwhile
    QVERIFY(dlg.loadImage(writeFile(h, "fw.fupf", fupf(100, 100))));
    dlg.show();
    QSignalSpy finished(&dlg, &CDlgUpdateFirme::upgradeFinished);
    QSignalSpy rejected(&dlg, &QDialog::rejected);
    dlg.startUpgrade();
    QVERIFY(dlg.running());
    QVERIFY(!dlg.exitButton()->isEnabled());
    QVERIFY(!dlg.openButton()->isEnabled());
    QVERIFY(!(dlg.windowFlags() & Qt::WindowCloseButtonHint));
    QTest::mouseClick(dlg.exitButton(), Qt::LeftButton);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(!dlg.close());
    dlg.reject();
    QVERIFY(dlg.isVisible());
    QCOMPARE(rejected.count(), 0);
    dlg.startUpgrade();  // a second start while one runs does nothing
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(h.coupler(0).firmwareUpdates(), size_t(1));
    QVERIFY(dlg.exitButton()->isEnabled());
    QVERIFY(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QCOMPARE(rejected.count(), 1);
}

void UpgradeScreensTest::couplerGivesUpAfterSixFailedBegins() {
    Harness h(RackSpec{{{}}});
    h.search();
    QTRY_COMPARE_WITH_TIMEOUT(h.frame().tree()->records().size(), size_t(1), 10000);
    DeviceRecord& r = *h.frame().tree()->records()[0];
    for (int i = 0; i < 40; ++i) h.coupler(0).pushHidScript({0xA5, {0x55}, vexa::sim::HidScriptKind::Refuse, {}});
    CDlgUpdateFirme dlg(h.thread(), r, &h.frame());
    QVERIFY(dlg.loadImage(writeFile(h, "fw.fupf", fupf(64, 64))));
    QSignalSpy finished(&dlg, &CDlgUpdateFirme::upgradeFinished);
    dlg.startUpgrade();
    QVERIFY(finished.wait(60000));
    QCoreApplication::processEvents();
    QStringList want{QStringLiteral("设置模块进入升级模式.....")};
    for (int k = 1; k <= 6; ++k) want << QStringLiteral("模块进入升级模式出错 重试 %1 次").arg(k);
    QCOMPARE(lines(dlg.statusList()), want);
    QCOMPARE(h.coupler(0).firmwareUpdates(), size_t(0));
    QVERIFY(dlg.startButton()->isEnabled());
}

void UpgradeScreensTest::reopenFindsTheCouplerBySerialWhenItsPathChanged() {
    Harness h(RackSpec{{{{1, subIdentity(0x4017)}}}});
    h.search();
    QTRY_COMPARE_WITH_TIMEOUT(h.frame().tree()->records().size(), size_t(1), 10000);
    DeviceRecord& r = *h.frame().tree()->records()[0];
    QTRY_VERIFY_WITH_TIMEOUT(!h.thread().busy(), 5000);
    const std::string realPath = r.path;
    const auto id = h.coupler(0).identity();
    std::int32_t serial = 0;
    std::memcpy(&serial, id.serial.data(), 4);

    auto reopen = [&] {
        bool done = false, ok = false;
        h.thread().run<bool>(&h.frame(), [&r] { return reopenDevice(r); }, [&](bool v) {
            ok = v;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 10000)) return false;
        return ok;
    };
    r.path = "/nonexistent/hid-gone";
    r.serial.reset();  // a coupler without a known serial cannot be found again
    QVERIFY(!reopen());
    QVERIFY(r.handle.load() == nullptr);
    r.serial = serial ^ 1;
    QVERIFY(!reopen());
    QCOMPARE(r.path, std::string("/nonexistent/hid-gone"));
    r.serial = serial;
    QVERIFY(reopen());
    QCOMPARE(r.path, realPath);
    QVERIFY(r.handle.load() != nullptr);
}

void UpgradeScreensTest::subModuleIsUpgradedThroughTheHandOverByteForByte() {
    Harness h(RackSpec{{{{1, subIdentity(0x2808)}, {3, subIdentity(boottest::kSubType)}}}}, withPlugins);
    h.search();
    QTRY_COMPARE_WITH_TIMEOUT(h.frame().tree()->records().size(), size_t(1), 10000);
    DeviceRecord& r = *h.frame().tree()->records()[0];
    QVERIFY(h.select(0, 3, true));
    QTRY_VERIFY_WITH_TIMEOUT(!h.thread().busy(), 5000);
    Answering answers;
    name_share::CGenGlobal::SetPresenter(&answers);
    boottest::TempFolder files;
    const Bytes payload = fwtest::makePayload(5 * 1024 + 3, 9);
    const std::string file = files.write("fw.upf", boottest::upgradeFile(payload, boottest::kSubType));

    VexaPortParams seen{};
    int found = -1;
    boottest::UpgradeResult result;
    Bytes received;
    bool coupleReleased = false;
    auto step = [&](const char* name, const char* path, void* params) {
        coupleReleased = r.handle.load() == nullptr;
        seen = *static_cast<VexaPortParams*>(params);
        const int plugin = boottest::pluginIndex(name ? name : "");
        if (plugin < 0 || path) return 0;
        if (KB_OpenCommDevice(plugin, params) == 1) {
            found = KB_SearchDevice(plugin);
            if (found == 1) result = boottest::runUpgrade(0, file);
            received = boottest::bootImage(h.coupler(0), 3);
        }
        KB_CloseCommDevice(plugin);
        return 1;
    };
    h.coupler(0).clearLog();
    int rc = -1;
    runSubUpgrade(&h.frame(), h.thread(), r, 3, [&](int v) { rc = v; }, step);
    QTRY_COMPARE_WITH_TIMEOUT(rc, int(kSubUpgradeDone), 60000);

    QCOMPARE(answers.questions, 1);
    QCOMPARE(answers.messages[0].caption, std::string("Warning"));
    QCOMPARE(QString::fromStdString(answers.messages[0].text), subUpgradeQuestion(boottest::kSubType, 3));
    QCOMPARE(answers.messages.size(), size_t(1));
    QVERIFY(coupleReleased);
    QCOMPARE(seen.magic, std::uint32_t(VEXA_PORT_MAGIC));
    QCOMPARE(int(seen.transport), 2);
    QCOMPARE(int(seen.subAddress), 3);
    QCOMPARE(seen.ipAddress, 0u);
    QCOMPARE(found, 1);
    QCOMPARE(result.ok, 1);
    QCOMPARE(received, payload);

    // The coupler heard AA AA at register 0xFF of module 3, then 0x83 before and 0x84 after.
    bool bootWrite = false;
    for (const auto& q : requestsOf(h.coupler(0), 0x13))
        bootWrite = bootWrite || (q.size() > 8 && q[4] == 3 && q[5] == 0xFF && q[7] == 0xAA && q[8] == 0xAA);
    QVERIFY(bootWrite);
    QCOMPARE(requestsOf(h.coupler(0), 0x83).size(), size_t(1));
    QCOMPARE(requestsOf(h.coupler(0), 0x84).size(), size_t(1));
    // The module runs its new firmware and reports its type again.
    QVERIFY(!h.coupler(0).inBootLoader(3));
    QCOMPARE(h.coupler(0).subIdentity(3).type, boottest::kSubType);
    // 3.8-b: a fresh coupler handle, sub-module handles and rows gone, slots as they were.
    QVERIFY(r.handle.load() != nullptr);
    for (const auto& s : r.subSlots) {
        QVERIFY(s.handle.load() == nullptr);
        QVERIFY(s.propertyRows.empty() && s.dataRows.empty());
    }
    QCOMPARE(int(r.subSlots[0].id), 1);
    QCOMPARE(int(r.subSlots[2].id), 3);
    QCOMPARE(int(r.subSlots[2].type), int(boottest::kSubType));
    QVERIFY(h.frame().tree()->itemFor(&r, 3) != nullptr);
    QVERIFY(!subUpgradeRunning());
    name_share::CGenGlobal::SetPresenter(&h.messages());
    // Another module of the same coupler still reads through the reopened handle.
    QVERIFY(h.select(0, 1, true));
    std::vector<RowRequest> none;
    bool done = false;
    ReadOutcome out;
    h.thread().run<ReadOutcome>(&h.frame(), [&r, none] { return readSubProperties(r, 1, none); },
                                [&](ReadOutcome o) {
                                    out = o;
                                    done = true;
                                });
    QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
    QCOMPARE(out.rc, RC_OK);
    QVERIFY(!out.noSub);
}

void UpgradeScreensTest::aModuleInItsBootLoaderGetsNoQuestionAndNoBootWrite() {
    Harness h(RackSpec{{{{1, subIdentity(0x4017)}, {2, subIdentity(0x2808)}}}});
    QVERIFY(h.coupler(0).enterBootLoader(1));
    h.search();
    QTRY_COMPARE_WITH_TIMEOUT(h.frame().tree()->records().size(), size_t(1), 10000);
    DeviceRecord& r = *h.frame().tree()->records()[0];
    QTRY_VERIFY_WITH_TIMEOUT(!h.thread().busy(), 5000);
    QCOMPARE(int(r.subSlots[0].type), 0x9999);
    Answering answers;
    name_share::CGenGlobal::SetPresenter(&answers);
    h.coupler(0).clearLog();
    int calls = 0, rc = -1;
    runSubUpgrade(&h.frame(), h.thread(), r, 1, [&](int v) { rc = v; },
                  [&](const char* name, const char*, void* params) {
                      ++calls;
                      return std::string(name) == "VEXA" && static_cast<VexaPortParams*>(params)->subAddress == 1;
                  });
    QTRY_COMPARE_WITH_TIMEOUT(rc, int(kSubUpgradeDone), 20000);
    QCOMPARE(calls, 1);
    QCOMPARE(answers.questions, 0);
    QVERIFY(answers.messages.empty());
    QVERIFY(requestsOf(h.coupler(0), 0x13).empty());
    QVERIFY(requestsOf(h.coupler(0), 0x80).empty());
    QCOMPARE(requestsOf(h.coupler(0), 0x83).size(), size_t(1));
    QCOMPARE(requestsOf(h.coupler(0), 0x84).size(), size_t(1));
    QVERIFY(h.coupler(0).inBootLoader(1));  // nothing was upgraded: it keeps waiting
    name_share::CGenGlobal::SetPresenter(&h.messages());
}

void UpgradeScreensTest::anErrorReplyToTheStartNoticeEndsTheHandOver() {
    Harness h(RackSpec{{{{1, subIdentity(0x4017)}}}});
    h.search();
    QTRY_COMPARE_WITH_TIMEOUT(h.frame().tree()->records().size(), size_t(1), 10000);
    DeviceRecord& r = *h.frame().tree()->records()[0];
    QTRY_VERIFY_WITH_TIMEOUT(!h.thread().busy(), 5000);
    Answering answers;
    name_share::CGenGlobal::SetPresenter(&answers);
    // The error reply is five bytes too: only the echoed command counts.
    h.coupler(0).pushHidScript({0x83, {}, vexa::sim::HidScriptKind::Refuse, {}});
    int calls = 0, rc = -1;
    runSubUpgrade(&h.frame(), h.thread(), r, 1, [&](int v) { rc = v; },
                  [&](const char*, const char*, void*) { return ++calls; });
    QTRY_COMPARE_WITH_TIMEOUT(rc, int(kSubUpgradeStartBadReply), 20000);
    QCOMPARE(calls, 0);
    QVERIFY(answers.saw("通知VEXA-9020 开始子模块升级 异常响应 \n"));
    QVERIFY(requestsOf(h.coupler(0), 0x84).empty());

    // A refused AA AA: "进入升级模式失败" under "提示", nothing sent to the coupler.
    answers.messages.clear();
    h.coupler(0).pushHidScript({0x13, {}, vexa::sim::HidScriptKind::Refuse, {}});
    h.coupler(0).clearLog();
    rc = -1;
    runSubUpgrade(&h.frame(), h.thread(), r, 1, [&](int v) { rc = v; },
                  [&](const char*, const char*, void*) { return ++calls; });
    QTRY_COMPARE_WITH_TIMEOUT(rc, int(kSubUpgradeBootFailed), 20000);
    QVERIFY(answers.saw("进入升级模式失败"));
    QCOMPARE(answers.messages.back().caption, std::string("提示"));
    QVERIFY(requestsOf(h.coupler(0), 0x83).empty());
    QCOMPARE(calls, 0);
    h.coupler(0).clearFaults();

    // Unknown module ids end at once.
    rc = -1;
    runSubUpgrade(&h.frame(), h.thread(), r, 7, [&](int v) { rc = v; });
    QCOMPARE(rc, int(kSubUpgradeNoModule));
    name_share::CGenGlobal::SetPresenter(&h.messages());
}

void UpgradeScreensTest::declinedQuestionChangesNothing() {
    Harness h(RackSpec{{{{1, subIdentity(0x4017)}}}});
    h.search();
    QTRY_COMPARE_WITH_TIMEOUT(h.frame().tree()->records().size(), size_t(1), 10000);
    DeviceRecord& r = *h.frame().tree()->records()[0];
    QTRY_VERIFY_WITH_TIMEOUT(!h.thread().busy(), 5000);
    Answering answers;
    answers.answer = kNo;
    name_share::CGenGlobal::SetPresenter(&answers);
    h.coupler(0).clearLog();
    int rc = -1;
    runSubUpgrade(&h.frame(), h.thread(), r, 1, [&](int v) { rc = v; },
                  [](const char*, const char*, void*) { return 1; });
    QCOMPARE(rc, int(kSubUpgradeDeclined));
    QVERIFY(!runCouplerUpgrade(&h.frame(), h.thread(), r));
    QCOMPARE(answers.questions, 2);
    QCOMPARE(QString::fromStdString(answers.messages[1].text), couplerUpgradeQuestion(0x9020));
    QCOMPARE(answers.messages[1].caption, std::string("Warning"));
    QTest::qWait(200);
    QCOMPARE(h.coupler(0).requestCount(), size_t(0));
    QVERIFY(!h.coupler(0).inBootLoader(1));
    name_share::CGenGlobal::SetPresenter(&h.messages());
}

void UpgradeScreensTest::questionTextsAreExact() {
    QCOMPARE(subUpgradeQuestion(0x4017, 3),
             QStringLiteral("\t程序将对子模块固件进行升级\r\n \t\t\r\n\t升级的子模块类型为: VEXA-4017  \t\t\r\n\t模块ID号为: 3  "
                            "\t\t\r\n\t确定？"));
    QCOMPARE(couplerUpgradeQuestion(0x9020), QStringLiteral("\t将要对模块VEXA-9020 进行固件升级\t\r\n"));
    QCOMPARE(couplerUpgradeQuestion(0xab), QStringLiteral("\t将要对模块VEXA-00ab 进行固件升级\t\r\n"));
    const unsigned char echo[5] = {0x7E, 0x05, 0x83, 0xF8, 0x7E};
    const unsigned char error[5] = {0x7E, 0x05, 0xFF, 0x84, 0x7E};
    QVERIFY(isCommandEcho(echo, 5, 0x83));
    QVERIFY(!isCommandEcho(echo, 5, 0x84));
    QVERIFY(!isCommandEcho(error, 5, 0x83));
    QVERIFY(!isCommandEcho(echo, 4, 0x83));
    QVERIFY(!isCommandEcho(nullptr, 5, 0x83));
    QVERIFY(runsBootLoader(0x9999) && runsBootLoader(0x270F) && !runsBootLoader(0x4017));
}

QTEST_MAIN(UpgradeScreensTest)
#include "UpgradeScreensTest.moc"
