#pragma once
// A workbench on a simulated rack, offscreen, in a program folder of its own: the shipped
// settings and catalog copied into a temporary folder, message boxes recorded instead of shown.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sim/SimRack.h>

#include "TempDir.h"
#include "core/CGenGlobal.h"

namespace vexadesk {
class CDeviceThread;
class CVexaDeskApp;
class CMainFrame;
}

namespace deskTest {

struct Message {
    std::string caption, text;
};

class RecordingPresenter : public name_share::IMessagePresenter {
public:
    int present(void*, const std::string& caption, const std::string& text, int, int) override {
        messages.push_back({caption, text});
        return 0x400;  // OK
    }
    bool saw(const std::string& text) const {
        for (const auto& m : messages)
            if (m.text == text) return true;
        return false;
    }
    std::vector<Message> messages;
};

struct RackSpec {
    std::vector<std::vector<vexa::sim::SubModuleConfig>> couplers;  // one entry per USB coupler
    // An Ethernet and an RS-485 coupler (station 1) with these sub modules, when set.
    std::optional<std::vector<vexa::sim::SubModuleConfig>> eth, serial;
    bool ethChecksPassword = false;  // the Ethernet coupler refuses writes without its password
};

class Harness {
public:
    // `configure` may change the program folder's files before the workbench starts.
    explicit Harness(const RackSpec& spec, const std::function<void(const std::string& appDir)>& configure = {});
    ~Harness();

    vexadesk::CMainFrame& frame();
    vexadesk::CDeviceThread& thread();
    vexa::sim::SimRack& rack() { return *rack_; }
    vexa::sim::SimCoupler& coupler(int i) { return *couplers_.at(i); }
    RecordingPresenter& messages() { return presenter_; }
    const std::string& appDir() const { return dir_.path(); }

    // Runs a search that stops by itself once the rack has answered; the tree holds the result.
    void search();
    // The same for the Ethernet coupler (by broadcast to the rack) and the RS-485 line.
    void searchEthernet();
    void searchSerial();
    vexa::sim::SimCoupler* ethCoupler() { return eth_; }
    vexa::sim::SimCoupler* serialCoupler() { return serial_; }
    // Answers the next login dialog with OK (or Cancel) once it is shown.
    void answerNextLogin(bool ok, const QString& password = QStringLiteral("pw"));
    // Selects the coupler (subId -1) or a sub module in the tree and waits for the reads.
    bool select(int coupler, int subId, bool waitForData);

private:
    vexa::test::TempDir dir_;
    std::unique_ptr<vexa::sim::SimRack> rack_;
    std::vector<vexa::sim::SimCoupler*> couplers_;
    vexa::sim::SimCoupler* eth_ = nullptr;
    vexa::sim::SimCoupler* serial_ = nullptr;
    std::string oldBroadcast_ = "127.0.0.1";
    RecordingPresenter presenter_;
    std::unique_ptr<vexadesk::CVexaDeskApp> app_;
};

}  // namespace deskTest
