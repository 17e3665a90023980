#include "MbTestPeer.h"

#include <arpa/inet.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/SerialPort.h"

namespace mbtest {

const char* framingName(Framing f) {
    switch (f) {
        case Framing::Tcp: return "Tcp";
        case Framing::Rtu: return "Rtu";
        case Framing::Ascii: return "Ascii";
    }
    return "?";
}

std::uint16_t testCrc16(const std::uint8_t* data, std::size_t n) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

std::uint8_t testLrc(const std::uint8_t* data, std::size_t n) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += data[i];
    return static_cast<std::uint8_t>((~sum + 1) & 0xFF);
}

namespace {

void writeAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return;
        }
    }
}

int hexDigit(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

MbTestPeer::MbTestPeer(Framing framing, int unit) : framing_(framing), unit_(unit) {
    map_ = modbus_mapping_new(kBits, kBits, kRegisters, kRegisters);
    for (int i = 0; i < kRegisters; ++i) map_->tab_input_registers[i] = static_cast<std::uint16_t>(1000 + i);
    for (int i = 0; i < kBits; ++i) map_->tab_input_bits[i] = (i % 3 == 0) ? 1 : 0;
}

MbTestPeer::~MbTestPeer() {
    stop();
    modbus_mapping_free(map_);
}

bool MbTestPeer::start() {
    stop_ = false;
    if (framing_ == Framing::Tcp) {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t sl = sizeof sa;
        if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
            ::listen(listenFd_, 8) != 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&sa), &sl) != 0)
            return false;
        port_ = ntohs(sa.sin_port);
        threads_.emplace_back([this] { serveTcp(); });
        return true;
    }
    vexa::Pty pty;
    if (!vexa::openPty(pty)) return false;
    master_ = pty.master;
    slavePath_ = pty.slavePath;
    // Held open so that the master never sees a hang-up while no client has the line open.
    slaveKeep_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (framing_ == Framing::Rtu)
        threads_.emplace_back([this] { serveRtu(); });
    else
        threads_.emplace_back([this] { serveAscii(); });
    return true;
}

void MbTestPeer::stop() {
    stop_ = true;
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(threadsMutex_);
        threads.swap(threads_);
    }
    for (auto& t : threads)
        if (t.joinable()) t.join();
    {
        // Client threads started while the listener was being stopped.
        std::lock_guard lock(threadsMutex_);
        for (auto& t : threads_)
            if (t.joinable()) t.join();
        threads_.clear();
    }
    for (int* fd : {&listenFd_, &master_, &slaveKeep_})
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
}

void MbTestPeer::setFault(Fault fault, int param) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
    faultParam_ = param;
}

void MbTestPeer::setRewriter(std::function<void(std::vector<std::uint8_t>&)> rewrite) {
    std::lock_guard lock(mutex_);
    rewrite_ = std::move(rewrite);
}

void MbTestPeer::setCorruptCheck(bool corrupt) {
    std::lock_guard lock(mutex_);
    corruptCheck_ = corrupt;
}

void MbTestPeer::setWireReply(std::vector<std::uint8_t> wire) {
    std::lock_guard lock(mutex_);
    wireReply_ = std::move(wire);
}

std::vector<std::uint8_t> MbTestPeer::lastRequest() const {
    std::lock_guard lock(mutex_);
    return lastRequest_;
}

int MbTestPeer::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void MbTestPeer::waitForRequests(int n, int timeoutMs) const {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (requestCount() < n && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

std::uint16_t MbTestPeer::holding(int a) const {
    std::lock_guard lock(mutex_);
    return map_->tab_registers[a];
}

void MbTestPeer::setHolding(int a, std::uint16_t v) {
    std::lock_guard lock(mutex_);
    map_->tab_registers[a] = v;
}

std::uint16_t MbTestPeer::inputRegister(int a) const {
    std::lock_guard lock(mutex_);
    return map_->tab_input_registers[a];
}

bool MbTestPeer::coil(int a) const {
    std::lock_guard lock(mutex_);
    return map_->tab_bits[a] != 0;
}

bool MbTestPeer::discreteInput(int a) const {
    std::lock_guard lock(mutex_);
    return map_->tab_input_bits[a] != 0;
}

void MbTestPeer::serveTcp() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard lock(threadsMutex_);
        threads_.emplace_back([this, fd] { serveTcpClient(fd); });
    }
}

