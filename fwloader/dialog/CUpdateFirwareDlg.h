#pragma once
// The upgrade library's own dialog: pick a boot plug-in, search the devices in their boot
// loaders, pick a device and an upgrade file, upgrade with a progress bar. Everything goes
// through the KB_ exports. Searches and upgrades run on a worker thread that reports only by
// posting events to the dialog; the window thread does every widget update.
#include <QDialog>
#include <QStringList>

#include <atomic>
#include <thread>
#include <vector>

class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;

class CUpdateFirwareDlg : public QDialog {
public:
    // commName and path preset the plug-in and the file when not null; a non-null openParams is
    // what KB_OpenCommDevice gets.
    CUpdateFirwareDlg(const char* commName, const char* path, void* openParams, QWidget* parent = nullptr);
    // Waits for a running search or upgrade: the worker uses the dialog's state.
    ~CUpdateFirwareDlg() override;

    // "退出", Esc and the close box: only when idle, and then the device is reset and the
    // plug-in closed.
    void reject() override;

    // One device row as the list shows it; device -1 for the "not found" row.
    struct Row {
        int device;
        QStringList texts;
    };

protected:
    bool event(QEvent* e) override;

private:
    enum Mode { kUpgrading = 0, kSearching = 1, kIdle = 2 };
    enum Event { kOpenAndSearch = 0, kSearchStarted = 1, kSearchFinished = 2, kUpgradeStarted = 5, kUpgradeFinished = 6 };

    void post(int what, long value, std::vector<Row> rows = {});
    void onEvent(int what, long value, std::vector<Row>& rows);
    void openAndSearch(int attempts);
    void searchWorker(int plugin, int attempts);
    void onUpgrade();
    void onBrowse();
    void onConfig();
    void showList(const std::vector<Row>& rows);
    void updateControls();
    void setSearchButtonsVisible(bool visible);
    void message(const QString& text);
    int selectedPlugin() const;
    int selectedDevice() const;
    void startWorker(std::thread t);

    QComboBox* plugins_;
    QPushButton* config_;
    QPushButton* search_;
    QPushButton* exit_;
    QTreeWidget* devices_;
    QLineEdit* path_;
    QPushButton* browse_;
    QPushButton* upgrade_;
    QProgressBar* progress_;
    QTimer* progressTimer_;

    void* openParams_;
    QString filePath_;
    std::atomic<int> mode_{kIdle};
    std::atomic<bool> stopping_{false};
    std::thread worker_;
    // The device and plug-in of the upgrade that runs or ran last: progress and error text
    // follow them, not the row selected meanwhile.
    int upgradeDevice_ = -1;
    int upgradePlugin_ = -1;
};
