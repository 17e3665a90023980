#pragma once
// Firmware download to a USB coupler: begin, the image in numbered 32-byte pieces (the last one
// numbered 0xFFFF and padded with 0xFF), end. Every request is tried up to five times.
#include <cstdint>

#include "VexaSdk.h"

namespace vexa {

class CHidLink;
class CUsbMain;

class CHidUpdate {
public:
    static constexpr int kPieceBytes = 32;
    static constexpr int kLastPieceNumber = 0xFFFF;
    // Piece numbers are 16 bit and 0xFFFF marks the last: more pieces than this cannot be told
    // apart from the end.
    static constexpr int kMaxPieces = 0xFFFF;
    static constexpr int kAttempts = 5;
    static constexpr int kDefaultRetryWaitMs = 1000;

    explicit CHidUpdate(CUsbMain& main) : main_(main) {}

    int Begin();
    // 401 before anything is sent for a negative length, a missing image or one of more than
    // kMaxPieces pieces; a length of 0 sends only the end request.
    int Download(const std::uint8_t* image, int length, KO_PROGRESSPROC progress);

    // Pause between attempts in ms: 1000, or VEXA_TEST_HID_RETRY_MS when a test shortens it.
    static int RetryWaitMs();

private:
    // One request under the retry rule; `number` is the piece number a reply must repeat (-1:
    // not a piece).
    int exchange(CHidLink& link, const std::uint8_t* request, int len, int number);

    CUsbMain& main_;
};

}  // namespace vexa
