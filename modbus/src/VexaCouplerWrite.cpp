#include "VexaCouplerWrite.h"

#include "MbMaster.h"
#include "platform/Socket.h"
#include "wire/Coupler.h"

namespace vexa::mb {

namespace {

constexpr unsigned kCouplerPort = 8801;
constexpr unsigned kLocalPort = 9988;
constexpr int kReplyTimeoutMs = 100;
constexpr int kSearchReplyMin = wire::kEthHeaderBytes + wire::kEthSubRecords * wire::kEthSubRecordBytes;

// The registers as the wire carries them: big-endian words.
std::vector<std::uint8_t> registerBytes(int count, const short* values) {
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(2 * count));
    for (int i = 0; i < count; ++i) {
        const auto v = static_cast<std::uint16_t>(values[i]);
        out.push_back(static_cast<std::uint8_t>(v >> 8));
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

// One UDP request and its reply within the time-out; the reply's length, 0 when none came.
int ask(Socket& socket, const char* address, const std::vector<std::uint8_t>& request, std::uint8_t* reply,
        int cap, bool& sent) {
    const int n = socket.SendTo(request.data(), static_cast<int>(request.size()), kCouplerPort, address);
    sent = n == static_cast<int>(request.size());
    if (!sent || socket.WaitReadable(kReplyTimeoutMs) <= 0) return 0;
    std::string from;
    unsigned port = 0;
    const int got = socket.ReceiveFrom(reply, cap, from, port);
    return got > 0 ? got : 0;
}

}  // namespace

int writeSubRegistersByEthernet(const char* address, const char* mac, int subAddr, int start, int count,
                                const short* values) {
    std::uint8_t macBytes[6];
    // An empty address would mean the broadcast address to the socket: never wanted here.
    if (!address || !*address || !wire::parseMac(mac, macBytes) || !values || start < 0 || start > 255 || count < 1 ||
        count > 255)
        return KMB_ERR_VEXA_SEND;
    // Address 0 marks an empty slot in the search reply.
    if (subAddr < 1 || subAddr > 255) return KMB_ERR_VEXA_NO_SUB;

    Socket socket;
    if (!socket.Create(kLocalPort, SOCK_DGRAM)) return KMB_ERR_VEXA_SEND;

    std::vector<std::uint8_t> search;
    wire::ethHeader(search, wire::kEthSearchSub, 0, 0, 0, 0, macBytes);
    std::uint8_t reply[150];
    bool sent = false;
    int n = ask(socket, address, search, reply, sizeof reply, sent);
    if (!sent) return KMB_ERR_VEXA_SEND;
    if (n < kSearchReplyMin || reply[0] != wire::kEthStart || reply[1] != wire::kEthSearchSub)
        return KMB_ERR_VEXA_SEARCH;

    const std::uint8_t* record = nullptr;
    for (int i = 0; i < wire::kEthSubRecords && !record; ++i) {
        const std::uint8_t* r = reply + wire::kEthHeaderBytes + i * wire::kEthSubRecordBytes;
        if (r[0] == subAddr) record = r;
    }
    if (!record) return KMB_ERR_VEXA_NO_SUB;

    // Bit 7 of the start register selects the property registers.
    const std::uint8_t command = (start & 0x80) ? wire::kEthWriteSubProp : wire::kEthWriteSubData;
    const std::uint8_t* mode = record + wire::kEthRecordModeAt;
    const auto data = registerBytes(count, values);
    std::vector<std::uint8_t> write;
    wire::ethSubWrite(write, command, macBytes, subAddr, start, static_cast<std::uint16_t>(mode[0] << 8 | mode[1]),
                      record + wire::kEthRecordSerialAt, data.data(), static_cast<int>(data.size()));
    n = ask(socket, address, write, reply, sizeof reply, sent);
    if (!sent) return KMB_ERR_VEXA_SEND;
    if (n < 2) return KMB_ERR_VEXA_NO_REPLY;
    return (reply[1] & 0x80) ? KMB_ERR_VEXA_REFUSED : KMB_OK;
}

std::vector<std::uint8_t> rsWriteFrame(int station, int start, int count, const short* values) {
    // Start, count and byte count travel in 8-bit fields.
    if (!values || station < 0 || station > 255 || start < 0 || start > 255 || count < 1 || count > 127) return {};
    std::vector<std::uint8_t> frame;
    wire::serialPrivate(frame, station, wire::kFnPrivate, wire::kSfWriteSubProp);
    const auto data = registerBytes(count, values);
    wire::appendRegisterWrite(frame, start, data.data(), static_cast<int>(data.size()));
    return frame;
}

}  // namespace vexa::mb
