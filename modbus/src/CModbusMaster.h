#pragma once
// One Modbus connection: a message (framing) and a link (line), and the exchange that runs
// every read and write with its error log and recovery from a stale reply.
#include <memory>

#include "CMbLink.h"
#include "CMbMsg.h"

namespace vexa::mb {

class CModbusMaster {
public:
    CModbusMaster(std::unique_ptr<CMbMsg> msg, std::unique_ptr<CMbLink> link)
        : msg_(std::move(msg)), link_(std::move(link)) {}
    ~CModbusMaster() { link_->close(); }

    bool open() { return link_->open(); }

    int read(int function, int unit, int start, int count, void* out, int transaction);
    int writeSingle(int function, int unit, int address, int value, int transaction);
    int writeMultiple(int function, int unit, int start, int count, const void* values, int transaction);

    // Raw frames: bytes sent (and, in *framed, how many should have gone out).
    int sendRaw(const std::uint8_t* bytes, int len, int* framed = nullptr);
    // 0 with at most len bytes copied, or KMB_ERR_HANDLE when no usable frame arrived.
    int receiveRaw(std::uint8_t* buf, int len, int* outLen);

    void setNotify(KMB_NotifyProc proc, int message) { link_->setNotify(proc, message); }

private:
    int exchange();

    std::unique_ptr<CMbMsg> msg_;
    std::unique_ptr<CMbLink> link_;
};

}  // namespace vexa::mb
