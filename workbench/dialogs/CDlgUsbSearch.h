#pragma once
// The modal coupler search: a progress bar over the 25 s the search may take (or over the
// stations of an RS-485 search), the list of what was found, and "停止". The search itself runs
// on the device thread (CSearchWorker); this dialog only shows what it reports and, when stopped,
// waits for it to end before it closes. A search that ends by itself (Ethernet, RS-485) closes it.
#include <QDialog>
#include <QTimer>

#include <memory>
#include <vector>

#include "device/CSearchWorker.h"

class QProgressBar;
class QTreeWidget;
class QPushButton;

namespace vexadesk {

class CDeviceThread;

class CDlgUsbSearch : public QDialog {
    Q_OBJECT
public:
    CDlgUsbSearch(CDeviceThread& thread, QWidget* parent = nullptr, const SearchRequest& request = {});
    ~CDlgUsbSearch() override;

    // What the search found, in order; the caller takes them after exec().
    std::vector<std::unique_ptr<DeviceRecord>> takeResults();

    static constexpr int kTicks = 500;      // 25 s at 50 ms
    static constexpr int kTickMs = 50;

    QTreeWidget* list() const { return list_; }
    QPushButton* stopButton() const { return stop_; }
    int ticks() const { return ticks_; }
    // Ends the search by itself after `ms` (0: only at the time limit or on "停止").
    void setAutoStop(int ms) { autoStopMs_ = ms; }
    // The time limit in ticks; kTicks unless a test shortens it.
    void setTickLimit(int ticks) { tickLimit_ = ticks; }

public slots:
    void accept() override;  // "停止", time-out and closing all end here
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void tick();
    void addRow(const QString& number, const QString& text);
    void workerFinished();
    void showProgress(int done, int total);

    CDeviceThread& thread_;
    CSearchWorker worker_;
    QProgressBar* progress_;
    QTreeWidget* list_;
    QPushButton* stop_;
    QTimer timer_;
    int ticks_ = 0;
    bool started_ = false;
    bool stopping_ = false;
    bool workerDone_ = false;
    bool counted_ = false;  // the progress bar counts steps, not time
    int autoStopMs_ = 0;
    int tickLimit_ = kTicks;
    std::vector<std::unique_ptr<DeviceRecord>> results_;
};

}  // namespace vexadesk
