// The upgrade dialog and the VEXA transport dialog as a user drives them, offscreen: shown by
// KB_UpdateFirwareDlg and KB_ConfigCommDevice from the dialog module in the build tree's
// program folder, against the shipped plug-ins and the in-process simulated rack. Widgets are
// found by their object names; message boxes are read and closed like a user would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "RackUpgrade.h"

using namespace vexa::sim;
using namespace boottest;

namespace {

constexpr int kSearchMs = 20000;
constexpr int kUpgradeMs = 120000;

QDialog* findDialog(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && w->isVisible()) return qobject_cast<QDialog*>(w);
    return nullptr;
}

template <typename T>
T* child(QDialog* d, const char* name) {
    return d ? d->findChild<T*>(QLatin1String(name)) : nullptr;
}

bool idle(QDialog* d) { return child<QPushButton>(d, "exit")->isEnabled(); }

// The dialog's device rows as (item data, first two columns).
struct ListedRow {
    int device;
    std::string index, series;
};
std::vector<ListedRow> rows(QDialog* d) {
    std::vector<ListedRow> out;
    auto* list = child<QTreeWidget>(d, "devices");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* it = list->topLevelItem(i);
        out.push_back({it->data(0, Qt::UserRole).toInt(), it->text(0).toStdString(), it->text(1).toStdString()});
    }
    return out;
}

// Waits for the search the dialog runs by itself (or after a click) to end with its rows.
bool searched(QDialog* d) {
    return QTest::qWaitFor([&] { return idle(d) && child<QTreeWidget>(d, "devices")->topLevelItemCount() > 0; },
                           kSearchMs);
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        useBuildAppDir();
        // Never a window on a developer's screen.
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (!app) app = std::make_unique<QApplication>(argc, argv);
        // The library's texts follow the host's language; these tests read them in Chinese.
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        rack = std::make_unique<SimRack>(RackOptions{.liveData = false});
        vexa = pluginIndex("VEXA");
        ASSERT_GE(vexa, 0);
    }
    void TearDown() override {
        KB_CloseCommDevice(vexa);
        rack.reset();
    }
    // Before the statics go: a QApplication destroyed at exit outlives what it needs.
    static void TearDownTestSuite() { app.reset(); }
    void start() {
        ASSERT_EQ(rack->start(), kSimOk);
        useRack(*rack);
    }

    // Shows the upgrade dialog and runs `scenario` on it from inside its modal loop. Whatever
    // the scenario left, the dialog is then closed once its work ended, so that a failed
    // expectation never leaves a window waiting.
    void runDialog(const char* name, const char* path, void* params, const std::function<void(QDialog*)>& scenario) {
        bool ran = false;
        // A message box runs its own modal loop, below whatever the scenario waits in; a timer
        // fires in every loop, so it reads and closes the boxes as a user would.
        QTimer boxes;
        QObject::connect(&boxes, &QTimer::timeout, [this] {
            // Any box that is up, whether or not the platform made it the active modal widget.
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && !box->buttons().isEmpty()) {
                    messages.push_back(box->text().toStdString());
                    box->buttons().front()->click();
                    break;
                }
        });
        boxes.start(10);
        QTimer driver;
        driver.setSingleShot(true);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            QDialog* d = nullptr;
            (void)QTest::qWaitFor([&] { return (d = findDialog("CUpdateFirwareDlg")) != nullptr; }, 5000);
            ASSERT_NE(d, nullptr) << "the dialog was shown";
            ran = true;
            scenario(d);
            if ((d = findDialog("CUpdateFirwareDlg"))) {
                (void)QTest::qWaitFor([&] {
                    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
                    return idle(d);
                }, kUpgradeMs);
                d->done(0);
            }
        });
        driver.start(0);
        EXPECT_EQ(KB_UpdateFirwareDlg(name, path, params), 1);
        EXPECT_TRUE(ran);
    }

    // The text of the next message box the dialog showed; "" when none came in time.
    std::string nextMessage(int ms = kSearchMs) {
        if (!QTest::qWaitFor([&] { return messages.size() > taken; }, ms)) return {};
        return messages[taken++];
    }

    std::string upgradeFileFor(const Bytes& payload) { return files.write("fw.upf", upgradeFile(payload, kSubType)); }

    static inline int argc = 1;
    static inline char name[] = "bootports_dialog_tests";
    static inline char* argv[] = {name, nullptr};
    static inline std::unique_ptr<QApplication> app;
    std::vector<std::string> messages;
    std::size_t taken = 0;
    std::unique_ptr<SimRack> rack;
    TempFolder files;
    int vexa = -1;
};

