#pragma once
// A coupler's rack configuration against a backup file: save the rack to a file, open a file
// and see it beside the live rack (per module and setting: equal, different, missing on either
// side), and restore it. A restore shows its plan first; a module of another type or hardware
// version is written only when its row is ticked, an identity setting (address, name, node
// address, calibration) only when its own row is ticked. Device work runs on the device thread.
#include <QDialog>

#include <RackConfig.h>
#include <RackRestore.h>

#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vexadesk {

class CDeviceThread;
struct CatalogNode;
struct DeviceRecord;

class CDlgRackConfig : public QDialog {
    Q_OBJECT
public:
    CDlgRackConfig(DeviceRecord& record, CDeviceThread& thread, QWidget* parent = nullptr);

    // The buttons' work, callable directly (tests). Each ends with finished(rc), rc 0 on success.
    void backupTo(const QString& path);
    void openBackup(const QString& path);
    void restore();  // asks before writing

    QTreeWidget* comparison() const { return tree_; }
    // The library key of a setting row (its caption is the catalog's).
    static constexpr int kKeyRole = Qt::UserRole + 2;
    DeviceRecord& record() const { return record_; }
    // Ticks a module (slot, key empty) or an identity setting so that a restore writes it.
    bool tick(int slot, const QString& key);
    const std::optional<vexa::rackconfig::RestoreReport>& lastReport() const { return report_; }

signals:
    void finished(int rc);

private:
    void setBusy(bool busy);
    void compareWithLive();
    void showComparison(const vexa::rackconfig::RackConfig& live);
    void showReport(const vexa::rackconfig::RestoreReport& report);
    vexa::rackconfig::RestoreOptions options() const;
    void say(const QString& text, int kind);
    const CatalogNode* rowOf(int slot, const std::string& key) const;
    QString caption(int slot, const std::string& key) const;
    QString shown(int slot, const std::string& key, const std::string& text) const;

    DeviceRecord& record_;
    CDeviceThread& thread_;
    QLabel* file_;
    QLabel* summary_;
    QTreeWidget* tree_;
    QPushButton* backup_;
    QPushButton* open_;
    QPushButton* restore_;
    std::optional<vexa::rackconfig::RackConfig> backupFile_;
    std::optional<vexa::rackconfig::RestoreReport> report_;
};

}  // namespace vexadesk
