#include "device/CSearchWorker.h"

#include <VexaSdk.h>

#include <chrono>
#include <memory>

#include "device/CDeviceThread.h"
#include "device/DeviceOps.h"

namespace vexadesk {

namespace {

// The coupler type each kind's search keeps; sub modules answering an RS-485 station search,
// or other devices on the bus, are not couplers the workbench shows.
std::uint16_t couplerTypeOf(int kind) {
    switch (kind) {
        case kLinkEthernet: return kEthCouplerType;
        case kLinkSerial: return kSerialCouplerType;
        default: return kUsbCouplerType;
    }
}

// What identifies a found coupler within one search: the same device reported twice is listed once.
std::string identityOf(const DeviceRecord& r) {
    switch (r.linkType) {
        case kLinkEthernet: return r.ip;
        case kLinkSerial: return std::to_string(r.station);
        default: return r.path;
    }
}

// The list row that names where the coupler is.
QString whereText(const DeviceRecord& r) {
    switch (r.linkType) {
        case kLinkEthernet: return QString::fromStdString(r.ip + "  " + r.mac);
        case kLinkSerial: return QString::fromStdString(r.line.port + "  ID " + std::to_string(r.station));
        default: return QString::fromStdString(r.path);
    }
}

}  // namespace

CSearchWorker::CSearchWorker(QObject* parent) : QObject(parent) {}

void CSearchWorker::start(CDeviceThread& thread) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        exit_ = false;
        running_ = true;
        runningNumber_ = 0;
        usbIndex_ = 0;
        seen_.clear();
    }
    thread.post([this] { run(); });
}

void CSearchWorker::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        exit_ = true;
    }
    cv_.notify_all();
}

bool CSearchWorker::running() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

bool CSearchWorker::stopped() {
    std::lock_guard<std::mutex> lock(mutex_);
    return exit_;
}

void CSearchWorker::run() {
    std::unique_ptr<CouplerSearch> search = CouplerSearch::make(request_);
    search->begin();
    while (!stopped()) {
        auto r = std::make_unique<DeviceRecord>();
        CouplerSearch::Step step = search->next(*r);
        if (search->total() > 0) emit progress(search->done(), search->total());
        if (step == CouplerSearch::Step::Done) break;
        if (step == CouplerSearch::Step::Found) {
            list(r.release());
            continue;
        }
        if (search->pauseMs() > 0) {
            std::unique_lock<std::mutex> lock(mutex_);
            cv_.wait_for(lock, std::chrono::milliseconds(search->pauseMs()), [this] { return exit_; });
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
    }
    emit finished();
}

void CSearchWorker::list(DeviceRecord* r) {
    std::unique_ptr<DeviceRecord> owned(r);
    // Only couplers carry sub modules the workbench can show.
    if (r->type != couplerTypeOf(r->linkType)) return;
    const std::string id = identityOf(*r);
    for (const auto& q : seen_)
        if (q == id) return;
    seen_.push_back(id);
    for (auto& s : r->subSlots) s.id = 0;
    if (r->linkType == kLinkUsb) r->usbIndex = usbIndex_++;
    if (openDevice(*r) != RC_OK) {
        emit openFailed(whereText(*r));
        emit recordFound(owned.release());
        return;
    }
    std::vector<std::pair<QString, QString>> rows;
    rows.emplace_back(QString::number(runningNumber_++), whereText(*r));
    if (listSubModules(*r) == RC_OK)
        for (const auto& s : r->subSlots)
            if (s.id != 0)
                rows.emplace_back(QStringLiteral(" |sub:%1").arg(s.id),
                                  QStringLiteral("     %1").arg(s.type, 4, 16, QLatin1Char('0')).toUpper());
    emit recordFound(owned.release());
    for (const auto& row : rows) emit rowAdded(row.first, row.second);
}

}  // namespace vexadesk
