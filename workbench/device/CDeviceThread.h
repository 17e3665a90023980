#pragma once
// The one thread that calls the device libraries. The libraries are serial by design (one lock
// for every call), so jobs run one after another in the order they were posted; the window
// thread posts them and gets results back as queued calls, so it never waits on a device.
#include <QObject>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vexadesk {

class CDeviceThread : public QObject {
    Q_OBJECT
public:
    explicit CDeviceThread(QObject* parent = nullptr);
    ~CDeviceThread() override;  // lets the running job finish, drops the rest

    // Runs `work` on the device thread.
    void post(std::function<void()> work);

    // Runs `work` on the device thread, then `done` with its result on the receiver's thread,
    // unless the receiver is gone by then.
    template <class R>
    void run(QObject* receiver, std::function<R()> work, std::function<void(R)> done) {
        QPointer<QObject> guard(receiver);
        post([this, guard, work = std::move(work), done = std::move(done)]() mutable {
            R result = work();
            deliver([guard, done = std::move(done), result = std::move(result)]() mutable {
                if (guard) done(std::move(result));
            });
        });
    }

    // Runs `fn` on the window thread (this object's thread). Callable from any thread: the call
    // travels as a posted event that the window thread owns from then on, so nothing of it is
    // touched by the posting thread afterwards.
    void deliver(std::function<void()> fn);

    bool busy() const { return busy_.load(); }
    // Blocks until every posted job has run. For the few places that must not go on while a
    // device call is under way (clearing the device list, closing the program).
    void waitIdle();
    bool onDeviceThread() const { return std::this_thread::get_id() == thread_.get_id(); }

signals:
    // A job started while none was running, or the last queued job ended.
    void busyChanged(bool busy);

protected:
    bool event(QEvent* e) override;

private:
    void loop();

    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    bool running_ = false;
    std::atomic<bool> busy_{false};
    std::thread thread_;
};

}  // namespace vexadesk