TEST_F(DialogTest, SearchListsTheBootLoadersAndAnUpgradeRunsToTheEndByteExact) {
    SimCoupler* c = rack->addEthernet(
        {.subs = {{1, subIdentity(kSubType)}, {2, subIdentity(0x2808)}, {3, subIdentity(kSubType)}}});
    start();
    c->enterBootLoader(1);
    c->enterBootLoader(3);
    VexaPortParams p = vexaEthernet(c->address());
    const Bytes payload = fwtest::makePayload(24 * 1024 + 37);
    const std::string path = upgradeFileFor(payload);

    runDialog("VEXA", path.c_str(), &p, [&](QDialog* d) {
        EXPECT_EQ(d->windowTitle().toStdString(), "固件升级");
        auto* plugins = child<QComboBox>(d, "plugins");
        EXPECT_EQ(plugins->currentText().toStdString(), "VEXA");
        EXPECT_FALSE(plugins->isEnabled()) << "the preset plug-in is fixed";
        EXPECT_TRUE(child<QPushButton>(d, "config")->isHidden());
        EXPECT_TRUE(child<QPushButton>(d, "search")->isHidden());
        EXPECT_EQ(child<QLineEdit>(d, "path")->text().toStdString(), path);

        ASSERT_TRUE(searched(d));
        const std::vector<ListedRow> found = rows(d);
        ASSERT_EQ(found.size(), 2u) << "the modules in their boot loaders, not the one at 2";
        EXPECT_EQ(found[0].device, 0);
        EXPECT_EQ(found[0].index, "0");
        EXPECT_EQ(found[0].series, "VEXA");
        EXPECT_EQ(found[1].device, 1);
        auto* list = child<QTreeWidget>(d, "devices");
        EXPECT_EQ(list->headerItem()->text(0).toStdString(), "索引");
        EXPECT_EQ(list->headerItem()->text(5).toStdString(), "固件版本");

        // The second module (position 3) is upgraded; during the upgrade the user selects the
        // first row, which must not take over the progress.
        list->setCurrentItem(list->topLevelItem(1));
        auto* upgrade = child<QPushButton>(d, "upgrade");
        ASSERT_TRUE(upgrade->isEnabled());
        QTest::mouseClick(upgrade, Qt::LeftButton);
        EXPECT_FALSE(idle(d));
        EXPECT_FALSE(upgrade->isEnabled());
        EXPECT_FALSE(child<QPushButton>(d, "browse")->isEnabled());
        list->setCurrentItem(list->topLevelItem(0));

        // "退出", Esc and the close box are refused while it runs.
        QTest::keyClick(d, Qt::Key_Escape);
        d->close();
        QTest::mouseClick(child<QPushButton>(d, "exit"), Qt::LeftButton);
        EXPECT_TRUE(d->isVisible());

        auto* progress = child<QProgressBar>(d, "progress");
        bool between = false;  // a value strictly inside the range, which only a counting device gives
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kUpgradeMs);
        while (messages.size() == taken && std::chrono::steady_clock::now() < until) {
            if (!idle(d)) {
                between = between || (progress->value() > 0 && progress->value() < 10000);
                if (findDialog("CUpdateFirwareDlg") != d) ADD_FAILURE() << "closed during the upgrade";
            }
            QTest::qWait(5);
        }
        EXPECT_EQ(nextMessage(), "升级完成");
        EXPECT_TRUE(between) << "the progress follows the upgraded device, not the selected row";
        EXPECT_EQ(progress->value(), 10000);
        EXPECT_EQ(bootImage(*c, 3), payload);
        EXPECT_TRUE(bootImage(*c, 1).empty()) << "the selected row changed, the upgraded device did not";

        // The dialog reopens the plug-in and searches again by itself, then "退出" closes it.
        ASSERT_TRUE(searched(d));
        QTest::mouseClick(child<QPushButton>(d, "exit"), Qt::LeftButton);
        EXPECT_FALSE(d->isVisible());
    });
}

