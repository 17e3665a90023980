#include "CHidUpdate.h"

#include "platform/TestKnobs.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "CHidLink.h"
#include "msg/vexa_rc.h"

namespace vexa {

namespace {

constexpr std::uint8_t kUpdateCommand = 0xA5;
enum UpdateStep : std::uint8_t { kBegin = 0x55, kPiece = 0xAA, kEnd = 0x5A };

// The coupler repeats the step and a piece's number. A reply that carries them must carry
// these: the answer to an earlier piece would otherwise pass for this one.
constexpr int kStepEchoAt = 3;
constexpr int kNumberEchoAt = 4;

// The progress bar keeps room for the end request: it reaches 100 only once that succeeded.
constexpr int kProgressReserve = 10;
constexpr int kProgressDone = 100;

void report(KO_PROGRESSPROC progress, int percent) {
    if (progress) progress(KO_UPDATE_PROGRESS_MESSAGE, 0, percent);
}

}  // namespace

int CHidUpdate::RetryWaitMs() {
    return testSettingMs(kKnobHidRetryMs, kDefaultRetryWaitMs, 0, kDefaultRetryWaitMs);
}

int CHidUpdate::exchange(CHidLink& link, const std::uint8_t* request, int len, int number) {
    int rc = RC_OK;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        rc = link.Exchange(kUpdateCommand, request, len);
        if (rc == RC_OK && link.has(kStepEchoAt) && link.reply()[kStepEchoAt] != request[0]) rc = RC_HID_NOT_OK;
        if (rc == RC_OK && number >= 0 && link.has(kNumberEchoAt + 1) &&
            (link.reply()[kNumberEchoAt] << 8 | link.reply()[kNumberEchoAt + 1]) != number)
            rc = RC_HID_NOT_OK;
        // No pause after the last attempt: it would only hold the library longer.
        if (rc == RC_OK || attempt == kAttempts) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(RetryWaitMs()));
    }
    return rc;
}

int CHidUpdate::Begin() {
    const std::uint8_t step = kBegin;
    CHidLink link(main_);
    return exchange(link, &step, 1, -1);
}

int CHidUpdate::Download(const std::uint8_t* image, int length, KO_PROGRESSPROC progress) {
    if (length < 0 || (length > 0 && !image)) return RC_HID_NOT_SENT;
    const long long count = (static_cast<long long>(length) + kPieceBytes - 1) / kPieceBytes;
    if (count > kMaxPieces) return RC_HID_NOT_SENT;
    CHidLink link(main_);
    for (int i = 0; i < count; ++i) {
        const int offset = i * kPieceBytes;
        const int n = std::min(kPieceBytes, length - offset);
        report(progress, static_cast<int>((i + 1) * 100LL / (count + kProgressReserve)));
        const int number = i == count - 1 ? kLastPieceNumber : i;
        std::uint8_t frame[3 + kPieceBytes];
        frame[0] = kPiece;
        frame[1] = static_cast<std::uint8_t>(number >> 8);
        frame[2] = static_cast<std::uint8_t>(number & 0xFF);
        std::memcpy(frame + 3, image + offset, static_cast<std::size_t>(n));
        std::memset(frame + 3 + n, 0xFF, static_cast<std::size_t>(kPieceBytes - n));
        if (int rc = exchange(link, frame, sizeof frame, number); rc != RC_OK) return rc;
    }
    const std::uint8_t end = kEnd;
    if (int rc = exchange(link, &end, 1, -1); rc != RC_OK) return rc;
    report(progress, kProgressDone);
    return RC_OK;
}

}  // namespace vexa
