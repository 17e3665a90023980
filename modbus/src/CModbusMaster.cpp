#include "CModbusMaster.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "CMbErrorLog.h"

namespace vexa::mb {

int CModbusMaster::read(int function, int unit, int start, int count, void* out, int transaction) {
    const int rc = msg_->buildRead(function, unit, start, count, out, transaction);
    return rc == KMB_OK ? exchange() : rc;
}

int CModbusMaster::writeSingle(int function, int unit, int address, int value, int transaction) {
    const int rc = msg_->buildWriteSingle(function, unit, address, value, transaction);
    return rc == KMB_OK ? exchange() : rc;
}

int CModbusMaster::writeMultiple(int function, int unit, int start, int count, const void* values, int transaction) {
    const int rc = msg_->buildWriteMultiple(function, unit, start, count, values, transaction);
    return rc == KMB_OK ? exchange() : rc;
}

int CModbusMaster::exchange() {
    if (link_->send(*msg_) < 1) {
        CMbErrorLog::write("发送不成功，需要从新建立连接");
        return KMB_ERR_SEND;
    }
    if (link_->receive(*msg_) < 1) {
        CMbErrorLog::write("Time Out");
        return KMB_ERR_TIMEOUT;
    }
    const int rc = msg_->parse();
    if (rc == KMB_OK) return KMB_OK;
    if (rc != KMB_ERR_SEQUENCE) {
        CMbErrorLog::write(msg_->failure());
        return rc;
    }
    // A reply to an earlier request (one that timed out) came first; the one to this request
    // may be right behind it.
    CMbErrorLog::write("检测到序列故障 " + msg_->failure());
    if (link_->receive(*msg_) > 0) {
        if (msg_->parse() == KMB_OK) {
            CMbErrorLog::write("恢复正常序列");
            return KMB_OK;
        }
        CMbErrorLog::write(msg_->failure());
    }
    return msg_->errorCode();
}

int CModbusMaster::sendRaw(const std::uint8_t* bytes, int len, int* framed) {
    const int size = msg_->buildRaw(bytes, len);
    if (framed) *framed = size;
    return link_->send(*msg_);
}

int CModbusMaster::receiveRaw(std::uint8_t* buf, int len, int* outLen) {
    *outLen = 0;
    const std::uint8_t* data = nullptr;
    int n = 0;
    if (link_->receive(*msg_) < 1 || !msg_->rawReply(data, n)) return KMB_ERR_HANDLE;
    n = std::min(n, len);
    std::memcpy(buf, data, static_cast<size_t>(n));
    *outLen = n;
    return KMB_OK;
}

}  // namespace vexa::mb
