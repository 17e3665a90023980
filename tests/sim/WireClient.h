#pragma once
// Small clients that talk to the simulated rack over its real wires, with checks computed here
// bit by bit, independently of the simulator's own code.
#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Net.h"
#include "platform/SerialPort.h"

namespace vexa::simtest {

using Bytes = std::vector<std::uint8_t>;

std::uint16_t crc16(const Bytes& b);
Bytes withCrc(Bytes b);                     // RTU frame: body + CRC low, high
Bytes asciiFrame(const Bytes& body);        // ':' hex(body, LRC) CR LF
std::optional<Bytes> asciiBody(const Bytes& frame);  // body without the LRC, if the LRC holds
Bytes hidFrame(std::uint8_t command, const Bytes& payload);  // 7E len cmd payload xor 7E
Bytes hidReport(const Bytes& frame);        // report ID 0 + frame, zero-padded to 65 bytes
bool hidCheckHolds(const Bytes& report);    // the XOR and the closing 0x7E of the frame in a report

struct Datagram {
    Bytes bytes;
    std::string from;
};

class UdpClient {
public:
    UdpClient();
    void send(const std::string& address, const Bytes& b);
    std::optional<Datagram> receive(int timeoutMs);
    std::vector<Datagram> receiveAll(int quietMs);  // until nothing came for quietMs

private:
    UniqueFd fd_;
};

// A client on the slave side of a simulated line.
class LineClient {
public:
    explicit LineClient(const std::string& path);
    bool isOpen() const { return port_.isOpen(); }
    void send(const Bytes& b);
    Bytes receive(int totalMs = 500);  // one reply: bytes until the line is idle for 30 ms

private:
    SerialPort port_;
};

class HidClient {
public:
    explicit HidClient(const std::string& path);
    bool connected() const { return fd_.valid(); }
    std::optional<std::string> hello(int timeoutMs = 500);
    void send(const Bytes& report);
    std::optional<Bytes> receive(int timeoutMs = 500);
    std::optional<Bytes> exchange(std::uint8_t command, const Bytes& payload);  // hello taken first

private:
    UniqueFd fd_;
    bool helloTaken_ = false;
};

// 13-byte Ethernet request header for `mac`.
Bytes ethHeader(std::uint8_t command, std::uint8_t p0, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3,
                const std::array<std::uint8_t, 6>& mac);

}  // namespace vexa::simtest
