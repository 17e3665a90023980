#include "FakeStation.h"

#include <poll.h>
#include <unistd.h>

#include "WireClient.h"

namespace boottest {

namespace {
constexpr int kPollMs = 20;
constexpr int kSilenceMs = 2;  // a master writes a frame at once; a pause ends it
}  // namespace

Bytes kvmb(std::uint8_t station, std::uint8_t function, std::uint8_t subFunction) {
    return {station, function, 'K', 'V', 'M', 'B', subFunction};
}

FakeStation::FakeStation(Answer answer) : answer_(std::move(answer)) {
    if (vexa::openPty(pty_)) thread_ = std::thread([this] { run(); });
}

FakeStation::~FakeStation() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    vexa::closePty(pty_);
}

std::vector<Bytes> FakeStation::requests() const {
    std::lock_guard<std::mutex> g(lock_);
    return requests_;
}

void FakeStation::run() {
    Bytes pending;
    while (!stop_) {
        pollfd p{pty_.master, POLLIN, 0};
        const int ready = ::poll(&p, 1, pending.empty() ? kPollMs : kSilenceMs);
        if (ready > 0 && (p.revents & POLLIN)) {
            std::uint8_t buf[512];
            const ssize_t n = ::read(pty_.master, buf, sizeof buf);
            if (n > 0) pending.insert(pending.end(), buf, buf + n);
            continue;
        }
        if (!pending.empty()) {
            take(pending);
            pending.clear();
        }
    }
}

void FakeStation::take(const Bytes& frame) {
    if (frame.size() < 4) return;
    Bytes body(frame.begin(), frame.end() - 2);
    if (vexa::simtest::withCrc(body) != frame) return;  // a damaged request goes unanswered
    {
        std::lock_guard<std::mutex> g(lock_);
        requests_.push_back(body);
    }
    if (auto reply = answer_(body)) {
        const Bytes out = vexa::simtest::withCrc(*reply);
        if (::write(pty_.master, out.data(), out.size()) < 0) return;
    }
}

}  // namespace boottest
