#include "sim/boot/BootLoaderSim.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace vexa::sim {

namespace {

constexpr std::uint8_t kCmdStart = 0x02;
constexpr std::uint8_t kCmdData = 0x03;
constexpr std::uint8_t kCmdBootVersion = 0x80;
constexpr std::uint8_t kCmdDeviceInfo = 0x81;
constexpr std::uint8_t kCmdReset = 0x85;
constexpr std::uint8_t kStatusDone = 1;
constexpr std::uint8_t kStatusError = 2;

std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::vector<std::uint8_t> reply(std::uint8_t cmd, std::uint16_t value) {
    return {cmd, kStatusDone, static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
}

std::vector<std::uint8_t> error(std::uint8_t cmd, std::uint16_t code) {
    return {cmd, kStatusError, static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(code >> 8)};
}

}  // namespace

BootLoaderSim::BootLoaderSim(BootLoaderConfig config, Clock clock) : config_(config), clock_(std::move(clock)) {}

std::uint64_t BootLoaderSim::now() const {
    if (clock_) return clock_();
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void BootLoaderSim::pushFault(BootFault fault, int delayMs) { script_.emplace_back(fault, delayMs); }

void BootLoaderSim::setFaultRates(const BootFaultRates& rates) {
    rates_ = rates;
    random_.seed(rates.seed);
}

BootFault BootLoaderSim::nextFault(int& delayMs) {
    delayMs = 0;
    if (!script_.empty()) {
        const auto [fault, ms] = script_.front();
        script_.pop_front();
        delayMs = ms;
        if (fault != BootFault::None) ++faultsInjected_;
        return fault;
    }
    const std::pair<double, BootFault> table[] = {
        {rates_.dropRequest, BootFault::DropRequest}, {rates_.dropReply, BootFault::DropReply},
        {rates_.corrupt, BootFault::Corrupt},         {rates_.truncate, BootFault::Truncate},
        {rates_.duplicate, BootFault::Duplicate},     {rates_.delay, BootFault::Delay},
    };
    double draw = std::uniform_real_distribution<double>(0.0, 1.0)(random_);
    for (const auto& [rate, fault] : table) {
        if (draw < rate) {
            delayMs = fault == BootFault::Delay ? rates_.delayMs : 0;
            ++faultsInjected_;
            return fault;
        }
        draw -= rate;
    }
    return BootFault::None;
}

void BootLoaderSim::write(const std::uint8_t* data, std::size_t n) {
    const std::uint64_t t = now();
    // A frame that stalled mid-way is given up, as a device's receive time-out would.
    if (reader_.inFrame() && t - lastByteAt_ > kFrameGapMs) reader_.reset();
    lastByteAt_ = t;
    for (std::size_t i = 0; i < n; ++i) {
        switch (reader_.feed(data[i])) {
            case BootFrameReader::Event::Frame: onFrame(reader_.body()); break;
            case BootFrameReader::Event::BadFrame: ++badFrames_; break;
            case BootFrameReader::Event::None: break;
        }
    }
}

void BootLoaderSim::onFrame(const std::vector<std::uint8_t>& body) {
    int delayMs = 0;
    const BootFault fault = nextFault(delayMs);
    if (fault == BootFault::DropRequest) return;
    requests_.push_back(body);
    std::vector<std::uint8_t> answerBody = answer(body);
    if (answerBody.empty() || fault == BootFault::DropReply) return;
    if (bad_.replyStatus >= 0 && answerBody.size() >= 2) answerBody[1] = static_cast<std::uint8_t>(bad_.replyStatus);

    std::vector<std::uint8_t> frame = encodeBootFrame(answerBody);
    const std::uint64_t t = now();
    switch (fault) {
        case BootFault::Corrupt: frame.back() = static_cast<std::uint8_t>(frame.back() ^ 0x5A) & 0xFD; break;
        case BootFault::Truncate: frame.resize(frame.size() / 2); break;
        case BootFault::Duplicate: queue(frame, t); break;
        default: break;
    }
    queue(std::move(frame), t + static_cast<std::uint64_t>(fault == BootFault::Delay ? delayMs : 0));
}

std::vector<std::uint8_t> BootLoaderSim::answer(const std::vector<std::uint8_t>& body) {
    if (body.size() < 2) return {};
    switch (body[0]) {
        case kCmdStart: return start(body);
        case kCmdData: return data(body);
        case kCmdBootVersion: {
            std::vector<std::uint8_t> r{kCmdBootVersion, kStatusDone};
            r.insert(r.end(), config_.bootVersion.begin(), config_.bootVersion.end());
            return r;
        }
        case kCmdDeviceInfo: {
            std::vector<std::uint8_t> r{kCmdDeviceInfo, kStatusDone};
            r.insert(r.end(), config_.deviceInfo.begin(), config_.deviceInfo.end());
            return r;
        }
        case kCmdReset:
            ++resets_;
            resetAt_ = now();
            // A complete image stays complete: the device starts it.
            if (state_ != State::Done) state_ = State::Idle;
            return {kCmdReset, kStatusDone};
        default: return error(body[0], kBootUnknownCommand);
    }
}

std::vector<std::uint8_t> BootLoaderSim::start(const std::vector<std::uint8_t>& body) {
    if (bad_.startError) return error(kCmdStart, bad_.startError);
    if (body.size() < 4) return error(kCmdStart, kBootBadHeader);
    const auto header = BootHeader::decode(body.data() + 4, body.size() - 4);
    if (!header) return error(kCmdStart, kBootBadHeader);
    if (header->deviceType != config_.deviceType || header->hardwareVersion != config_.hardwareVersion)
        return error(kCmdStart, kBootWrongDevice);
    if (header->firmwareVersion < config_.firmwareVersion) return error(kCmdStart, kBootDowngrade);
    if (header->linkAddress < config_.minLinkAddress) return error(kCmdStart, kBootLinkTooLow);
    if (header->imageLength > config_.maxImageLength) return error(kCmdStart, kBootImageTooLong);

    const std::uint16_t hostBuffer = get16(body.data() + 2);
    grant_ = bad_.grant >= 0 ? static_cast<std::uint16_t>(bad_.grant) : std::min(hostBuffer, config_.blockSize);
    header_ = *header;
    state_ = grant_ ? State::Transfer : State::Idle;
    taken_ = 0;
    image_.clear();
    return reply(kCmdStart, grant_);
}

std::vector<std::uint8_t> BootLoaderSim::data(const std::vector<std::uint8_t>& body) {
    if (state_ == State::Idle || body.size() < 4) return error(kCmdData, kBootNotTransferring);
    const std::uint16_t k = get16(body.data() + 2);
    const std::size_t len = body.size() - 4;
    dataFrames_.push_back({k, std::vector<std::uint8_t>(body.begin() + 4, body.end())});

    if (bad_.alwaysBehind) return reply(kCmdData, static_cast<std::uint16_t>(k - 1));
    if (len > grant_) return error(kCmdData, kBootWriteFailed);
    // Block 0 does not exist, and a gap means blocks were missed: ask for the one after the last.
    if (k == 0 || k > taken_ + 1) return reply(kCmdData, static_cast<std::uint16_t>(taken_));

    auto forget = std::find(bad_.forgetBlocks.begin(), bad_.forgetBlocks.end(), k);
    if (k == taken_ + 1 && forget != bad_.forgetBlocks.end()) {
        bad_.forgetBlocks.erase(forget);
        return reply(kCmdData, static_cast<std::uint16_t>(k + bad_.ackAhead));
    }
    // Blocks before the last one taken are written again in place (a resend after a lost reply).
    const std::size_t at = std::size_t{k - 1u} * grant_;
    if (image_.size() < at + len) image_.resize(at + len);
    std::copy(body.begin() + 4, body.end(), image_.begin() + static_cast<std::ptrdiff_t>(at));
    if (k == taken_ + 1) taken_ = k;

    if (len < grant_) {  // the last block: the image ends here and must be the one announced
        image_.resize(at + len);
        const bool good = image_.size() == header_.imageLength &&
                          byteSum(image_.data(), image_.size()) == header_.imageSum;
        if (!good) {
            state_ = State::Idle;
            return error(kCmdData, kBootImageCheckFailed);
        }
        state_ = State::Done;
    }
    return reply(kCmdData, static_cast<std::uint16_t>(k + bad_.ackAhead));
}

bool BootLoaderSim::restartDue() const {
    return resets_ > 0 && (out_.empty() || now() - resetAt_ >= kRestartAfterMs);
}

void BootLoaderSim::queue(std::vector<std::uint8_t> bytes, std::uint64_t due) {
    // Replies leave in order: a delayed one holds back the ones after it.
    if (!out_.empty()) due = std::max(due, out_.back().due);
    out_.push_back({due, std::move(bytes)});
}

std::uint64_t BootLoaderSim::nextDue() const {
    return out_.empty() ? std::numeric_limits<std::uint64_t>::max() : out_.front().due;
}

std::size_t BootLoaderSim::read(std::uint8_t* out, std::size_t max) {
    if (bad_.babble) {
        for (std::size_t i = 0; i < max; ++i) out[i] = static_cast<std::uint8_t>(noise_++ % 0xFE);
        return max;
    }
    if (!bad_.babbleFrame.empty()) {
        const std::vector<std::uint8_t> frame = encodeBootFrame(bad_.babbleFrame);
        for (std::size_t i = 0; i < max; ++i) out[i] = frame[babbleAt_++ % frame.size()];
        return max;
    }
    const std::uint64_t t = now();
    std::size_t n = 0;
    while (n < max && !out_.empty() && out_.front().due <= t) {
        std::vector<std::uint8_t>& front = out_.front().bytes;
        const std::size_t take = std::min(max - n, front.size());
        std::copy_n(front.begin(), take, out + n);
        front.erase(front.begin(), front.begin() + static_cast<std::ptrdiff_t>(take));
        n += take;
        if (front.empty()) out_.pop_front();
    }
    return n;
}

}  // namespace vexa::sim
