#include "SerialLine.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "ReplyPath.h"
#include "SerialProtocol.h"

namespace vexa::sim::detail {

namespace {
// An RTU frame whose length cannot be told from its head ends at a silence; on a pty a frame
// written at once arrives at once, so a few milliseconds are plenty.
constexpr int kRtuGapMs = 4;
// An ASCII frame may pause between characters; Modbus allows a second.
constexpr int kAsciiGapMs = 1000;
constexpr std::size_t kMaxFrame = 1024;
}  // namespace

bool SerialLine::open() {
    if (!vexa::openPty(pty_)) return false;
    slave_.reset(::open(pty_.slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    loop_.watch(pty_.master, [this](short) { onReadable(); });
    return true;
}

void SerialLine::close() {
    if (pty_.master >= 0) loop_.unwatch(pty_.master);
    slave_.reset();
    vexa::closePty(pty_);
    pending_.clear();
}

void SerialLine::onReadable() {
    std::uint8_t buf[512];
    for (;;) {
        ssize_t n = ::read(pty_.master, buf, sizeof buf);
        if (n <= 0) break;
        pending_.insert(pending_.end(), buf, buf + n);
    }
    cutFrames();
}

bool SerialLine::looksAscii() const {
    if (pending_.empty() || pending_[0] != ':') return false;
    // An RTU frame for station 0x3A also starts with ':'; its next bytes are rarely hex digits.
    for (std::size_t i = 1; i < std::min<std::size_t>(pending_.size(), 3); ++i)
        if (!std::isxdigit(pending_[i])) return false;
    return true;
}

void SerialLine::cutFrames() {
    while (!pending_.empty()) {
        if (looksAscii()) {
            auto lf = std::find(pending_.begin(), pending_.end(), '\n');
            if (lf == pending_.end()) break;
            take(static_cast<std::size_t>(lf - pending_.begin()) + 1);
            continue;
        }
        std::size_t n = rtuFrameLength(pending_);
        if (n == 0 || pending_.size() < n) break;
        take(n);
    }
    if (pending_.empty()) return;
    if (pending_.size() > kMaxFrame) {
        take(pending_.size());
        return;
    }
    // Whatever is left is a frame once the line falls silent.
    std::uint64_t gen = ++generation_;
    loop_.after(looksAscii() ? kAsciiGapMs : kRtuGapMs, [this, gen] {
        if (gen == generation_ && !pending_.empty()) take(pending_.size());
    });
}

void SerialLine::take(std::size_t n) {
    Bytes raw(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    ++generation_;
    handle(raw);
}

Coupler* SerialLine::owner(std::uint8_t address, bool forSub) const {
    for (Coupler* c : couplers_) {
        if (!forSub && c->serial.station == address) return c;
        if (forSub && c->sub(address - c->serial.station + 1)) return c;
    }
    return nullptr;
}

std::optional<Bytes> SerialLine::answer(const Bytes& body) {
    if (body.size() < 2) return std::nullopt;
    const std::uint8_t address = body[0];
    const bool forSub = serialTarget(body) == SerialTarget::Sub;
    Coupler* c = owner(address, forSub);
    if (!c) return std::nullopt;
    return serialReply(*c, forSub ? address - c->serial.station + 1 : 0, body);
}

void SerialLine::handle(const Bytes& raw) {
    auto frame = decodeSerial(raw);
    if (!frame || frame->body.empty()) return;
    std::uint8_t address = frame->body[0];
    bool forSub = serialTarget(frame->body) == SerialTarget::Sub;
    Coupler* c = owner(address, forSub);
    if (!c) return;  // nobody at that address: the line stays quiet
    c->logRequest(raw);
    if (!frame->checkOk) return;  // a real device ignores a damaged frame
    int position = forSub ? address - c->serial.station + 1 : 0;
    auto reply = serialReply(*c, position, frame->body);
    if (!reply) return;
    int fd = pty_.master;
    sendReply(loop_, *c, encodeSerial(*reply, frame->framing), kSerialCorruptAt, [fd](const Bytes& b) {
        return ::write(fd, b.data(), b.size()) == static_cast<ssize_t>(b.size());
    });
}

}  // namespace vexa::sim::detail
