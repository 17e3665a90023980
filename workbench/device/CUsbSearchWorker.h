#pragma once
// The USB search as a device-thread job: starts the library's USB discovery, drains its results
// between short waits, opens every coupler of the USB type and lists its sub modules. It talks to
// the window only through its signals (queued to the window thread), so no widget is touched
// from the device thread.
#include <QObject>
#include <QString>

#include <condition_variable>
#include <mutex>

#include "models/DeviceRecord.h"

namespace vexadesk {

class CDeviceThread;

class CUsbSearchWorker : public QObject {
    Q_OBJECT
public:
    explicit CUsbSearchWorker(QObject* parent = nullptr);

    // Posts the search to `thread`. `firstIndex` numbers the couplers in the USB list.
    void start(CDeviceThread& thread);
    // Asks the search to end; it does after the library call under way. finished() follows.
    void stop();
    bool running() const;

    // The wait between two drains of the discovery results.
    static constexpr int kPollMs = 200;

signals:
    // A coupler was opened and listed: its list rows follow as rowAdded.
    void recordFound(vexadesk::DeviceRecord* record);  // the receiver takes ownership
    void rowAdded(const QString& number, const QString& text);
    void openFailed(const QString& path);
    void finished();

private:
    void run();
    void list(DeviceRecord* r);

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool exit_ = false;
    bool running_ = false;
    int runningNumber_ = 0;
    int usbIndex_ = 0;
    std::vector<std::string> paths_;
};

}  // namespace vexadesk