TEST_F(DialogTest, AFileThatIsNoUpgradeFileIsRefusedBeforeAnyDeviceTraffic) {
    SimCoupler* c = rack->addEthernet({.subs = {{1, subIdentity(kSubType)}}});
    start();
    c->enterBootLoader(1);
    VexaPortParams p = vexaEthernet(c->address());
    const std::string notes = files.write("notes.upf", Bytes(300, 'x'));

    runDialog("VEXA", notes.c_str(), &p, [&](QDialog* d) {
        ASSERT_TRUE(searched(d));
        ASSERT_EQ(rows(d).size(), 1u);
        c->clearLog();
        QTest::mouseClick(child<QPushButton>(d, "upgrade"), Qt::LeftButton);
        EXPECT_EQ(nextMessage(), "升级文件格式错误");
        // A host in English reads the same text from the shared table.
        QLocale::setDefault(QLocale(QLocale::English));
        QTest::mouseClick(child<QPushButton>(d, "upgrade"), Qt::LeftButton);
        EXPECT_EQ(nextMessage(), "the upgrade file is malformed");
        EXPECT_TRUE(idle(d));
        EXPECT_EQ(c->requestCount(), 0u) << "no frame reached the device";
        EXPECT_TRUE(bootImage(*c, 1).empty());
        QTest::keyClick(d, Qt::Key_Escape);
        EXPECT_FALSE(d->isVisible()) << "Esc closes an idle dialog";
    });
}

TEST_F(DialogTest, ASearchThatFindsNothingShowsTheNotFoundRowAndTheSearchButtons) {
    SimCoupler* c = rack->addEthernet({.subs = {{1, subIdentity(kSubType)}}});
    start();
    VexaPortParams p = vexaEthernet(c->address());
    const std::string path = upgradeFileFor(fwtest::makePayload(64));

    runDialog("VEXA", path.c_str(), &p, [&](QDialog* d) {
        ASSERT_TRUE(searched(d));
        const std::vector<ListedRow> found = rows(d);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].device, -1);
        EXPECT_EQ(found[0].index, "未找到");
        EXPECT_EQ(found[0].series, "需升级设备");
        EXPECT_FALSE(child<QPushButton>(d, "upgrade")->isEnabled());
        EXPECT_FALSE(child<QPushButton>(d, "browse")->isEnabled());
        EXPECT_FALSE(child<QPushButton>(d, "search")->isHidden());
        EXPECT_FALSE(child<QPushButton>(d, "config")->isHidden());

        // The module enters its boot loader; "搜索" finds it.
        c->enterBootLoader(1);
        QTest::mouseClick(child<QPushButton>(d, "search"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return idle(d) && rows(d).front().device == 0; }, kSearchMs));
        EXPECT_TRUE(child<QPushButton>(d, "upgrade")->isEnabled());
    });
}

TEST_F(DialogTest, AnUnknownPresetNameLeavesTheChoiceOpenAndConfigShowsTheTransportDialog) {
    start();
    runDialog("NoSuchPlugin", nullptr, nullptr, [&](QDialog* d) {
        auto* plugins = child<QComboBox>(d, "plugins");
        EXPECT_TRUE(plugins->isEnabled());
        EXPECT_EQ(plugins->currentIndex(), 0);
        EXPECT_EQ(plugins->currentText().toStdString(), "VEXA");
        EXPECT_EQ(plugins->count(), 2);
        ASSERT_TRUE(searched(d));
        EXPECT_FALSE(child<QPushButton>(d, "upgrade")->isEnabled()) << "no path, no device";

        bool shown = false;
        QTimer::singleShot(0, [&] {
            QDialog* s = nullptr;
            (void)QTest::qWaitFor([&] { return (s = findDialog("CSelectDlg")) != nullptr; }, 5000);
            if (!s) return;
            shown = true;
            EXPECT_EQ(s->windowTitle().toStdString(), "选择 VEXA 主站模式");
            s->reject();
        });
        QTest::mouseClick(child<QPushButton>(d, "config"), Qt::LeftButton);
        EXPECT_TRUE(shown);
    });
}

