#include "SendFirware.h"

#include "FwLoader.h"
#include "TransferText.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace fwl {

namespace {

constexpr std::uint8_t kCmdStart = 0x02;
constexpr std::uint8_t kCmdData = 0x03;
constexpr int kStatusDone = 1;
constexpr int kStatusError = 2;
constexpr std::size_t kCommandBytes = 4;  // command, 0, u16 LE value

constexpr int kSendAttempts = 3;
constexpr int kReceiveAttempts = 2;
// Rounds (sends, and replies that do not move the transfer on) since the device last took a
// block; beyond this the device is given up.
constexpr int kMaxStalls = 10;
constexpr std::uint32_t kMaxBlockNumber = 0xFFFF;

constexpr int kStartTimeoutMs = 500;
constexpr int kDataTimeoutMs = 1000;
constexpr int kReplyTimeoutMs = 1500;
// Pauses that give the boot loader time: to erase after the start, to finish after the last
// block, to recover after a failed send or a silent round.
constexpr auto kAfterStart = std::chrono::milliseconds(50);
constexpr auto kAfterLastBlock = std::chrono::milliseconds(200);
constexpr auto kAfterSendFailure = std::chrono::milliseconds(100);
constexpr auto kAfterSilence = std::chrono::milliseconds(50);

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

void putCommand(std::uint8_t* p, std::uint8_t cmd, std::uint32_t value) {
    p[0] = cmd;
    p[1] = 0;
    p[2] = static_cast<std::uint8_t>(value);
    p[3] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

CSendFirware::CSendFirware(BootDeviceEntry& entry, CBootLink& link, std::uint32_t bufferSize)
    : CCommDriver(link), entry_(entry), bufferSize_(bufferSize), packet_(kCommandBytes + bufferSize) {}

int CSendFirware::update(const char* path) {
    Outcome outcome{KB_FW_FILE_ERROR, {}};
    if (!file_.open(path)) {
        outcome.text = file_.errorText();
    } else {
        // Frames carry overhead and escapes, so a 10 % margin keeps progress below 100 % until done.
        entry_.startProgress(static_cast<std::uint32_t>(std::uint64_t{file_.payloadLength()} * 110 / 100));
        outcome = transfer();
    }
    file_.close();
    entry_.record(outcome.code, std::move(outcome.text));
    return entry_.lastCode;
}

CSendFirware::Outcome CSendFirware::transfer() {
    Phase phase = Phase::Start;
    int stalls = 0;
    bool silent = false;  // the last round ended without a reply
    for (;;) {
        if (stalls > kMaxStalls) return silent ? Outcome{KB_FW_LINK_ERROR, kTextNoReply} : Outcome{KB_FW_PROTOCOL_ERROR, kTextBadReply};
        const Sent sent = phase == Phase::Start ? sendStart() : sendBlock();
        if (sent == Sent::LinkFailed) return {KB_FW_LINK_ERROR, kTextSendFailed};
        if (sent == Sent::FileFailed) return {KB_FW_FILE_ERROR, kTextFileFormat};
        ++stalls;

        for (;;) {
            const int n = receiveReply();
            silent = n == 0;
            if (silent) {
                entry_.takeBackUnanswered();
                break;  // send the same again
            }
            entry_.keepSent();
            const std::uint8_t* body = packet_.data();
            const int status = n >= 2 ? body[1] : -1;
            if (status == kStatusError && n >= 4) return {KB_FW_DEVICE_ERROR, deviceErrorText(le16(body + 2))};
            const std::uint8_t expected = phase == Phase::Start ? kCmdStart : kCmdData;
            if (status == kStatusDone && body[0] != expected) break;  // an answer to something else
            if (status != kStatusDone || n < 4) {
                if (++stalls > kMaxStalls) return {KB_FW_PROTOCOL_ERROR, kTextBadReply};
                continue;  // wait for another reply
            }
            const std::uint32_t value = le16(body + 2);
            if (phase == Phase::Start) {
                if (value == 0) return {KB_FW_TYPE_MISMATCH, kTextTypeMismatch};
                // The packet buffer holds no more than announced, and block numbers are 16-bit.
                if (value > bufferSize_ || file_.payloadLength() / value + 1 > kMaxBlockNumber)
                    return {KB_FW_PROTOCOL_ERROR, kTextBadReply};
                blockSize_ = value;
                block_ = 1;
                offset_ = file_.payloadOffset();
                phase = Phase::Data;
                stalls = 0;
                break;
            }
            if (value > block_) return {KB_FW_PROTOCOL_ERROR, blockMismatchText(block_, value + 1)};
            if (value == block_) {
                offset_ += sent_;
                ++block_;
                stalls = 0;
                if (sent_ < blockSize_) return {KB_FW_OK, {}};
                break;
            }
            // The device lost blocks after `value`; every block before the current one was full.
            offset_ -= std::uint64_t{blockSize_} * (block_ - value - 1);
            block_ = value + 1;
            break;
        }
    }
}

CSendFirware::Sent CSendFirware::sendStart() {
    const std::vector<std::uint8_t>& header = file_.headerBlock();
    putCommand(packet_.data(), kCmdStart, bufferSize_);
    std::copy(header.begin(), header.end(), packet_.begin() + kCommandBytes);
    for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
        const bool ok = send(packet_.data(), kCommandBytes + header.size(), kStartTimeoutMs) == 1;
        std::this_thread::sleep_for(kAfterStart);
        if (ok) return Sent::Ok;
    }
    return Sent::LinkFailed;
}

CSendFirware::Sent CSendFirware::sendBlock() {
    const std::uint64_t end = file_.payloadOffset() + file_.payloadLength();
    sent_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(blockSize_, end - offset_));
    putCommand(packet_.data(), kCmdData, block_);
    // The length was checked at the start; a short read now means the file changed under us.
    if (!file_.read(offset_, packet_.data() + kCommandBytes, sent_)) return Sent::FileFailed;
    for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
        if (send(packet_.data(), kCommandBytes + sent_, kDataTimeoutMs) == 1) {
            if (sent_ < blockSize_) std::this_thread::sleep_for(kAfterLastBlock);
            return Sent::Ok;
        }
        std::this_thread::sleep_for(kAfterSendFailure);
    }
    return Sent::LinkFailed;
}

int CSendFirware::receiveReply() {
    for (int attempt = 0; attempt < kReceiveAttempts; ++attempt) {
        if (const int n = receive(packet_.data(), bufferSize_, kReplyTimeoutMs); n > 0) return n;
        std::this_thread::sleep_for(kAfterSilence);
    }
    return 0;
}

}  // namespace fwl
