#pragma once
// The device tree in the "Searched dev" pane: one root per coupler kind ("USB : Host" always,
// "Ethernet" and "RS-485 : <port>" once a search found couplers there), one node per coupler
// and one per sub module. It owns the device records. Selecting a node passes the
// login gate and then tells the view which page to show and the workspace which device to load.
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <vector>

#include "models/DeviceRecord.h"

namespace vexadesk {

class CEqumentTree : public QTreeWidget {
    Q_OBJECT
public:
    enum Mode { kRootSelected = 0, kModuleSelected = 1, kSubSelected = 2 };

    explicit CEqumentTree(QWidget* parent = nullptr);

    // Asked before a coupler's pages are shown; true lets the selection through.
    void setLoginGate(std::function<bool(DeviceRecord&)> gate) { gate_ = std::move(gate); }

    // Replaces every branch with these records (the tree takes them).
    void setRecords(std::vector<std::unique_ptr<DeviceRecord>> records);
    // Adds records under their kind's root, keeping the others.
    void addRecords(std::vector<std::unique_ptr<DeviceRecord>> records);
    // Deletes the nodes and records `drop` selects; a root other than USB's goes when it empties.
    // The caller has closed their handles (on the device thread) before.
    void removeRecords(const std::function<bool(const DeviceRecord&)>& drop);
    // Deletes the branch with its records and recreates the root, selected. The caller has
    // closed their handles (on the device thread) before.
    void clearRecords();
    // The record's sub modules listed again (after an upgrade changed what they report).
    void updateRecord(DeviceRecord* r);
    const std::vector<std::unique_ptr<DeviceRecord>>& records() const { return records_; }

    Mode mode() const { return mode_; }
    // The selected device: the record and -1 for a coupler, the parent and the sub-module id
    // for a sub module, nothing for the root.
    bool selectedDevice(DeviceRecord*& record, int& subId) const;
    // Selects a node again, as the "get information" command does.
    void reselect();
    QTreeWidgetItem* usbRoot() const { return root_; }
    QTreeWidgetItem* itemFor(const DeviceRecord* r, int subId) const;

signals:
    // Message 0x0466: low 16 bits the type code, high 16 bits the hardware version.
    void showPage(quint32 wParam, quint32 lParam);
    // Message 0x0469: the workspace loads the selected device.
    void loadDevice(vexadesk::DeviceRecord* record, int subId);

private:
    void onSelectionChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void makeRoot();
    QTreeWidgetItem* rootFor(const DeviceRecord& r);
    void addSubNodes(QTreeWidgetItem* node, DeviceRecord* r);

    std::vector<std::unique_ptr<DeviceRecord>> records_;
    QTreeWidgetItem* root_ = nullptr;
    Mode mode_ = kRootSelected;
    std::function<bool(DeviceRecord&)> gate_;
    bool restoring_ = false;
};

}  // namespace vexadesk
