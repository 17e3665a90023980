#pragma once
// The main window: menu and toolbar commands, the docked device tree, the view, a status bar
// with four panes. Commands are identified by the ids the catalog and the rest of the program
// use for them.
#include <QMainWindow>

#include <functional>
#include <map>

#include "device/CouplerSearch.h"

class QAction;
class QDockWidget;
class QLabel;

namespace vexadesk {

class CDeviceThread;
struct DeviceRecord;
class CEqumentTree;
class CVexaDeskView;

enum CommandId : int {
    ID_SEARCH = 0x8003,
    ID_SEARCH_TARGETED = 0x8004,
    ID_GET_INFO = 0x8005,
    ID_CLEAR_LIST = 0x8006,
    ID_LOGIN = 0x8007,
    ID_SHOW_PANE = 0x801e,
    ID_UPGRADE_MAIN = 0x8021,
    ID_REBOOT = 0x8022,
    ID_UPGRADE_SUB = 0x8023,
    ID_COLOURS = 0x8024,
    ID_DOWNLOAD_CONFIG = 0x8025,
    ID_DOWNLOAD_IO = 0x8026,
    ID_RACK_CONFIG = 0x8027,
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CDeviceThread& thread, QWidget* parent = nullptr);
    ~CMainFrame() override;

    QAction* command(int id) const;
    CEqumentTree* tree() const { return tree_; }
    CVexaDeskView* view() const { return view_; }
    QDockWidget* devicePane() const { return dock_; }
    // Pane 3 of the status bar: where the devices come from (a real bus or the simulated rack).
    void setSourceNote(const QString& text);
    QString statusPane(int i) const;

    // Commands, callable directly (tests, scripts) as well as from the menu.
    // Asks which couplers to search for, then searches.
    void onSearch();
    // A search without asking; a USB search ends by itself after a moment (the simulated rack
    // answers at once), the others end when they have asked everything.
    void onSearchQuick(const SearchRequest& request = {});
    void onGetInfo();
    void onClearList();
    void onLogin();
    void onColours();
    void onAbout();
    void onUpgradeCoupler();     // 0x8021
    void onUpgradeSubModule();   // 0x8023
    void onDownloadConfig();     // 0x8025
    void onDownloadIo();         // 0x8026
    void onRackConfig();         // 0x8027: backup, compare and restore of the selected rack
    // Takes records found elsewhere (a search already run) into the tree.
    void adoptRecords(std::vector<std::unique_ptr<DeviceRecord>> records);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QAction* addCommand(QMenu* menu, int id, const QString& text, const QIcon& icon = QIcon());
    void buildCommands();
    void updateCommands();
    void restoreLayout();
    void saveLayout();
    void applyStoredColours();
    void runSearch(const SearchRequest& request, int autoStopMs);
    // Closes the selected records' handles on the device thread, then drops them from the tree.
    void dropRecords(const std::function<bool(const DeviceRecord&)>& drop);
    // The selected record when the selection fits the command and its coupler is logged in;
    // otherwise says what is missing and gives null.
    enum class Selection { Coupler, UsbCoupler, SubModule, Rack };
    DeviceRecord* selectedForCommand(Selection need);

    CDeviceThread& thread_;
    CEqumentTree* tree_;
    CVexaDeskView* view_;
    QDockWidget* dock_;
    std::map<int, QAction*> commands_;
    QLabel* panes_[4] = {};
    bool listChanging_ = false;
};

}  // namespace vexadesk