void MbTestPeer::serveTcpClient(int fd) {
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", port_);
    int capture[2];
    ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, capture);
    modbus_set_socket(ctx, fd);
    modbus_set_indication_timeout(ctx, 0, 50000);
    std::uint8_t req[MODBUS_TCP_MAX_ADU_LENGTH];
    auto send = [fd](const std::vector<std::uint8_t>& bytes) {
        if (!bytes.empty()) ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    };
    while (!stop_) {
        int rc = modbus_receive(ctx, req);
        if (rc < 0 && errno == ETIMEDOUT) continue;
        if (rc < 0 && (errno == ECONNRESET || errno == EBADF || errno == EPIPE || errno == ENOTCONN)) break;
        if (rc <= 0) continue;
        modbus_set_socket(ctx, capture[0]);
        answer(ctx, capture[1], req, rc, std::vector<std::uint8_t>(req, req + rc), send);
        modbus_set_socket(ctx, fd);
    }
    modbus_free(ctx);
    ::close(fd);
    ::close(capture[0]);
    ::close(capture[1]);
}

void MbTestPeer::serveRtu() {
    modbus_t* ctx = modbus_new_rtu("/dev/null", 115200, 'N', 8, 1);
    int capture[2];
    ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, capture);
    modbus_set_slave(ctx, unit_);
    modbus_set_socket(ctx, master_);
    modbus_set_indication_timeout(ctx, 0, 50000);
    std::uint8_t req[MODBUS_RTU_MAX_ADU_LENGTH];
    auto send = [this](const std::vector<std::uint8_t>& bytes) { writeAll(master_, bytes); };
    while (!stop_) {
        int rc = modbus_receive(ctx, req);
        if (rc <= 0) continue;
        modbus_set_socket(ctx, capture[0]);
        answer(ctx, capture[1], req, rc, std::vector<std::uint8_t>(req, req + rc), send);
        modbus_set_socket(ctx, master_);
    }
    modbus_set_socket(ctx, -1);
    modbus_free(ctx);
    ::close(capture[0]);
    ::close(capture[1]);
}

void MbTestPeer::serveAscii() {
    // libmodbus has no ASCII framing: the peer takes the ASCII frame apart itself and lets
    // libmodbus answer the same request in RTU form.
    modbus_t* ctx = modbus_new_rtu("/dev/null", 115200, 'N', 8, 1);
    int capture[2];
    ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, capture);
    modbus_set_slave(ctx, unit_);
    modbus_set_socket(ctx, capture[0]);
    auto send = [this](const std::vector<std::uint8_t>& bytes) { writeAll(master_, bytes); };
    std::vector<std::uint8_t> line;
    while (!stop_) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        std::uint8_t buf[512];
        ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) continue;
        line.insert(line.end(), buf, buf + n);
        for (;;) {
            auto lf = std::find(line.begin(), line.end(), '\n');
            if (lf == line.end()) break;
            std::vector<std::uint8_t> wire(line.begin(), lf + 1);
            line.erase(line.begin(), lf + 1);
            auto colon = std::find(wire.begin(), wire.end(), ':');
            if (colon == wire.end() || wire.size() < 5) continue;
            std::vector<std::uint8_t> bin;
            const std::size_t first = static_cast<std::size_t>(colon - wire.begin()) + 1;
            bool ok = wire.size() >= first + 2 && wire[wire.size() - 2] == '\r' && (wire.size() - 2 - first) % 2 == 0;
            for (std::size_t i = first; ok && i + 2 < wire.size(); i += 2) {
                const int hi = hexDigit(wire[i]), lo = hexDigit(wire[i + 1]);
                ok = hi >= 0 && lo >= 0;
                bin.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
            }
            if (!ok || bin.size() < 3 || testLrc(bin.data(), bin.size() - 1) != bin.back()) {
                std::lock_guard lock(mutex_);
                lastRequest_ = wire;
                ++requests_;
                continue;  // a device stays silent on a bad frame
            }
            bin.pop_back();
            if (bin[0] != unit_ && bin[0] != 0) continue;
            std::uint16_t crc = testCrc16(bin.data(), bin.size());
            bin.push_back(static_cast<std::uint8_t>(crc));
            bin.push_back(static_cast<std::uint8_t>(crc >> 8));
            answer(ctx, capture[1], bin.data(), static_cast<int>(bin.size()), wire, send);
        }
    }
    modbus_set_socket(ctx, -1);
    modbus_free(ctx);
    ::close(capture[0]);
    ::close(capture[1]);
}

