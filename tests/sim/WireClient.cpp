#include "WireClient.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace vexa::simtest {

std::uint16_t crc16(const Bytes& b) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t x : b) {
        crc ^= x;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

Bytes withCrc(Bytes b) {
    std::uint16_t c = crc16(b);
    b.push_back(static_cast<std::uint8_t>(c & 0xFF));
    b.push_back(static_cast<std::uint8_t>(c >> 8));
    return b;
}

namespace {
std::uint8_t lrcOf(const Bytes& b) {
    unsigned sum = 0;
    for (std::uint8_t x : b) sum += x;
    return static_cast<std::uint8_t>((0x100 - (sum & 0xFF)) & 0xFF);
}
}  // namespace

Bytes asciiFrame(const Bytes& body) {
    Bytes all = body;
    all.push_back(lrcOf(body));
    Bytes out = {':'};
    char hex[3];
    for (std::uint8_t x : all) {
        std::snprintf(hex, sizeof hex, "%02X", x);
        out.push_back(static_cast<std::uint8_t>(hex[0]));
        out.push_back(static_cast<std::uint8_t>(hex[1]));
    }
    out.push_back('\r');
    out.push_back('\n');
    return out;
}

std::optional<Bytes> asciiBody(const Bytes& f) {
    if (f.size() < 7 || f[0] != ':' || f[f.size() - 2] != '\r' || f.back() != '\n' || (f.size() - 3) % 2) return {};
    Bytes bin;
    for (std::size_t i = 1; i + 2 < f.size() - 1; i += 2) {
        std::string pair(f.begin() + static_cast<long>(i), f.begin() + static_cast<long>(i) + 2);
        bin.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
    }
    std::uint8_t l = bin.back();
    bin.pop_back();
    if (lrcOf(bin) != l) return {};
    return bin;
}

// Frames are built byte by byte: g++ 12 warns wrongly about inserting into a short vector.
Bytes hidFrame(std::uint8_t command, const Bytes& payload) {
    Bytes f;
    f.reserve(payload.size() + 5);
    f.push_back(0x7E);
    f.push_back(static_cast<std::uint8_t>(payload.size() + 5));
    f.push_back(command);
    for (std::uint8_t b : payload) f.push_back(b);
    std::uint8_t x = 0;
    for (std::uint8_t b : f) x ^= b;
    f.push_back(x);
    f.push_back(0x7E);
    return f;
}

Bytes hidReport(const Bytes& frame) {
    Bytes r(65, 0);
    std::copy(frame.begin(), frame.end(), r.begin() + 1);
    return r;
}

bool hidCheckHolds(const Bytes& r) {
    if (r.size() < 6 || r[1] != 0x7E) return false;
    std::size_t len = r[2];
    if (len < 5 || len + 1 > r.size() || r[len] != 0x7E) return false;
    std::uint8_t x = 0;
    for (std::size_t i = 1; i < len - 1; ++i) x ^= r[i];
    return x == r[len - 1];
}

Bytes ethHeader(std::uint8_t command, std::uint8_t p0, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3,
                const std::array<std::uint8_t, 6>& mac) {
    Bytes h;
    h.reserve(64);
    for (std::uint8_t b : {std::uint8_t{0xA1}, command, p0, p1, p2, p3}) h.push_back(b);
    for (std::uint8_t b : mac) h.push_back(b);
    h.push_back(0x0A);
    return h;
}

UdpClient::UdpClient() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
}

void UdpClient::send(const std::string& address, const Bytes& b) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(8801);
    ::inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    ::sendto(fd_.get(), b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

std::optional<Datagram> UdpClient::receive(int timeoutMs) {
    if (waitReadable(fd_.get(), timeoutMs) <= 0) return {};
    std::uint8_t buf[2048];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n = ::recvfrom(fd_.get(), buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) return {};
    return Datagram{Bytes(buf, buf + n), formatIPv4(from.sin_addr.s_addr)};
}

std::vector<Datagram> UdpClient::receiveAll(int quietMs) {
    std::vector<Datagram> out;
    while (auto d = receive(quietMs)) out.push_back(*d);
    return out;
}

LineClient::LineClient(const std::string& path) {
    SerialSettings s;
    s.baud = 115200;
    port_.open(path, s);
    port_.setTimeouts(30, 500);
}

void LineClient::send(const Bytes& b) {
    port_.purgeInput();
    port_.write(b.data(), static_cast<int>(b.size()));
}

Bytes LineClient::receive(int totalMs) {
    port_.setTimeouts(30, totalMs);
    std::uint8_t buf[1024];
    int n = port_.read(buf, sizeof buf);
    return n > 0 ? Bytes(buf, buf + n) : Bytes{};
}

HidClient::HidClient(const std::string& path) {
    sockaddr_un sa{};
    if (path.size() >= sizeof sa.sun_path) return;
    UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    sa.sun_family = AF_UNIX;
    std::memcpy(sa.sun_path, path.c_str(), path.size() + 1);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) fd_ = std::move(fd);
}

std::optional<std::string> HidClient::hello(int timeoutMs) {
    auto b = receive(timeoutMs);
    helloTaken_ = true;
    if (!b) return {};
    return std::string(b->begin(), b->end());
}

void HidClient::send(const Bytes& report) { ::send(fd_.get(), report.data(), report.size(), MSG_NOSIGNAL); }

std::optional<Bytes> HidClient::receive(int timeoutMs) {
    if (waitReadable(fd_.get(), timeoutMs) <= 0) return {};
    std::uint8_t buf[1024];
    ssize_t n = ::recv(fd_.get(), buf, sizeof buf, 0);
    if (n <= 0) return {};
    return Bytes(buf, buf + n);
}

std::optional<Bytes> HidClient::exchange(std::uint8_t command, const Bytes& payload) {
    if (!helloTaken_) hello();
    send(hidReport(hidFrame(command, payload)));
    return receive();
}

}  // namespace vexa::simtest
