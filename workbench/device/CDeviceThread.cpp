#include "device/CDeviceThread.h"

#include <QCoreApplication>
#include <QEvent>

namespace vexadesk {

namespace {

const QEvent::Type kCallEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct CallEvent : QEvent {
    explicit CallEvent(std::function<void()> f) : QEvent(kCallEvent), fn(std::move(f)) {}
    std::function<void()> fn;
};

}  // namespace

void CDeviceThread::deliver(std::function<void()> fn) {
    QCoreApplication::postEvent(this, new CallEvent(std::move(fn)));
}

bool CDeviceThread::event(QEvent* e) {
    if (e->type() == kCallEvent) {
        static_cast<CallEvent*>(e)->fn();
        return true;
    }
    return QObject::event(e);
}

CDeviceThread::CDeviceThread(QObject* parent) : QObject(parent), thread_([this] { loop(); }) {}

CDeviceThread::~CDeviceThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

void CDeviceThread::post(std::function<void()> work) {
    bool wasIdle;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        wasIdle = jobs_.empty() && !running_;
        jobs_.push_back(std::move(work));
        busy_ = true;
    }
    wake_.notify_one();
    if (wasIdle) emit busyChanged(true);
}

void CDeviceThread::waitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return (jobs_.empty() && !running_) || stopping_; });
}

void CDeviceThread::loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) break;  // stopping
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        lock.unlock();
        job();
        lock.lock();
        running_ = false;
        if (jobs_.empty()) {
            busy_ = false;
            idle_.notify_all();
            if (!stopping_) deliver([this] { if (!busy_) emit busyChanged(false); });
        }
    }
    running_ = false;
    idle_.notify_all();
}

}  // namespace vexadesk
