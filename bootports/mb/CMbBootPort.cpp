#include "CMbBootPort.h"

#include <algorithm>
#include <cstring>

#include "BootPortContract.h"
#include "MbBootFrames.h"
#include "MbMaster.h"
#include "wire/Coupler.h"

namespace vexa::bootport {

namespace {

constexpr int kFirstStation = 1;
constexpr int kLastStation = 247;
constexpr int kLastLineMode = 2;        // above it the search finds nothing
constexpr int kReadTimeoutMs = 3000;    // MbMaster's wait for each reply
constexpr int kProbePauseMs = 100;
constexpr int kReadPauseMs = 50;
constexpr int kRetryPauseMs = 20;
constexpr int kProbeReplyMax = 100;
constexpr int kIdentifyReplyMax = 100;
constexpr int kEnterReplyMax = 20;
constexpr int kWriteReplyMax = 8;
constexpr int kReadReplyMax = 108;
constexpr unsigned kPieceMax = 100;     // boot bytes per frame
constexpr int kWriteFailures = 2;       // failed sends one DEV_Write tolerates in all
constexpr unsigned kCountMax = 0x7FFFFFFF;  // what an int result can report
// Identify: the text that opens the boot loader sits at reply bytes 24..39.
constexpr int kIdentifyTextAt = 24;
constexpr int kIdentifyTextMax = 16;

constexpr const char* kDefaultPort = "COM1";

MbPortParams defaultParams() {
    MbPortParams p{};
    p.magic = MB_PORT_MAGIC;
    p.copyPortText = 1;
    p.station = 1;
    p.lineMode = 0;
    p.baudRate = 19200;
    p.dataBits = 8;
    return p;
}

}  // namespace

CBootPort& CBootPort::instance() {
    static CMbBootPort port;
    return port;
}

void CMbBootPort::disconnect() {
    if (connection_) KMB_DisConnectMDBServer(connection_);
    connection_ = nullptr;
}

int CMbBootPort::open(const void* params) {
    disconnect();
    stations_.clear();
    MbPortParams p = defaultParams();
    if (!params) {
        copyPortText(kDefaultPort, portText_);
    } else {
        std::memcpy(&p, params, sizeof p);
        // A refused record leaves the plug-in closed rather than on its previous settings.
        if (p.magic != MB_PORT_MAGIC || (p.copyPortText == 1 && !copyPortText(p.portText, portText_))) {
            params_ = MbPortParams{};
            return 0;
        }
    }
    p.portText = portText_.data();
    params_ = p;
    const std::int32_t* s = params_.serial;
    connection_ = KMB_SerConnectMDBServer(params_.lineMode, portText_.data(), params_.baudRate, params_.dataBits, s[0],
                                          s[1], s[2], s[3], s[4], s[5], kReadTimeoutMs);
    return connected() ? 1 : 0;
}

bool CMbBootPort::send(const Frame& frame) {
    return KMB_WriteCmdBuf(connection_, frame.data(), static_cast<int>(frame.size()), 0) > 0;
}

bool CMbBootPort::receive(Reply& reply, int max) {
    reply.length = 0;
    int length = 0;
    const int room = std::min<int>(max, static_cast<int>(sizeof reply.bytes));
    if (KMB_ReadRecBuf(connection_, reply.bytes, room, &length, 0) != KMB_OK || length <= 0) return false;
    reply.length = std::min(length, room);
    return true;
}

bool CMbBootPort::probe(std::uint8_t station) {
    if (!connected() || params_.lineMode < 0 || params_.lineMode > kLastLineMode) return false;
    if (!send(mbBootFrame(MbBootRequest::Probe, station))) return false;
    pause(kProbePauseMs);
    Reply reply;
    if (!receive(reply, kProbeReplyMax)) return false;
    // The probe's answer: station, the search function and "KVMB".
    return reply.length >= wire::kPrivateMagicAt + static_cast<int>(sizeof wire::kPrivateMagic) &&
           reply.bytes[0] == station && reply.bytes[1] == wire::kFnSearch &&
           std::memcmp(reply.bytes + wire::kPrivateMagicAt, wire::kPrivateMagic, sizeof wire::kPrivateMagic) == 0;
}

int CMbBootPort::search(int* handles) {
    stations_.clear();
    if (params_.magic != MB_PORT_MAGIC || !handles) return 0;
    int first = kFirstStation, last = kLastStation;
    if (params_.station >= kFirstStation && params_.station <= kLastStation) first = last = params_.station;
    for (int s = first; s <= last && stations_.size() < DEV_MAX_HANDLES; ++s)
        if (probe(static_cast<std::uint8_t>(s))) stations_.push_back(static_cast<std::uint8_t>(s));
    for (std::size_t i = 0; i < stations_.size(); ++i) handles[i] = static_cast<int>(i) + 1;
    return static_cast<int>(stations_.size());
}

void CMbBootPort::enterBootMode(std::uint8_t station) {
    const Frame identify = mbBootFrame(MbBootRequest::Identify, station);
    Reply reply;
    if (!send(identify) || !receive(reply, kIdentifyReplyMax)) return;
    // A reply too short to hold the text is no identity.
    if (reply.length < kIdentifyTextAt + kIdentifyTextMax ||
        !std::equal(identify.begin(), identify.end(), reply.bytes))
        return;
    const auto* text = reinterpret_cast<const char*>(reply.bytes + kIdentifyTextAt);
    const std::size_t textLength = ::strnlen(text, kIdentifyTextMax);
    Frame enter = mbBootFrame(MbBootRequest::Enter, station);
    enter.insert(enter.end(), text, text + textLength);
    enter.push_back(0);
    if (send(enter)) receive(reply, kEnterReplyMax);  // the answer says nothing we act on
}

int CMbBootPort::enterBootMode() {
    if (!connected()) return 0;
    for (std::uint8_t station : stations_) enterBootMode(station);
    return 1;
}

std::uint8_t CMbBootPort::stationOf(int handle) const {
    if (handle < 1 || static_cast<std::size_t>(handle) > stations_.size()) return 0;
    return stations_[static_cast<std::size_t>(handle - 1)];
}

int CMbBootPort::write(int handle, const std::uint8_t* data, unsigned n) {
    const std::uint8_t station = stationOf(handle);
    if (!connected() || !station || (n > 0 && !data) || n > kCountMax) return DEV_ERROR;
    Frame frame = mbBootFrame(MbBootRequest::Write, station);
    unsigned taken = 0;
    int failures = 0;
    while (taken < n) {
        const unsigned piece = std::min(n - taken, kPieceMax);
        frame.resize(kMbHeaderLength);
        frame.push_back(static_cast<std::uint8_t>(piece));
        frame.insert(frame.end(), data + taken, data + taken + piece);
        if (send(frame)) {
            Reply ack;
            receive(ack, kWriteReplyMax);  // not examined: the read that follows tells
            taken += piece;
            continue;
        }
        if (++failures >= kWriteFailures) return DEV_ERROR;
        pause(kRetryPauseMs);
    }
    return static_cast<int>(taken);
}

int CMbBootPort::read(int handle, std::uint8_t* buffer, unsigned max) {
    const std::uint8_t station = stationOf(handle);
    if (!connected() || !station || (max > 0 && !buffer) || max > kCountMax) return DEV_ERROR;
    Frame frame = mbBootFrame(MbBootRequest::Read, station);
    frame.push_back(0);  // the count of each piece
    unsigned total = 0;
    while (total < max) {
        const unsigned piece = std::min(max - total, kPieceMax);
        frame.back() = static_cast<std::uint8_t>(piece);
        if (!send(frame)) break;
        pause(kReadPauseMs);
        Reply reply;
        if (!receive(reply, kReadReplyMax) || reply.length <= static_cast<int>(kMbHeaderLength) ||
            !std::equal(frame.begin(), frame.begin() + kMbHeaderLength, reply.bytes))
            break;
        // The count must fit both what was asked for and what came.
        const unsigned got = reply.bytes[kMbHeaderLength];
        if (got == 0 || got > piece || got > static_cast<unsigned>(reply.length) - kMbHeaderLength - 1) break;
        std::memcpy(buffer + total, reply.bytes + kMbHeaderLength + 1, got);
        total += got;
    }
    return static_cast<int>(total);
}

int CMbBootPort::close() {
    stations_.clear();
    disconnect();
    return 1;
}

}  // namespace vexa::bootport
