#include "device/CUsbSearchWorker.h"

#include <VexaSdk.h>

#include <chrono>
#include <memory>

#include "device/CDeviceThread.h"
#include "device/DeviceOps.h"

namespace vexadesk {

CUsbSearchWorker::CUsbSearchWorker(QObject* parent) : QObject(parent) {}

void CUsbSearchWorker::start(CDeviceThread& thread) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        exit_ = false;
        running_ = true;
        runningNumber_ = 0;
        usbIndex_ = 0;
        paths_.clear();
    }
    thread.post([this] { run(); });
}

void CUsbSearchWorker::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        exit_ = true;
    }
    cv_.notify_all();
}

bool CUsbSearchWorker::running() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

void CUsbSearchWorker::run() {
    KO_HIDSearchAll();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (cv_.wait_for(lock, std::chrono::milliseconds(kPollMs), [this] { return exit_; })) break;
        }
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (exit_) break;
            }
            char path[KO_HID_PATH_SIZE + 1] = {};
            short manufacturer = 0, type = 0, mode = 0, hard = 0, soft = 0;
            int serial = 0;
            if (KO_HIDGetSearchDev(path, &manufacturer, &type, &mode, &hard, &soft, &serial) != RC_OK) break;
            std::string p(path);
            bool seen = false;
            for (const auto& q : paths_) seen = seen || q == p;
            if (seen) continue;  // the same device reported twice is listed once
            auto r = std::make_unique<DeviceRecord>();
            r->path = p;
            r->type = static_cast<std::uint16_t>(type);
            r->mode = static_cast<std::uint16_t>(mode);
            r->serial = serial;  // finds the coupler again should its path change
            list(r.release());
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
    }
    emit finished();
}

void CUsbSearchWorker::list(DeviceRecord* r) {
    std::unique_ptr<DeviceRecord> owned(r);
    // Only the USB coupler carries sub modules the workbench can show.
    if (r->type != kUsbCouplerType) return;
    paths_.push_back(r->path);
    for (auto& s : r->subSlots) s.id = 0;
    r->usbIndex = usbIndex_++;
    if (openDevice(*r) != RC_OK) {
        emit openFailed(QString::fromStdString(r->path));
        emit recordFound(owned.release());
        return;
    }
    std::vector<std::pair<QString, QString>> rows;
    rows.emplace_back(QString::number(runningNumber_++), QString::fromStdString(r->path));
    if (listSubModules(*r) == RC_OK)
        for (const auto& s : r->subSlots)
            if (s.id != 0)
                rows.emplace_back(QStringLiteral(" |sub:%1").arg(s.id),
                                  QStringLiteral("     %1").arg(s.type, 4, 16, QLatin1Char('0')).toUpper());
    emit recordFound(owned.release());
    for (const auto& row : rows) emit rowAdded(row.first, row.second);
}

}  // namespace vexadesk
