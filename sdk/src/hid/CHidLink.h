#pragma once
// One request/reply of a USB coupler's mapping or firmware command, with the results those
// commands report: 401 the request could not be sent, 403 no reply, 402 a reply that is not the
// command's answer (empty, the device's error frame, a broken frame, another command).
#include <cstdint>

namespace vexa {

class CUsbMain;

class CHidLink {
public:
    explicit CHidLink(CUsbMain& main) : main_(main) {}

    // Sends `command` with `payload` and takes its reply; 0 when the coupler answered it.
    int Exchange(std::uint8_t command, const std::uint8_t* payload = nullptr, int len = 0);

    // The answered frame after a 0 result: byte 2 is the command, its payload follows. Only the
    // bytes before the check count: `has(i)` tells whether byte i arrived.
    const std::uint8_t* reply() const;
    bool has(int index) const { return index >= 0 && index < replyLength_; }

private:
    CUsbMain& main_;
    int replyLength_ = 0;
};

}  // namespace vexa
