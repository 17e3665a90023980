#pragma once
// The rack's one device thread: a poll() loop over every socket and pty, plus timers for
// delayed replies and serial frame gaps. Handlers and timers run with the rack lock held, so
// watch() and after() are called with it held too (from handlers, or before start()).
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Net.h"

namespace vexa::sim::detail {

class EventLoop {
public:
    using Handler = std::function<void(short revents)>;
    using Task = std::function<void()>;

    explicit EventLoop(std::mutex& lock) : lock_(lock) {}
    ~EventLoop() { stop(); }

    bool start();  // without the lock held
    void stop();   // without the lock held; joins the thread and forgets all watches and timers

    void watch(int fd, Handler handler);
    void unwatch(int fd);
    void after(int delayMs, Task task);

private:
    void run();
    void wake();

    struct Watch {
        int fd;
        Handler handler;
        bool removed = false;
    };
    std::mutex& lock_;
    std::vector<std::shared_ptr<Watch>> watches_;
    std::multimap<vexa::Clock::time_point, Task> timers_;
    vexa::UniqueFd wakeFd_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
};

}  // namespace vexa::sim::detail
