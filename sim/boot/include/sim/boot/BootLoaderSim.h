#pragma once
// A module's boot loader as a byte-stream device: what the host writes goes in with write(),
// what the device answers comes out of read(). No transport of its own, so a test plug-in, a
// simulated sub module or a simulated RS-485 coupler can each carry the stream their way.
//
// It takes the start command (checks the header block, grants a block size), numbered data
// blocks (keeps them in image(), asks again for missed ones, checks the image after the short
// last block), device info, boot version and reset. Every other command is answered with an
// error. Faults can be injected per frame, by script or by seeded rates, and several
// misbehaviours can be switched on.
//
// Time comes from the clock hook (milliseconds; a steady clock when none is given): delayed
// replies become readable when it reaches them, and a frame that stalls for more than
// kFrameGapMs is dropped. Not thread-safe; the carrier serialises calls.
#include "sim/boot/BootFrameReader.h"
#include "sim/boot/BootHeader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <vector>

namespace vexa::sim {

// Device error codes this boot loader reports.
enum BootError : std::uint16_t {
    kBootEraseFailed = 0x200,
    kBootImageCheckFailed = 0x201,
    kBootWriteFailed = 0x202,
    kBootNotTransferring = 0x205,
    kBootBadHeader = 0x206,
    kBootLinkTooLow = 0x207,
    kBootImageTooLong = 0x208,
    kBootWrongDevice = 0x209,
    kBootDowngrade = 0x20A,
    kBootUnknownCommand = 0xFFFF,
};

struct BootLoaderConfig {
    // What the installed firmware allows.
    std::uint16_t deviceType = 0x4017;
    std::uint16_t hardwareVersion = 0x0100;
    std::uint16_t firmwareVersion = 0x0100;
    std::uint32_t minLinkAddress = 0x08004000;
    std::uint32_t maxImageLength = 16u << 20;
    // Largest block it takes; the grant is the smaller of this and the host's buffer.
    std::uint16_t blockSize = 1024;
    // Reply data of the device-info (22 bytes) and boot-version (78 bytes) commands.
    std::array<std::uint8_t, 22> deviceInfo{'A', 'X', 'E', 'V', 0x17, 0x40, 0, 0, 0x00, 0x01,
                                            0x00, 0x01, 0x12, 0x34, 0xAB, 0xCD};
    std::array<std::uint8_t, 78> bootVersion{0x03, 0x01};
};

// What happens to one frame from the host and to its reply.
enum class BootFault {
    None,
    DropRequest,  // the device never hears the frame
    DropReply,    // the device acts on the frame, the reply is lost
    Corrupt,      // the reply's check byte is wrong
    Truncate,     // only the first half of the reply
    Duplicate,    // the reply twice
    Delay,        // the reply after delayMs
};

struct BootFaultRates {
    double dropRequest = 0, dropReply = 0, corrupt = 0, truncate = 0, duplicate = 0, delay = 0;
    int delayMs = 2000;
    std::uint32_t seed = 1;
};

// Ways of breaking the protocol on purpose.
struct BootMisbehaviour {
    int grant = -1;                           // grant this (0, or above 4096) instead
    bool alwaysBehind = false;                // answer block k with k - 1 and keep nothing
    std::vector<std::uint16_t> forgetBlocks;  // acknowledge, then lose (once each)
    int replyStatus = -1;                     // every reply carries this status (e.g. 3)
    bool babble = false;                      // read() always returns noise
    std::vector<std::uint8_t> babbleFrame;    // read() repeats this frame endlessly
    std::uint16_t startError = 0;             // answer the start with status 2 and this code
    int ackAhead = 0;                         // answer block k with k + ackAhead
};

class BootLoaderSim {
public:
    using Clock = std::function<std::uint64_t()>;
    static constexpr std::uint64_t kFrameGapMs = 1000;
    static constexpr std::size_t kMaxRequestBody = 4 + 8192;
    // A reset whose answer nobody reads restarts the device after this long all the same.
    static constexpr std::uint64_t kRestartAfterMs = 1000;

    explicit BootLoaderSim(BootLoaderConfig config = {}, Clock clock = {});

    void write(const std::uint8_t* data, std::size_t n);
    // Up to max bytes whose time has come.
    std::size_t read(std::uint8_t* out, std::size_t max);
    // Time at which the next queued byte becomes readable; none queued: UINT64_MAX.
    std::uint64_t nextDue() const;

    // Faults: the script first (one entry per complete frame), then the rates.
    void pushFault(BootFault fault, int delayMs = 0);
    void setFaultRates(const BootFaultRates& rates);
    BootMisbehaviour& misbehaviour() { return bad_; }
    BootLoaderConfig& config() { return config_; }

    // Observation.
    struct DataFrame {
        std::uint16_t block;
        std::vector<std::uint8_t> data;
    };
    const std::vector<std::uint8_t>& image() const { return image_; }
    bool complete() const { return state_ == State::Done; }
    std::uint16_t grantedBlockSize() const { return grant_; }
    const std::vector<DataFrame>& dataFrames() const { return dataFrames_; }
    const std::vector<std::vector<std::uint8_t>>& requests() const { return requests_; }
    std::size_t badFrames() const { return badFrames_; }
    std::size_t resets() const { return resets_; }
    // True once a reset was taken and its answer went out (or kRestartAfterMs passed): the
    // device then runs its application again, the new image when complete(), else the one it
    // had before.
    bool restartDue() const;
    // Forgets the logged requests and data frames (a long run keeps its memory flat this way).
    void clearLogs() {
        requests_.clear();
        requests_.shrink_to_fit();
        dataFrames_.clear();
        dataFrames_.shrink_to_fit();
    }
    // Frames that met a fault, scripted or drawn, since the loader was made.
    std::size_t faultsInjected() const { return faultsInjected_; }

private:
    enum class State { Idle, Transfer, Done };
    struct Pending {
        std::uint64_t due;
        std::vector<std::uint8_t> bytes;
    };

    std::uint64_t now() const;
    BootFault nextFault(int& delayMs);
    void onFrame(const std::vector<std::uint8_t>& body);
    std::vector<std::uint8_t> answer(const std::vector<std::uint8_t>& body);
    std::vector<std::uint8_t> start(const std::vector<std::uint8_t>& body);
    std::vector<std::uint8_t> data(const std::vector<std::uint8_t>& body);
    void queue(std::vector<std::uint8_t> bytes, std::uint64_t due);

    BootLoaderConfig config_;
    Clock clock_;
    BootFrameReader reader_{kMaxRequestBody};
    std::uint64_t lastByteAt_ = 0;

    std::deque<std::pair<BootFault, int>> script_;
    BootFaultRates rates_;
    std::mt19937 random_{1};
    BootMisbehaviour bad_;

    State state_ = State::Idle;
    BootHeader header_;
    std::uint16_t grant_ = 0;
    std::uint32_t taken_ = 0;  // highest block number stored in sequence
    std::vector<std::uint8_t> image_;
    std::deque<Pending> out_;
    std::uint8_t noise_ = 0;
    std::size_t faultsInjected_ = 0;
    std::size_t babbleAt_ = 0;

    std::vector<DataFrame> dataFrames_;
    std::vector<std::vector<std::uint8_t>> requests_;
    std::size_t badFrames_ = 0;
    std::size_t resets_ = 0;
    std::uint64_t resetAt_ = 0;
};

}  // namespace vexa::sim
