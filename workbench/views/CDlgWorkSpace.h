#pragma once
// The module workspace: the selected module's configuration page (page A) and data page
// (page B) as property grids, filled from the device through the device thread, with the header
// labels, the coupler's sub-module list and the periodic data refresh.
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "models/DeviceRecord.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace vexadesk {

class CDeviceThread;
class CEqumentTree;
class CNetProGrid;
class CTrendView;
struct CatalogNode;
struct DevTypeEntry;

class CDlgWorkSpace : public QWidget {
    Q_OBJECT
public:
    CDlgWorkSpace(CDeviceThread& thread, CEqumentTree& tree, QWidget* parent = nullptr);

    static constexpr int kRefreshMs = 800;
    static constexpr int kMaxFailedReads = 3;

    // Message 0x0466: the catalog page of (type, hardware version); type 0 shows no page.
    void showPage(std::uint16_t type, std::uint16_t hardVer);
    // Message 0x0469: header labels, then configuration and data of the tree's selection.
    void loadSelected();

    void refreshConfiguration();
    void refreshData();
    // Writing: "提交", "发送", the state and send-data rows, reboots.
    void submitConfiguration();
    void sendData();
    void toggleState(CatalogNode* node);    // message 0x046A
    void runSendDataRow(CatalogNode* node); // message 0x046D
    void rebootSubModule();                 // 1023: the id chosen in the sub-module list
    void rebootCoupler();                   // command 0x8022
    bool commandRunning() const { return commandRunning_; }
    void setPeriodicRefresh(bool on);
    bool periodicRefresh() const;
    // Forget the devices of the tree (before a clear or search): stop refreshing, drop pending
    // results and show the pages' defaults.
    void forgetDevices();
    // Re-colours every page; colours in platform order, `on` false gives the standard colour.
    void setColours(bool on, std::uint32_t slot1, std::uint32_t slot2);

    // For the frame, tests and screenshots.
    const DevTypeEntry* currentEntry() const { return entry_; }
    CNetProGrid* configGrid() const { return gridA_; }
    CNetProGrid* dataGrid() const { return gridB_; }
    bool busy() const { return pendingConfig_ || pendingData_; }
    int failedReads() const { return failedReads_; }
    QString headerText(int id) const;  // 1035 name, 1036 login, 1037 sub id, 1038 address
    QTreeWidget* subList() const { return subList_; }
    CTrendView* trend() const { return trend_; }

signals:
    // A configuration or data read finished (rc 0 on success); tests and the status bar follow it.
    void configurationRead(int rc);
    void dataRead(int rc);
    // A write or command finished; `message` is what the user was told ("" for nothing).
    void commandFinished(int rc, const QString& message);

protected:
    void keyPressEvent(QKeyEvent* e) override;  // Enter and Escape do nothing here

private:
    struct Grids {
        CNetProGrid* a = nullptr;
        CNetProGrid* b = nullptr;
    };
    Grids& gridsFor(DevTypeEntry* entry);
    void updateHeader();
    void fillSubList();
    bool currentDevice(DeviceRecord*& r, int& subId) const;
    void message(int id, int kind);
    void updateButtons();
    void showPagesOf(DevTypeEntry* entry);
    void showValue(CNetProGrid* grid, CatalogNode* n, const std::string& text);
    // Starts a command unless one runs; false (and says so) when one does.
    bool beginCommand();
    void endCommand(int rc, const QString& message);
    bool loggedInOrSay(DeviceRecord* r);
    void showPolls(int polls);
    QString calibrationReport(unsigned word) const;

    CDeviceThread& thread_;
    CEqumentTree& tree_;
    QLabel* name_;
    QLabel* address_;
    QLabel* login_;
    QLabel* subId_;
    QStackedWidget* stackA_;
    QStackedWidget* stackB_;
    QPushButton* refreshConfig_;
    QPushButton* submit_;
    QPushButton* refreshData_;
    QPushButton* send_;
    QPushButton* rebootSub_;
    QCheckBox* periodic_;
    QTreeWidget* subList_;
    QTimer timer_;

    std::map<DevTypeEntry*, Grids> grids_;
    DevTypeEntry* entry_ = nullptr;
    CNetProGrid* gridA_ = nullptr;
    CNetProGrid* gridB_ = nullptr;
    // The device the pages show; a different one resets the pages first.
    DeviceRecord* shownRecord_ = nullptr;
    int shownSub_ = -1;
    unsigned generation_ = 0;  // results of an earlier load are dropped
    bool pendingConfig_ = false;
    bool pendingData_ = false;
    bool commandRunning_ = false;
    QProgressBar* progress_ = nullptr;
    CTrendView* trend_ = nullptr;
    int failedReads_ = 0;
    bool coloursSet_ = false;
    bool colourOn_ = false;
    std::uint32_t colour1_ = 0, colour2_ = 0;
};

}  // namespace vexadesk
