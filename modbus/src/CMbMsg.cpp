#include "CMbMsg.h"

#include <algorithm>
#include <cstdio>

#include "MbMaster.h"

namespace vexa::mb {

namespace {

enum class Kind { ReadBits, ReadRegisters, WriteSingle, WriteBits, WriteRegisters };

struct FunctionInfo {
    int code;
    Kind kind;
    int maxCount;  // the protocol's limit per request
};

const FunctionInfo* functionInfo(int code) {
    static constexpr FunctionInfo kFunctions[] = {
        {0x01, Kind::ReadBits, 2000},     {0x02, Kind::ReadBits, 2000},    {0x03, Kind::ReadRegisters, 125},
        {0x04, Kind::ReadRegisters, 125}, {0x05, Kind::WriteSingle, 1},    {0x06, Kind::WriteSingle, 1},
        {0x0F, Kind::WriteBits, 1968},    {0x10, Kind::WriteRegisters, 123},
    };
    for (const auto& f : kFunctions)
        if (f.code == code) return &f;
    return nullptr;
}

void put16(std::uint8_t* p, int v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

bool validRange(int unit, int start, int count, int maxCount) {
    return unit >= 0 && unit <= 255 && start >= 0 && start <= 0xFFFF && count >= 1 && count <= maxCount &&
           start + count <= 0x10000;
}

// Bytes that carry `count` items of a read or multiple write.
int dataBytes(Kind kind, int count) {
    return (kind == Kind::ReadBits || kind == Kind::WriteBits) ? (count + 7) / 8 : 2 * count;
}

}  // namespace

int CMbMsg::buildRead(int function, int unit, int start, int count, void* out, int transaction) {
    const FunctionInfo* f = functionInfo(function);
    if (!f || (f->kind != Kind::ReadBits && f->kind != Kind::ReadRegisters) || !out ||
        !validRange(unit, start, count, f->maxCount))
        return KMB_ERR_ARGUMENT;
    std::uint8_t pdu[5] = {static_cast<std::uint8_t>(function)};
    put16(pdu + 1, start);
    put16(pdu + 3, count);
    function_ = function;
    count_ = count;
    out_ = out;
    frame(unit, pdu, sizeof pdu, transaction);
    return KMB_OK;
}

int CMbMsg::buildWriteSingle(int function, int unit, int address, int value, int transaction) {
    const FunctionInfo* f = functionInfo(function);
    if (!f || f->kind != Kind::WriteSingle || !validRange(unit, address, 1, 1)) return KMB_ERR_ARGUMENT;
    if (function == 0x05)
        value = value ? 0xFF00 : 0x0000;
    else if (value < -32768 || value > 0xFFFF)
        return KMB_ERR_ARGUMENT;
    std::uint8_t pdu[5] = {static_cast<std::uint8_t>(function)};
    put16(pdu + 1, address);
    put16(pdu + 3, value);
    function_ = function;
    count_ = 1;
    out_ = nullptr;
    frame(unit, pdu, sizeof pdu, transaction);
    return KMB_OK;
}

int CMbMsg::buildWriteMultiple(int function, int unit, int start, int count, const void* values, int transaction) {
    const FunctionInfo* f = functionInfo(function);
    if (!f || (f->kind != Kind::WriteBits && f->kind != Kind::WriteRegisters) || !values ||
        !validRange(unit, start, count, f->maxCount))
        return KMB_ERR_ARGUMENT;
    std::uint8_t pdu[6 + 256] = {static_cast<std::uint8_t>(function)};
    put16(pdu + 1, start);
    put16(pdu + 3, count);
    const int bytes = dataBytes(f->kind, count);
    pdu[5] = static_cast<std::uint8_t>(bytes);
    std::uint8_t* data = pdu + 6;
    if (f->kind == Kind::WriteBits) {
        auto* coils = static_cast<const unsigned char*>(values);
        std::fill(data, data + bytes, 0);
        for (int i = 0; i < count; ++i)
            if (coils[i]) data[i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
    } else {
        auto* regs = static_cast<const short*>(values);
        for (int i = 0; i < count; ++i) put16(data + 2 * i, static_cast<std::uint16_t>(regs[i]));
    }
    function_ = function;
    count_ = count;
    out_ = nullptr;
    frame(unit, pdu, 6 + bytes, transaction);
    return KMB_OK;
}

int CMbMsg::buildRaw(const std::uint8_t* bytes, int len) {
    function_ = 0;
    count_ = 0;
    out_ = nullptr;
    frameRaw(bytes, len);
    return static_cast<int>(send_.size());
}

int CMbMsg::parse() {
    failure_.clear();
    const std::uint8_t* pdu = nullptr;
    int len = 0;
    int rc = unframe(pdu, len);
    if (rc == KMB_OK) rc = checkPdu(pdu, len);
    return rc == KMB_OK ? (error_ = KMB_OK) : fail(rc);
}

int CMbMsg::checkPdu(const std::uint8_t* pdu, int len) {
    if (len < 1) return KMB_ERR_SHORT_REPLY;
    if (pdu[0] == (function_ | 0x80)) {
        if (len < 2) return KMB_ERR_SHORT_REPLY;
        return pdu[1] ? pdu[1] : KMB_ERR_BAD_FRAME;  // an exception must carry a code
    }
    if (pdu[0] != function_) return KMB_ERR_SEQUENCE;
    const FunctionInfo* f = functionInfo(function_);
    if (!f || (f->kind != Kind::ReadBits && f->kind != Kind::ReadRegisters)) return KMB_OK;

    // A read: the byte count must be what was asked for and must have arrived, so that
    // nothing stale or beyond the caller's count is copied.
    const int bytes = dataBytes(f->kind, count_);
    if (len < 2 || pdu[1] != bytes || len < 2 + bytes) return KMB_ERR_SHORT_REPLY;
    const std::uint8_t* data = pdu + 2;
    if (f->kind == Kind::ReadBits) {
        auto* out = static_cast<unsigned char*>(out_);
        for (int i = 0; i < count_; ++i) out[i] = (data[i / 8] >> (i % 8)) & 1;
    } else {
        auto* out = static_cast<short*>(out_);
        for (int i = 0; i < count_; ++i) out[i] = static_cast<short>(data[2 * i] << 8 | data[2 * i + 1]);
    }
    return KMB_OK;
}

int CMbMsg::fail(int code) {
    struct Reason {
        int code;
        const char* text;
    };
    static constexpr Reason kReasons[] = {
        {KMB_ERR_SEQUENCE, "命令交错"},
        {KMB_ERR_PROTOCOL_ID, "Bad protocol id"},
        {KMB_ERR_BAD_FRAME, "Bad frame check"},
        {KMB_ERR_SHORT_REPLY, "Reply too short or wrong byte count"},
    };
    const char* text = "Exception reply";
    for (const auto& r : kReasons)
        if (r.code == code) text = r.text;
    failure_ = text;
    failure_ += ": ";
    char hex[4];
    for (int i = 0; i < recvLen_; ++i) {
        std::snprintf(hex, sizeof hex, "%02x ", recv_[i]);
        failure_ += hex;
    }
    error_ = code & 0xFFFF;
    return error_;
}

bool CMbMsg::rawReply(const std::uint8_t*& data, int& len) { return recvLen_ > 0 && unframeRaw(data, len); }

}  // namespace vexa::mb
