#include "VexaCouplerWrite.h"

#include <cstdio>
#include <cstring>

#include "CAsyncSocketEx.h"
#include "MbMaster.h"

namespace vexa::mb {

namespace {

constexpr unsigned kCouplerPort = 8801;
constexpr unsigned kLocalPort = 9988;
constexpr int kReplyTimeoutMs = 100;
constexpr int kSearchReplyMin = 133;  // 13-byte header and eight 15-byte records
constexpr int kRecordBytes = 15;
constexpr int kRecords = 8;
constexpr int kHeaderBytes = 13;

bool parseMac(const char* text, std::uint8_t mac[6]) {
    unsigned v[6];
    char tail;
    if (!text || std::sscanf(text, "%2x:%2x:%2x:%2x:%2x:%2x%c", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &tail) != 6)
        return false;
    for (int i = 0; i < 6; ++i) mac[i] = static_cast<std::uint8_t>(v[i]);
    return true;
}

void appendRegisters(std::vector<std::uint8_t>& out, int count, const short* values) {
    for (int i = 0; i < count; ++i) {
        const auto v = static_cast<std::uint16_t>(values[i]);
        out.push_back(static_cast<std::uint8_t>(v >> 8));
        out.push_back(static_cast<std::uint8_t>(v));
    }
}

// One UDP request and its reply within the time-out; the reply's length, 0 when none came.
int ask(CAsyncSocketEx& socket, const char* address, const std::vector<std::uint8_t>& request, std::uint8_t* reply,
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
    if (!address || !*address || !parseMac(mac, macBytes) || !values || start < 0 || start > 255 || count < 1 ||
        count > 255)
        return KMB_ERR_VEXA_SEND;
    // Address 0 marks an empty slot in the search reply.
    if (subAddr < 1 || subAddr > 255) return KMB_ERR_VEXA_NO_SUB;

    CAsyncSocketEx socket;
    if (!socket.Create(kLocalPort, SOCK_DGRAM)) return KMB_ERR_VEXA_SEND;

    std::vector<std::uint8_t> search = {0xA1, 0x03, 0x00, 0x00, 0x00, 0x00};
    search.insert(search.end(), macBytes, macBytes + 6);
    search.push_back(0x0A);
    std::uint8_t reply[150];
    bool sent = false;
    int n = ask(socket, address, search, reply, sizeof reply, sent);
    if (!sent) return KMB_ERR_VEXA_SEND;
    if (n < kSearchReplyMin || reply[0] != 0xA1 || reply[1] != 0x03) return KMB_ERR_VEXA_SEARCH;

    const std::uint8_t* record = nullptr;
    for (int i = 0; i < kRecords && !record; ++i) {
        const std::uint8_t* r = reply + kHeaderBytes + i * kRecordBytes;
        if (r[0] == subAddr) record = r;
    }
    if (!record) return KMB_ERR_VEXA_NO_SUB;

    // Bit 7 of the start register selects the property registers.
    const std::uint8_t command = (start & 0x80) ? 0x09 : 0x05;
    std::vector<std::uint8_t> write = {0xA1, command, static_cast<std::uint8_t>(subAddr), static_cast<std::uint8_t>(start),
                                       0x00, static_cast<std::uint8_t>(count)};
    write.insert(write.end(), macBytes, macBytes + 6);
    write.push_back(0x0A);
    write.insert(write.end(), record + 5, record + 7);    // the sub module's 16-bit identity
    write.insert(write.end(), record + 11, record + 15);  // and its 4-byte identity
    appendRegisters(write, count, values);
    n = ask(socket, address, write, reply, sizeof reply, sent);
    if (!sent) return KMB_ERR_VEXA_SEND;
    if (n < 2) return KMB_ERR_VEXA_NO_REPLY;
    return (reply[1] & 0x80) ? KMB_ERR_VEXA_REFUSED : KMB_OK;
}

std::vector<std::uint8_t> rsWriteFrame(int station, int start, int count, const short* values) {
    // Start, count and byte count travel in 8-bit fields.
    if (!values || station < 0 || station > 255 || start < 0 || start > 255 || count < 1 || count > 127) return {};
    std::vector<std::uint8_t> frame = {static_cast<std::uint8_t>(station), 0x47, 'K', 'V', 'M', 'B', 0x05, 0x00,
                                       static_cast<std::uint8_t>(start),   0x00, static_cast<std::uint8_t>(count),
                                       static_cast<std::uint8_t>(2 * count)};
    appendRegisters(frame, count, values);
    return frame;
}

}  // namespace vexa::mb
