#pragma once
// The slave-configuration download dialog of a USB coupler ("从站配置下载"): lays out the PDO
// mapping of the coupler's sub-module channels, downloads it with the I/O and SDO configuration,
// reads the coupler's mapping back, saves and loads it as a mapping file and exports an EDS.
// Every device call runs on the device thread; the dialog only shows what comes back, and
// keeps its editor as it was when a call fails.
#include <QDialog>

#include <vector>

#include "core/PdoLayout.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vexadesk {

class CDeviceThread;
struct DeviceRecord;

// Command 0x8026: downloads the sub modules' I/O map to the coupler (opening it when needed).
// Device thread only. 0 on success, else the library's result.
int downloadIo(DeviceRecord& record);

// The coupler's mapping as read back.
struct MapReadBack {
    int rc = 0;
    std::vector<int> io;
    std::vector<SdoMapRecord> sdo;
    std::vector<PdoMapEntry> tpdo, rpdo;
};

class CUsbDownDlg : public QDialog {
    Q_OBJECT
public:
    CUsbDownDlg(DeviceRecord& record, CDeviceThread& thread, QWidget* parent = nullptr);
    ~CUsbDownDlg() override;

    // The buttons, callable directly (tests); the file ones without asking for a file.
    void addInput();
    void addOutput();
    void deleteSelected();
    void clearMapping();
    void downloadSdoPdo();
    void downloadIoConfig();
    void readMapping();
    void downloadAll();
    bool saveMappingTo(const QString& path);
    bool loadMappingFrom(const QString& path);
    bool exportEdsTo(const QString& path);

    // True while a device call of this dialog is under way.
    bool busy() const { return pending_ > 0; }
    const PdoLayout& layout() const { return layout_; }
    QTreeWidget* tree() const { return tree_; }
    QListWidget* channelList(bool output) const { return output ? outChannels_ : inChannels_; }
    QListWidget* offsetList(bool output) const { return output ? outOffsets_ : inOffsets_; }
    // 0 SDO, 1 TPDO, 2 RPDO
    QTreeWidget* readList(int i) const { return readLists_[i]; }
    QPushButton* addButton(bool output) const { return output ? addOut_ : addIn_; }
    QLabel* nodeLabel() const { return nodeLabel_; }
    // Selects a tree node: a side's root (pdo -1) or PDO, or an entry of a PDO (item >= 0).
    bool selectNode(bool rpdo, int pdo, int item = -1);
    // Selects a channel (index in the side's channel list) and an offset; false when not listed.
    bool selectChannel(bool output, int channel, int offset);
    // The EDS template: AppDir's config/VEXA_9020tmp.eds unless set.
    void setEdsTemplate(const QString& path) { edsTemplate_ = path; }

signals:
    void deviceCallDone();

private:
    void buildUi();
    void onOpened(std::vector<IoMapRecord> channels, int nodeAddress, MapReadBack map);
    void showReadBack(const MapReadBack& map);
    void placeEntries(const std::vector<PdoMapEntry>& rpdo, const std::vector<PdoMapEntry>& tpdo,
                      const QStringList& fileDrops);
    void refresh();
    void refreshChannels();
    void updateButtons();
    void add(bool output);
    PdoTarget selectedTarget() const;
    void warn(const QString& text, int kind = 1);
    void callStarted();
    void callEnded();
    QString channelText(const IoMapRecord& c) const;

    DeviceRecord& record_;
    CDeviceThread& thread_;
    PdoLayout layout_;
    std::vector<SdoMapRecord> sdo_;  // the coupler's SDO list as last read
    int pending_ = 0;
    QString edsTemplate_;

    QTreeWidget* tree_ = nullptr;
    QListWidget* inChannels_ = nullptr;
    QListWidget* outChannels_ = nullptr;
    QListWidget* inOffsets_ = nullptr;
    QListWidget* outOffsets_ = nullptr;
    QTreeWidget* readLists_[3] = {};
    QPushButton* addIn_ = nullptr;
    QPushButton* addOut_ = nullptr;
    QLabel* nodeLabel_ = nullptr;
};

}  // namespace vexadesk
