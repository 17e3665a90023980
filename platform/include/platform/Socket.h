#pragma once
// An IPv4 socket for every transport that needs one (UDP to the Ethernet coupler, TCP to a
// Modbus server). Every wait is a poll() on the socket, so it needs no thread of its own.
#include <netinet/in.h>
#include <sys/socket.h>

#include <string>

namespace vexa {

class Socket {
public:
    Socket() = default;
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Creates a socket of `type` (SOCK_DGRAM or SOCK_STREAM) bound to `address` (null or empty
    // = any) and `port` (0 = ephemeral). False with GetLastError() set on failure.
    bool Create(unsigned port = 0, int type = SOCK_STREAM, const char* address = nullptr);
    void Close();
    bool IsValid() const { return fd_ >= 0; }
    int GetSocketHandle() const { return fd_; }

    // Starts a connection to an address text or host name. A stream socket connects
    // without blocking: true means connected or in progress; WaitConnect() finishes it.
    bool Connect(const char* address, unsigned port);
    // Waits up to `timeoutMs` for a pending connect; true once connected.
    bool WaitConnect(int timeoutMs);

    // Datagrams. A null or empty address sends to the broadcast address.
    int SendTo(const void* buf, int len, unsigned port, const char* address = nullptr);
    int ReceiveFrom(void* buf, int len, std::string& address, unsigned& port);
    int Send(const void* buf, int len);
    int Receive(void* buf, int len);

    // 1 readable, 0 time-out, -1 error (timeoutMs 0 = just look).
    int WaitReadable(int timeoutMs) const;
    // Bytes waiting to be read (FIONREAD); -1 on error.
    int BytesWaiting() const;
    bool SetSockOpt(int level, int name, const void* value, socklen_t len);

    int GetLastError() const { return lastError_; }

private:
    bool resolve(const char* address, unsigned port, sockaddr_in& out);

    int fd_ = -1;
    bool connecting_ = false;
    int lastError_ = 0;
};

}  // namespace vexa
