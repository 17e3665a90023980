#pragma once
// A Modbus message: builds one request and checks its reply. Every function code is built and
// checked here, once, as a PDU; the subclasses only wrap a PDU for their wire (TCP header, RTU
// CRC, ASCII form) and find the PDU in a received frame.
#include <cstdint>
#include <string>
#include <vector>

namespace vexa::mb {

class CMbMsg {
public:
    static constexpr int kReceiveCapacity = 1024;

    virtual ~CMbMsg() = default;

    // Requests: 0, or KMB_ERR_ARGUMENT when the request lies outside what the function allows
    // (nothing is built then). `out` receives the data of a read when its reply is parsed.
    int buildRead(int function, int unit, int start, int count, void* out, int transaction);
    int buildWriteSingle(int function, int unit, int address, int value, int transaction);
    int buildWriteMultiple(int function, int unit, int start, int count, const void* values, int transaction);
    // The caller's bytes as the wire carries them; returns the size of the framed request.
    int buildRaw(const std::uint8_t* bytes, int len);

    // Checks the received frame against the request: 0, or the error code (also kept).
    int parse();
    // The received frame for a raw read (serial: checked, without its check sum); false when
    // nothing usable arrived.
    bool rawReply(const std::uint8_t*& data, int& len);

    // Total length of the frame that starts at buf once its first n bytes tell it; 0 while
    // they do not (the link then waits for the line to go quiet).
    virtual int frameLength(const std::uint8_t* buf, int n) const = 0;

    const std::vector<std::uint8_t>& sendBuffer() const { return send_; }
    std::uint8_t* receiveBuffer() { return recv_; }
    int receivedLength() const { return recvLen_; }
    void setReceivedLength(int n) { recvLen_ = n; }
    int errorCode() const { return error_; }
    // Log text of the last failed parse: what went wrong and the reply's bytes.
    const std::string& failure() const { return failure_; }

protected:
    // Wraps the PDU into send_ for the wire.
    virtual void frame(int unit, const std::uint8_t* pdu, int pduLen, int transaction) = 0;
    virtual void frameRaw(const std::uint8_t* bytes, int len) = 0;
    // Finds the PDU (function code first) in the received frame: 0, or a result code.
    virtual int unframe(const std::uint8_t*& pdu, int& pduLen) = 0;
    virtual bool unframeRaw(const std::uint8_t*& data, int& len) = 0;

    std::vector<std::uint8_t> send_;
    std::uint8_t recv_[kReceiveCapacity] = {};
    int recvLen_ = 0;

private:
    int checkPdu(const std::uint8_t* pdu, int len);
    int fail(int code);

    int function_ = 0;
    int count_ = 0;
    void* out_ = nullptr;
    int error_ = 0;
    std::string failure_;
};

}  // namespace vexa::mb
