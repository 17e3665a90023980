#pragma once
// The line under a Modbus connection: TCP socket or serial port. A link moves a message's
// request out and brings exactly one reply frame back into the message; bytes that arrived
// behind that frame wait for the next receive (a stale reply and the right one may arrive
// together), and are dropped when the next request goes out.
#include <cstdint>

#include "MbMaster.h"

namespace vexa::mb {

class CMbMsg;

class CMbLink {
public:
    virtual ~CMbLink() = default;
    virtual bool open() = 0;
    virtual void close() = 0;

    // Drops whatever is waiting, then sends the request: bytes sent, 0 on failure.
    int send(const CMbMsg& msg);
    // One reply frame into the message: its length, 0 when nothing arrived in time.
    int receive(CMbMsg& msg);

    virtual void setNotify(KMB_NotifyProc /*proc*/, int /*message*/) {}

protected:
    virtual int fd() const = 0;
    virtual int replyTimeoutMs() const = 0;
    // After the first byte, a quiet line for this long ends a frame (0: only the time-out does).
    virtual int idleGapMs() const { return 0; }
    virtual void discardInput() = 0;
    virtual int write(const std::uint8_t* data, int len) = 0;  // bytes written, 0 on failure
    // Bytes read (> 0), 0 at end of stream or on error, -1 when nothing was ready after all.
    virtual int readSome(std::uint8_t* buf, int cap) = 0;
    // Called once per receive with the bytes that came in (0 after a time-out).
    virtual void received(int /*bytes*/) {}

private:
    static constexpr int kPendingCapacity = 1024;
    std::uint8_t pending_[kPendingCapacity] = {};
    int pendingLen_ = 0;
};

}  // namespace vexa::mb
