#include "EventLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vexa::sim::detail {

bool EventLoop::start() {
    wakeFd_.reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!wakeFd_.valid()) return false;
    stopping_ = false;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (...) {
        return false;
    }
    return true;
}

void EventLoop::stop() {
    stopping_ = true;
    if (thread_.joinable()) {
        wake();
        thread_.join();
    }
    std::lock_guard<std::mutex> g(lock_);
    watches_.clear();
    timers_.clear();
    wakeFd_.reset();
}

void EventLoop::wake() {
    if (!wakeFd_.valid()) return;
    std::uint64_t one = 1;
    ssize_t n = ::write(wakeFd_.get(), &one, sizeof one);
    (void)n;  // a full counter still wakes the loop
}

void EventLoop::watch(int fd, Handler handler) {
    watches_.push_back(std::make_shared<Watch>(Watch{fd, std::move(handler)}));
    wake();
}

void EventLoop::unwatch(int fd) {
    for (auto& w : watches_)
        if (w->fd == fd) w->removed = true;
    std::erase_if(watches_, [](const auto& w) { return w->removed; });
    wake();
}

void EventLoop::after(int delayMs, Task task) {
    timers_.emplace(vexa::Clock::now() + std::chrono::milliseconds(delayMs), std::move(task));
    wake();
}

void EventLoop::run() {
    std::vector<pollfd> fds;
    std::vector<std::shared_ptr<Watch>> polled;
    std::unique_lock<std::mutex> g(lock_);
    while (!stopping_) {
        fds.assign(1, pollfd{wakeFd_.get(), POLLIN, 0});
        polled = watches_;
        for (auto& w : polled) fds.push_back(pollfd{w->fd, POLLIN, 0});
        int timeout = timers_.empty() ? -1 : vexa::msUntil(timers_.begin()->first);
        g.unlock();
        int n = ::poll(fds.data(), fds.size(), timeout);
        g.lock();
        if (stopping_) break;
        if (n < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            ssize_t r = ::read(wakeFd_.get(), &count, sizeof count);
            (void)r;
        }
        for (std::size_t i = 1; n > 0 && i < fds.size(); ++i)
            if (fds[i].revents && !polled[i - 1]->removed) polled[i - 1]->handler(fds[i].revents);
        auto now = vexa::Clock::now();
        while (!timers_.empty() && timers_.begin()->first <= now) {
            Task t = std::move(timers_.begin()->second);
            timers_.erase(timers_.begin());
            t();
        }
    }
}

}  // namespace vexa::sim::detail
