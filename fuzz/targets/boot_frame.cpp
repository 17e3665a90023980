// Boot frames as a boot loader (or anything on its wire) sends them: reception through the
// frame layer's read seam, in pieces of any size, with the drain before a command. Whatever
// came, the body fits the caller's limit and nothing past it is written; a frame the layer
// encodes is received as the same body.
// Input: mode, piece size, limit (two bytes, big-endian), then the device's bytes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "BootLink.h"
#include "CommDriver.h"

using namespace fwl;

namespace {

constexpr std::size_t kHeader = 4;
constexpr std::uint8_t kCanary = 0xA5;
constexpr std::size_t kCanaryBytes = 16;

// Hands out the scripted bytes in pieces of at most `piece`; once they are gone, reads time
// out (0) or fail (-1).
class ScriptedLink final : public CBootLink {
public:
    ScriptedLink(const std::uint8_t* bytes, std::size_t n, std::uint32_t piece, bool failAtEnd)
        : bytes_(bytes), n_(n), piece_(piece), failAtEnd_(failAtEnd) {}

    int read(std::uint8_t* buffer, std::uint32_t n, int) override {
        if (at_ == n_) return failAtEnd_ ? -1 : 0;
        const std::size_t k = std::min<std::size_t>({n, piece_, n_ - at_});
        std::memcpy(buffer, bytes_ + at_, k);
        at_ += k;
        return static_cast<int>(k);
    }
    int write(const std::uint8_t*, std::uint32_t n, int) override { return static_cast<int>(n); }

private:
    const std::uint8_t* bytes_;
    std::size_t n_;
    std::size_t at_ = 0;
    std::uint32_t piece_;
    bool failAtEnd_;
};

// Receives into a buffer of `max` bytes with a guard behind it.
int receiveGuarded(CCommDriver& driver, std::size_t max, std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> buffer(max + kCanaryBytes, kCanary);
    const int n = driver.receive(buffer.data(), max, 0);
    if (n < 0 || static_cast<std::size_t>(n) > max) __builtin_trap();
    for (std::size_t i = max; i < buffer.size(); ++i)
        if (buffer[i] != kCanary) __builtin_trap();
    body.assign(buffer.begin(), buffer.begin() + n);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) return 0;
    const int mode = data[0] % 3;
    const std::uint32_t piece = 1 + (data[1] & 0x7F) * 2;
    const bool failAtEnd = data[1] & 0x80;
    const std::size_t max = static_cast<std::size_t>(data[2] << 8 | data[3]) % 1200;
    const std::uint8_t* bytes = data + kHeader;
    const std::size_t n = size - kHeader;
    std::vector<std::uint8_t> body;

    if (mode == 2) {
        // The rest as a body: encoded, then received under a limit of its own length.
        const std::vector<std::uint8_t> wire = CCommDriver::encode(bytes, n);
        ScriptedLink link(wire.data(), wire.size(), piece, failAtEnd);
        CCommDriver driver(link);
        const int got = receiveGuarded(driver, n, body);
        if (n > 0 && (got != static_cast<int>(n) || std::memcmp(body.data(), bytes, n) != 0)) __builtin_trap();
        if (n == 0 && got != 0) __builtin_trap();
        return 0;
    }
    ScriptedLink link(bytes, n, piece, failAtEnd);
    CCommDriver driver(link);
    if (mode == 1) driver.drain();
    // Two receptions: the second starts after whatever the first left in the stream.
    receiveGuarded(driver, max, body);
    receiveGuarded(driver, max, body);
    return 0;
}
