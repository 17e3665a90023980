#pragma once
// Start-up and shut-down of the workbench: the global object with its settings and language,
// the translations, the catalog, the device thread, the simulated rack when there is no real
// coupler, and the main window.
#include <QString>

#include <memory>

class QApplication;
class QTranslator;

class CKNetCom2Global;

namespace vexadesk {

class CDeviceThread;
class CMainFrame;
class SimulatedRack;
class QtMessagePresenter;

struct StartOptions {
    bool simulate = false;    // --simulate: the built-in rack even when a real coupler answers
    bool noSimulate = false;  // --no-simulate: never start it
    bool search = true;       // run a search at start on the simulated rack
};

class CVexaDeskApp {
public:
    explicit CVexaDeskApp(QApplication& app);
    ~CVexaDeskApp();

    // Parses the command line; false with `error` set for a usage mistake.
    static bool parseArgs(const QStringList& args, StartOptions& out, QString& error);

    // Everything up to a shown main window. `show` false leaves it hidden (tests, benchmarks).
    bool start(const StartOptions& options, bool show = true);
    CMainFrame* frame() const { return frame_.get(); }
    CDeviceThread* deviceThread() const { return thread_.get(); }
    bool simulated() const { return rack_ != nullptr; }
    SimulatedRack* simulatedRack() const { return rack_.get(); }
    CKNetCom2Global* global() const { return global_.get(); }

private:
    void loadTranslations();
    void loadSkin();

    QApplication& app_;
    std::unique_ptr<CKNetCom2Global> global_;
    std::unique_ptr<QtMessagePresenter> presenter_;
    std::unique_ptr<QTranslator> translator_;
    std::unique_ptr<SimulatedRack> rack_;
    std::unique_ptr<CDeviceThread> thread_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace vexadesk
