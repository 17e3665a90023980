#pragma once
// A device on the simulated USB bus, played by a test: it listens on a SOCK_SEQPACKET socket,
// greets every connection with `hello` (an empty hello: it never says anything) and lets the
// test exchange reports with the newest connection.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Net.h"

namespace vexa::test {

class FakeHidDevice {
public:
    FakeHidDevice(std::string path, std::string hello);
    ~FakeHidDevice();
    FakeHidDevice(const FakeHidDevice&) = delete;
    FakeHidDevice& operator=(const FakeHidDevice&) = delete;

    bool listening() const { return listener_.valid(); }
    int connections() const;
    // One input report to the newest connection.
    bool send(const std::vector<std::uint8_t>& report);
    // The next output report from the newest connection; empty after `timeoutMs`.
    std::vector<std::uint8_t> receive(int timeoutMs);
    // Closes the newest connection, as an unplugged device would.
    void unplug();

    // A socket that listens but never accepts: a device too busy to answer.
    static UniqueFd deafListener(const std::string& path);

private:
    void run();
    int newest() const;

    std::string hello_;
    UniqueFd listener_;
    UniqueFd wake_;  // an eventfd that ends run()
    mutable std::mutex mutex_;
    std::vector<UniqueFd> conns_;
    std::thread thread_;
};

}  // namespace vexa::test