void MbTestPeer::answer(modbus_t* ctx, int captureFd, const std::uint8_t* req, int len, std::vector<std::uint8_t> wire,
                        const std::function<void(const std::vector<std::uint8_t>&)>& send) {
    Fault fault;
    int param;
    bool corrupt;
    std::function<void(std::vector<std::uint8_t>&)> rewrite;
    std::vector<std::uint8_t> wireReply;
    std::vector<std::uint8_t> reply(MODBUS_TCP_MAX_ADU_LENGTH + 16);
    int n = 0;
    {
        std::lock_guard lock(mutex_);
        lastRequest_ = std::move(wire);
        ++requests_;
        fault = fault_;
        param = faultParam_;
        corrupt = corruptCheck_;
        rewrite = rewrite_;
        wireReply = wireReply_;
        int sent = fault == Fault::Exception ? modbus_reply_exception(ctx, req, static_cast<unsigned>(param))
                                             : modbus_reply(ctx, req, len, map_);
        if (sent > 0) n = static_cast<int>(::read(captureFd, reply.data(), reply.size()));
    }
    if (!wireReply.empty()) {
        send(wireReply);
        return;
    }
    if (n <= 0 || fault == Fault::Silent) return;
    reply.resize(static_cast<std::size_t>(n));
    if (framing_ != Framing::Tcp) reply.resize(reply.size() - 2);  // framed again below
    if (rewrite) rewrite(reply);
    if (fault == Fault::Late) std::this_thread::sleep_for(std::chrono::milliseconds(param));
    if (fault == Fault::StaleFirst) {
        auto stale = reply;
        const std::size_t fn = framing_ == Framing::Tcp ? 7 : 1;
        stale[fn] = stale[fn] == 0x03 ? 0x04 : 0x03;
        if (framing_ == Framing::Tcp) stale[1] = static_cast<std::uint8_t>(stale[1] - 1);
        send(frameReply(stale, false));
    }
    auto framed = frameReply(reply, corrupt);
    send(framed);
    if (fault == Fault::Twice) send(framed);
}

std::vector<std::uint8_t> MbTestPeer::frameReply(std::vector<std::uint8_t> adu, bool corrupt) const {
    if (framing_ == Framing::Tcp) {
        if (adu.size() >= 6) {
            const std::size_t length = adu.size() - 6;
            adu[4] = static_cast<std::uint8_t>(length >> 8);
            adu[5] = static_cast<std::uint8_t>(length);
        }
        return adu;
    }
    if (framing_ == Framing::Rtu) {
        std::uint16_t crc = testCrc16(adu.data(), adu.size());
        if (corrupt) crc ^= 0x5A5A;
        adu.push_back(static_cast<std::uint8_t>(crc));
        adu.push_back(static_cast<std::uint8_t>(crc >> 8));
        return adu;
    }
    std::uint8_t lrc = static_cast<std::uint8_t>(testLrc(adu.data(), adu.size()) + (corrupt ? 1 : 0));
    adu.push_back(lrc);
    std::vector<std::uint8_t> out = {':'};
    static const char* digits = "0123456789ABCDEF";
    for (std::uint8_t b : adu) {
        out.push_back(static_cast<std::uint8_t>(digits[b >> 4]));
        out.push_back(static_cast<std::uint8_t>(digits[b & 15]));
    }
    out.push_back('\r');
    out.push_back('\n');
    return out;
}

}  // namespace mbtest
