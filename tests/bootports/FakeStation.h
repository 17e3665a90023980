#pragma once
// A Modbus RTU peer on a pseudo-terminal that answers each request as the test says, so that a
// test can send replies no real station would: wrong counts, short or foreign frames, silence.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/SerialPort.h"

namespace boottest {

using Bytes = std::vector<std::uint8_t>;

class FakeStation {
public:
    // Gets a request without its CRC; returns the reply body (the CRC is added), or nothing for
    // silence. Runs on the station's thread.
    using Answer = std::function<std::optional<Bytes>(const Bytes& request)>;

    explicit FakeStation(Answer answer);
    ~FakeStation();
    FakeStation(const FakeStation&) = delete;
    FakeStation& operator=(const FakeStation&) = delete;

    std::string path() const { return pty_.slavePath; }
    std::vector<Bytes> requests() const;  // bodies of every request with a good CRC, in order

private:
    void run();
    void take(const Bytes& frame);

    Answer answer_;
    vexa::Pty pty_;
    std::atomic<bool> stop_{false};
    mutable std::mutex lock_;
    std::vector<Bytes> requests_;
    std::thread thread_;
};

// Station, function, "KVMB", sub-function: the head of the boot plug-in's private frames.
Bytes kvmb(std::uint8_t station, std::uint8_t function, std::uint8_t subFunction);

}  // namespace boottest
