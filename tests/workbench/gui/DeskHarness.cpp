#include "DeskHarness.h"

#include <QDialog>
#include <QLineEdit>

#include <cstdlib>
#include <filesystem>

#include "dialogs/CDlgLogin.h"
#include "views/CDlgWorkSpace.h"
#include "views/CEqumentTree.h"
#include "views/CMainFrame.h"
#include "views/CVexaDeskApp.h"
#include "views/CVexaDeskView.h"

namespace fs = std::filesystem;

namespace deskTest {

Harness::Harness(const RackSpec& spec, const std::function<void(const std::string&)>& configure) {
    fs::copy(VEXADESK_FILES_DIR, dir_.path(), fs::copy_options::recursive);
    fs::copy(VEXADESK_CATALOG_DIR, dir_.path() + "/devtype", fs::copy_options::recursive);
    for (const auto& e : fs::directory_iterator(VEXADESK_LANGUAGE_DIR))
        if (e.path().extension() == ".qm") fs::copy(e.path(), dir_.path() + "/language/" + e.path().filename().string());
    if (configure) configure(dir_.path());
    setenv("VEXA_APPDIR", dir_.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_.path() + "/user").c_str(), 1);
    // A silent device answers nothing: keep its waits short.
    setenv("VEXA_TEST_HID_TIMEOUT_MS", "300", 1);

    rack_ = std::make_unique<vexa::sim::SimRack>(vexa::sim::RackOptions{.liveData = false});
    for (const auto& subs : spec.couplers) {
        vexa::sim::HidCouplerConfig c;
        c.subs = subs;
        couplers_.push_back(rack_->addHid(c));
    }
    if (spec.eth) eth_ = rack_->addEthernet({.checkPassword = spec.ethChecksPassword, .subs = *spec.eth});
    if (spec.serial) serial_ = rack_->addSerial({.subs = *spec.serial});
    if (rack_->start() != vexa::sim::kSimOk) qFatal("simulated rack did not start");
    setenv("VEXA_HID", ("sim:" + rack_->hidFolder()).c_str(), 1);
    // Broadcast searches go to the rack's hub, never the network.
    if (const char* old = std::getenv("VEXA_ETH_BROADCAST")) oldBroadcast_ = old;
    setenv("VEXA_ETH_BROADCAST", rack_->hubAddress().c_str(), 1);

    app_ = std::make_unique<vexadesk::CVexaDeskApp>(*qApp);
    name_share::CGenGlobal::SetPresenter(&presenter_);
    app_->start(vexadesk::StartOptions{.noSimulate = true}, false);
}

Harness::~Harness() {
    app_.reset();
    rack_.reset();
    unsetenv("VEXA_HID");
    unsetenv("VEXA_APPDIR");
    setenv("VEXA_ETH_BROADCAST", oldBroadcast_.c_str(), 1);
}

vexadesk::CMainFrame& Harness::frame() { return *app_->frame(); }

vexadesk::CDeviceThread& Harness::thread() { return *app_->deviceThread(); }

void Harness::search() { frame().onSearchQuick(); }

void Harness::searchEthernet() {
    vexadesk::SearchRequest r;
    r.kind = vexadesk::kLinkEthernet;
    frame().onSearchQuick(r);
}

void Harness::searchSerial() {
    vexadesk::SearchRequest r;
    r.kind = vexadesk::kLinkSerial;
    r.line.port = rack_->serialPath(0);
    r.firstStation = r.lastStation = 1;
    frame().onSearchQuick(r);
}

void Harness::answerNextLogin(bool ok, const QString& password) {
    // Polls for the dialog from the event loop that its exec() runs; gives up after 2 s.
    auto* timer = new QTimer(&frame());
    auto attempts = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, attempts, ok, password] {
        auto* dlg = qobject_cast<vexadesk::CDlgLogin*>(QApplication::activeModalWidget());
        if (!dlg) {
            if (++*attempts >= 200) timer->deleteLater();
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (!ok) {
            dlg->reject();
            return;
        }
        dlg->passwordEdit()->setText(password);
        dlg->accept();
    });
    timer->start(10);
}

bool Harness::select(int coupler, int subId, bool waitForData) {
    auto& tree = *frame().tree();
    const auto& records = tree.records();
    if (coupler >= static_cast<int>(records.size())) return false;
    QTreeWidgetItem* item = tree.itemFor(records[coupler].get(), subId);
    if (!item) return false;
    auto* ws = frame().view()->workspace();
    QSignalSpy config(ws, &vexadesk::CDlgWorkSpace::configurationRead);
    QSignalSpy data(ws, &vexadesk::CDlgWorkSpace::dataRead);
    if (!records[coupler]->loggedIn) answerNextLogin(true);
    tree.setCurrentItem(item);
    if (!config.wait(5000) && config.isEmpty()) return false;
    if (waitForData && data.isEmpty() && !data.wait(5000)) return false;
    return true;
}

}  // namespace deskTest
