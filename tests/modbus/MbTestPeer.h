#pragma once
// An independent Modbus slave for tests and benchmarks: libmodbus answers every request from
// its register map, over TCP on 127.0.0.1 (ephemeral port) or over RTU or ASCII on a
// pseudo-terminal, and the peer can be told to misbehave (late, twice, exception, stale reply
// first, silent, scripted bytes).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace mbtest {

enum class Framing { Tcp, Rtu, Ascii };
const char* framingName(Framing f);

enum class Fault {
    None,
    Late,        // param: delay in ms before the reply
    Twice,       // the reply goes out twice
    Exception,   // param: exception code sent instead of the reply
    StaleFirst,  // a reply to another function goes out before the right one
    Silent,      // no reply at all
};

class MbTestPeer {
public:
    static constexpr int kBits = 2000, kRegisters = 1000;

    explicit MbTestPeer(Framing framing, int unit = 1);
    ~MbTestPeer();
    MbTestPeer(const MbTestPeer&) = delete;
    MbTestPeer& operator=(const MbTestPeer&) = delete;

    bool start();
    void stop();

    Framing framing() const { return framing_; }
    int port() const { return port_; }                            // TCP
    const std::string& serialPath() const { return slavePath_; }  // RTU, ASCII

    void setFault(Fault fault, int param = 0);
    // Edits the reply before it is framed: TCP the MBAP header and PDU (its length field is
    // fixed up afterwards), serial the unit and PDU (the check sum is added afterwards).
    void setRewriter(std::function<void(std::vector<std::uint8_t>&)> rewrite);
    // Serial: send a wrong CRC or LRC.
    void setCorruptCheck(bool corrupt);
    // Answer every request with exactly these bytes on the wire (empty: normal replies).
    void setWireReply(std::vector<std::uint8_t> wire);

    // The last request as it came over the wire, and how many have come.
    std::vector<std::uint8_t> lastRequest() const;
    int requestCount() const;
    void waitForRequests(int n, int timeoutMs) const;

    std::uint16_t holding(int address) const;
    void setHolding(int address, std::uint16_t value);
    std::uint16_t inputRegister(int address) const;
    bool coil(int address) const;
    bool discreteInput(int address) const;

private:
    void serveTcp();
    void serveTcpClient(int fd);
    void serveRtu();
    void serveAscii();
    // Answers one request (the binary ADU as libmodbus takes it); `wire` is what came in.
    void answer(modbus_t* ctx, int captureFd, const std::uint8_t* req, int len, std::vector<std::uint8_t> wire,
                const std::function<void(const std::vector<std::uint8_t>&)>& send);
    std::vector<std::uint8_t> frameReply(std::vector<std::uint8_t> adu, bool corrupt) const;

    Framing framing_;
    int unit_;
    modbus_mapping_t* map_ = nullptr;
    mutable std::mutex mutex_;
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
    std::mutex threadsMutex_;
    int listenFd_ = -1;
    int port_ = 0;
    int master_ = -1;
    int slaveKeep_ = -1;
    std::string slavePath_;

    Fault fault_ = Fault::None;
    int faultParam_ = 0;
    std::function<void(std::vector<std::uint8_t>&)> rewrite_;
    bool corruptCheck_ = false;
    std::vector<std::uint8_t> wireReply_;
    std::vector<std::uint8_t> lastRequest_;
    int requests_ = 0;
};

// Test-side check sums, written independently of the library's.
std::uint16_t testCrc16(const std::uint8_t* data, std::size_t n);
std::uint8_t testLrc(const std::uint8_t* data, std::size_t n);

}  // namespace mbtest