// The transport choice decides which couplers the next search asks: opened for Ethernet, the
// user picks HID and the boot module behind the USB coupler is found.
TEST_F(DialogTest, ConfigStoresTheChosenTransportForTheNextSearch) {
    rack->addEthernet({.subs = {{1, subIdentity(0x2808)}}});
    SimCoupler* usb = rack->addHid({.subs = {{2, subIdentity(kSubType)}}});
    start();
    usb->enterBootLoader(2);
    VexaPortParams p = vexaEthernet("0.0.0.0");
    ASSERT_EQ(KB_OpenCommDevice(vexa, &p), 1);
    EXPECT_EQ(KB_SearchDevice(vexa), 0);

    auto choose = [&](int pick, int* shownAs) {
        QTimer::singleShot(0, [=] {
            QDialog* s = nullptr;
            (void)QTest::qWaitFor([&] { return (s = findDialog("CSelectDlg")) != nullptr; }, 5000);
            if (!s) return;
            for (int i = 0; i < 3; ++i)
                if (child<QRadioButton>(s, ("transport" + std::to_string(i)).c_str())->isChecked()) *shownAs = i;
            child<QRadioButton>(s, ("transport" + std::to_string(pick)).c_str())->click();
            QTest::mouseClick(child<QPushButton>(s, "ok"), Qt::LeftButton);
        });
    };
    int shownAs = -1;
    choose(VEXA_PORT_HID, &shownAs);
    EXPECT_EQ(KB_ConfigCommDevice(vexa, nullptr), 1);
    EXPECT_EQ(shownAs, VEXA_PORT_ETHERNET);
    EXPECT_EQ(KB_SearchDevice(vexa), 1) << "the USB coupler's boot module";

    choose(VEXA_PORT_RS485, &shownAs);
    EXPECT_EQ(KB_ConfigCommDevice(vexa, nullptr), 1);
    EXPECT_EQ(shownAs, VEXA_PORT_HID) << "the current choice is preselected";
}

std::vector<std::string> g_messages;
void capture(const char* text) { g_messages.emplace_back(text); }

TEST_F(DialogTest, CalledOffTheGuiThreadTheExportReturnsOneAndSaysWhy) {
    start();
    g_messages.clear();
    KB_SetMessageHandler(&capture);
    int r = 0;
    std::thread other([&] { r = KB_UpdateFirwareDlg("VEXA", nullptr, nullptr); });
    other.join();
    KB_SetMessageHandler(nullptr);
    EXPECT_EQ(r, 1);
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_NE(g_messages.front().find("thread"), std::string::npos) << g_messages.front();
    EXPECT_EQ(findDialog("CUpdateFirwareDlg"), nullptr);
}

// A program that is no Qt program: the module makes a QApplication for the dialog alone and
// removes it afterwards. Needs a process of its own (CTest runs each case alone).
TEST(DialogStandaloneTest, AProgramWithoutQApplicationGetsOneForTheDialogsLifetime) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    useBuildAppDir();
    SimRack rack(RackOptions{.liveData = false});
    SimCoupler* c = rack.addEthernet({.subs = {{1, subIdentity(kSubType)}}});
    ASSERT_EQ(rack.start(), kSimOk);
    useRack(rack);
    c->enterBootLoader(1);
    VexaPortParams p = vexaEthernet(c->address());

    // The test has no event loop of its own until the module made one: a helper thread hands
    // the driver to the dialog's QApplication as soon as there is one.
    std::atomic<bool> stop{false};
    std::atomic<int> listed{-1};
    std::thread helper([&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!stop && std::chrono::steady_clock::now() < until) {
            if (QCoreApplication* app = QCoreApplication::instance()) {
                QMetaObject::invokeMethod(app, [&listed] {
                    QDialog* d = nullptr;
                    (void)QTest::qWaitFor([&] { return (d = findDialog("CUpdateFirwareDlg")) != nullptr; }, 5000);
                    if (!d) return;
                    if (searched(d)) listed = rows(d).front().device;
                    (void)QTest::qWaitFor([&] { return idle(d); }, kSearchMs);
                    d->done(0);
                }, Qt::QueuedConnection);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const int r = KB_UpdateFirwareDlg("VEXA", nullptr, &p);
    stop = true;
    helper.join();
    EXPECT_EQ(r, 1);
    EXPECT_EQ(listed, 0) << "the dialog searched and listed the boot module";
    EXPECT_EQ(QCoreApplication::instance(), nullptr) << "the dialog's QApplication is gone with it";
    KB_CloseCommDevice(pluginIndex("VEXA"));
}

}  // namespace
