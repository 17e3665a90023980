#pragma once
// Sub-module tests: a coupler of any kind with sub modules, operated through the exports, and a
// scripted USB coupler for replies the simulated rack never gives.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "SimFixture.h"

namespace vexa::test {

enum class Wire { Eth, Rtu, Ascii, Hid };

inline const char* wireName(Wire w) {
    constexpr const char* kNames[] = {"eth", "rtu", "ascii", "hid"};
    return kNames[static_cast<int>(w)];
}

class SubTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        // Silent modules are part of these tests: a USB reply that never comes is given up on
        // sooner than a real coupler would be.
        setenv("VEXA_TEST_HID_TIMEOUT_MS", "300", 1);
    }

    // A coupler of `wire` holding `subs` (serial couplers at `station`).
    sim::SimCoupler* add(Wire wire, std::vector<sim::SubModuleConfig> subs, int station = 1) {
        switch (wire) {
            case Wire::Eth: return rack->addEthernet({.subs = std::move(subs)});
            case Wire::Rtu:
            case Wire::Ascii: return rack->addSerial({.station = station, .subs = std::move(subs)});
            case Wire::Hid: return rack->addHid({.subs = std::move(subs)});
        }
        return nullptr;
    }

    KO_HANDLE operate(Wire wire, sim::SimCoupler* c) {
        switch (wire) {
            case Wire::Eth: return operateEth(c);
            case Wire::Rtu: return operateSerial(c, 0);
            case Wire::Ascii: return operateSerial(c, 1);
            case Wire::Hid: return operateHid(c);
        }
        return nullptr;
    }

    // The sub-module address of position `position` on coupler `c`.
    static int addressOf(Wire wire, sim::SimCoupler* c, int position) {
        return wire == Wire::Rtu || wire == Wire::Ascii ? c->station() + position - 1 : position;
    }

    static std::string prop(KO_SUBHANDLE s, const char* key) {
        char text[KO_TEXT_SIZE] = {};
        int rc = KO_GetSubDevProperty(s, key, text);
        return rc == RC_OK ? std::string(text) : "rc=" + std::to_string(rc);
    }

    static std::string data(KO_SUBHANDLE s, const char* key) {
        char text[KO_TEXT_SIZE] = {};
        int rc = KO_GetSubDevData(s, key, text);
        return rc == RC_OK ? std::string(text) : "rc=" + std::to_string(rc);
    }
};

// Register writes as they reached an Ethernet coupler: (command, start register, data words).
struct EthWrite {
    int command;
    int start;
    std::vector<int> words;
};

inline std::vector<EthWrite> ethWrites(const std::vector<sim::Bytes>& requests) {
    std::vector<EthWrite> out;
    for (const auto& r : requests) {
        if (r.size() < 19 || (r[1] != 0x05 && r[1] != 0x09)) continue;
        EthWrite w{r[1], r[3], {}};
        for (std::size_t i = 19; i + 1 < r.size(); i += 2) w.words.push_back(r[i] << 8 | r[i + 1]);
        out.push_back(w);
    }
    return out;
}

// A USB coupler played by the test: it says hello on the simulated bus, answers identify and
// the sub-slot requests with one module (type `subType` at address 1), and passes every other
// frame to `script`, which returns the reply frame or nothing for silence.
class FakeHidCoupler {
public:
    using Script = std::function<std::optional<std::vector<std::uint8_t>>(const std::vector<std::uint8_t>& frame)>;

    FakeHidCoupler(const std::string& folder, std::uint16_t subType, Script script)
        : subType_(subType), script_(std::move(script)) {
        path_ = folder + "/fake-0";
        listen_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un sa{};
        sa.sun_family = AF_UNIX;
        std::strncpy(sa.sun_path, path_.c_str(), sizeof sa.sun_path - 1);
        ok_ = listen_ >= 0 && ::bind(listen_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
              ::listen(listen_, 8) == 0;
        if (ok_) thread_ = std::thread([this] { run(); });
    }
    ~FakeHidCoupler() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        for (int fd : clients_) ::close(fd);
        if (listen_ >= 0) ::close(listen_);
        ::unlink(path_.c_str());
    }
    bool ok() const { return ok_; }
    const std::string& path() const { return path_; }
    // Frames that reached the script, oldest first.
    std::vector<std::vector<std::uint8_t>> scripted() {
        std::lock_guard<std::mutex> g(lock_);
        return scripted_;
    }

    // A reply frame: 7E, length, command, body, check, 7E.
    static std::vector<std::uint8_t> frame(std::uint8_t command, const std::vector<std::uint8_t>& body) {
        std::vector<std::uint8_t> f;
        f.reserve(body.size() + 5);
        f.push_back(0x7E);
        f.push_back(static_cast<std::uint8_t>(body.size() + 5));
        f.push_back(command);
        for (auto b : body) f.push_back(b);
        std::uint8_t x = 0;
        for (auto b : f) x ^= b;
        f.push_back(x);
        f.push_back(0x7E);
        return f;
    }

private:
    void run() {
        // Bounded: the test's destructor stops the loop; each poll waits at most 20 ms.
        while (!stop_) {
            std::vector<pollfd> fds{{listen_, POLLIN, 0}};
            for (int fd : clients_) fds.push_back({fd, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), 20) <= 0) continue;
            if (fds[0].revents & POLLIN) {
                int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) {
                    const char hello[] = "manufacturer=KXTMCU\nproduct=VEXA-9020\ninput=65\noutput=65\n";
                    ::send(fd, hello, sizeof hello - 1, MSG_NOSIGNAL);
                    clients_.push_back(fd);
                }
            }
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
                std::uint8_t rep[65];
                ssize_t n = ::recv(fds[i].fd, rep, sizeof rep, MSG_DONTWAIT);
                if (n <= 0) {
                    ::close(fds[i].fd);
                    clients_.erase(std::find(clients_.begin(), clients_.end(), fds[i].fd));
                    break;
                }
                std::vector<std::uint8_t> f(rep + 1, rep + n);
                auto reply = answer(f);
                if (!reply) continue;
                std::uint8_t out[65] = {};
                std::memcpy(out + 1, reply->data(), std::min<std::size_t>(reply->size(), 64));
                ::send(fds[i].fd, out, sizeof out, MSG_NOSIGNAL);
            }
        }
    }

    std::optional<std::vector<std::uint8_t>> answer(const std::vector<std::uint8_t>& f) {
        if (f.size() < 3) return std::nullopt;
        std::uint8_t type[2] = {static_cast<std::uint8_t>(subType_ >> 8), static_cast<std::uint8_t>(subType_)};
        if (f[2] == 0x01) return frame(0x01, {0x4B, 0x58, 0, 1, 0x90, 0x20, 1, 0, 1, 0, 1, 2, 3, 4});
        if (f[2] == 0x10 && f.size() > 3) {
            bool first = f[3] == 1;
            std::vector<std::uint8_t> body{static_cast<std::uint8_t>(first ? 1 : 0), 0x4B, 0x58, type[0], type[1],
                                           0, 1, 1, 0, 1, 0, 9, 8, 7, 6};
            return frame(0x10, body);
        }
        {
            std::lock_guard<std::mutex> g(lock_);
            scripted_.push_back(f);
        }
        return script_(f);
    }

    std::uint16_t subType_;
    Script script_;
    std::string path_;
    int listen_ = -1;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<int> clients_;
    std::mutex lock_;
    std::vector<std::vector<std::uint8_t>> scripted_;
};

}  // namespace vexa::test
