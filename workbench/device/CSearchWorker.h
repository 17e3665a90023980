#pragma once
// A coupler search as a device-thread job: drives one kind's discovery (CouplerSearch) step by
// step, opens every coupler it finds and lists its sub modules. It talks to the window only
// through its signals (queued to the window thread), so no widget is touched from the device
// thread.
#include <QObject>
#include <QString>

#include <condition_variable>
#include <mutex>

#include "device/CouplerSearch.h"
#include "models/DeviceRecord.h"

namespace vexadesk {

class CDeviceThread;

class CSearchWorker : public QObject {
    Q_OBJECT
public:
    explicit CSearchWorker(QObject* parent = nullptr);

    void setRequest(const SearchRequest& request) { request_ = request; }
    const SearchRequest& request() const { return request_; }
    // Posts the search to `thread`.
    void start(CDeviceThread& thread);
    // Asks the search to end; it does after the library call under way. finished() follows.
    void stop();
    bool running() const;

signals:
    // A coupler was opened and listed: its list rows follow as rowAdded.
    void recordFound(vexadesk::DeviceRecord* record);  // the receiver takes ownership
    void rowAdded(const QString& number, const QString& text);
    void openFailed(const QString& where);
    // Searches that know their length report it (RS-485: stations asked of all).
    void progress(int done, int total);
    void finished();

private:
    void run();
    bool stopped();
    void list(DeviceRecord* r);

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool exit_ = false;
    bool running_ = false;
    int runningNumber_ = 0;
    int usbIndex_ = 0;
    std::vector<std::string> seen_;
    SearchRequest request_;
};

}  // namespace vexadesk
