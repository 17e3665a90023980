#include "CSubTunnel.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "BootPortContract.h"
#include "BootPortKit.h"

namespace vexa::bootport {

namespace {

constexpr int kOddRegister = 1;   // the last byte pads the register
constexpr int kEvenRegister = 2;
constexpr int kWriteFailures = 2;  // refused pieces one write tolerates in all
constexpr int kRetryPauseMs = 20;
// Room for a reply of the largest request: the count byte and its data, or the register bytes
// of a library that hands out two bytes per requested length.
constexpr std::size_t kReplyRoom = 4 * (CSubTunnel::kPieceMax + 2);

}  // namespace

int CSubTunnel::write(const std::uint8_t* data, unsigned n) {
    std::array<std::uint8_t, kPieceMax + 1> piece{};
    unsigned taken = 0;
    int failures = 0;
    while (taken < n) {
        const unsigned size = std::min(n - taken, kPieceMax);
        const bool odd = size % 2 != 0;
        std::memcpy(piece.data(), data + taken, size);
        piece[size] = 0;
        const int length = static_cast<int>(odd ? size + 1 : size);
        if (KO_WriteSubDataByAddr(sub_, odd ? kOddRegister : kEvenRegister, length, piece.data()) == RC_OK) {
            taken += size;
            continue;
        }
        if (++failures >= kWriteFailures) return DEV_ERROR;
        pause(kRetryPauseMs);
    }
    return static_cast<int>(taken);
}

int CSubTunnel::read(std::uint8_t* buffer, unsigned max) {
    unsigned total = 0;
    while (total < max) {
        const unsigned piece = std::min(max - total, kPieceMax);
        const bool odd = piece % 2 != 0;
        const int request = static_cast<int>(odd ? piece + 1 : piece + 2);
        std::array<std::uint8_t, kReplyRoom> reply{};
        int received = 0;
        unsigned got = 0;
        if (KO_ReadSubDataByAddr(sub_, odd ? kOddRegister : kEvenRegister, request, reply.data(), &received) ==
            RC_OK) {
            got = reply[0];
            // A count beyond the piece or beyond what arrived would run past both buffers.
            if (received < 0 || got > piece || got > static_cast<unsigned>(received)) return DEV_ERROR;
            std::memcpy(buffer + total, reply.data() + 1, got);
        }
        total += got;
        if (got < piece) break;
    }
    return static_cast<int>(total);
}

}  // namespace vexa::bootport
