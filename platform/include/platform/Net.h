#pragma once
// Small socket helpers shared by every transport: descriptor ownership, poll() waits with
// deadlines, and the address used for an Ethernet broadcast.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexa {

using Clock = std::chrono::steady_clock;

// Owns a file descriptor; closes it on destruction or reset.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& o) noexcept : fd_(o.release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() { int f = fd_; fd_ = -1; return f; }
    void reset(int fd = -1);
private:
    int fd_ = -1;
};

// Waits until `fd` is readable (or writable) for at most `timeoutMs` (0 = just look, <0 = forever).
// Returns 1 when ready, 0 on time-out, -1 on error or hang-up without data. EINTR is retried
// against the same deadline.
int waitReadable(int fd, int timeoutMs);
int waitWritable(int fd, int timeoutMs);

// Milliseconds left until `deadline`, never below 0.
int msUntil(Clock::time_point deadline);

// Dotted IPv4 text to a network-order address; false for anything else.
bool parseIPv4(const std::string& text, std::uint32_t& netOrder);
std::string formatIPv4(std::uint32_t netOrder);

// The address an Ethernet search sends to when no peer is given: VEXA_ETH_BROADCAST when set,
// else 255.255.255.255.
std::string ethBroadcastAddress();

// The interfaces a datagram to 255.255.255.255 goes out on: every one that is up, can broadcast
// and has an IPv4 address, loopback excepted. Indexes, each once.
std::vector<unsigned> broadcastInterfaces();

// Sends one datagram to 255.255.255.255:`port` out of each of broadcastInterfaces(). The kernel
// sends a limited broadcast by the default route only (none: ENETUNREACH), so couplers on a
// second network card, or on a machine without a gateway, would never hear a plain sendto.
// Falls back to that plain sendto where no interface qualifies. Returns `len` when at least one
// went out, else -1 with errno set.
long sendBroadcastEveryInterface(int fd, const void* buf, std::size_t len, std::uint16_t port);

}  // namespace vexa
