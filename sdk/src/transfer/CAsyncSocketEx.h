#pragma once
// Event-capable socket wrapper shared by the device access library (UDP to the Ethernet
// coupler) and the Modbus master library (TCP). Every wait is a poll() on the socket, and the
// notification handlers are called from those waits, so no thread or window of its own is
// needed to deliver them.
#include <sys/socket.h>

#include <cstdint>
#include <string>

class CAsyncSocketEx {
public:
    // Notification mask bits (accepted for compatibility; waits decide what is delivered).
    enum : long { kRead = 1, kWrite = 2, kOob = 4, kAccept = 8, kConnect = 16, kClose = 32 };

    CAsyncSocketEx() = default;
    virtual ~CAsyncSocketEx();
    CAsyncSocketEx(const CAsyncSocketEx&) = delete;
    CAsyncSocketEx& operator=(const CAsyncSocketEx&) = delete;

    // Creates a socket of `type` (SOCK_DGRAM or SOCK_STREAM) bound to `address` (null or empty
    // = any) and `port` (0 = ephemeral). False with GetLastError() set on failure.
    bool Create(unsigned port = 0, int type = SOCK_STREAM, long events = kRead | kWrite | kConnect | kClose,
                const char* address = nullptr);
    virtual void Close();
    bool IsValid() const { return fd_ >= 0; }
    int GetSocketHandle() const { return fd_; }

    // Starts a connection to an address text or host name. A stream socket connects
    // without blocking: true means connected or in progress; WaitConnect() finishes it.
    bool Connect(const char* address, unsigned port);
    // Waits up to `timeoutMs` for a pending connect; calls OnConnect with the outcome.
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
    bool IOCtl(unsigned long cmd, int* arg);
    bool SetSockOpt(int level, int name, const void* value, socklen_t len);
    bool GetSockOpt(int level, int name, void* value, socklen_t* len) const;

    int GetLastError() const { return lastError_; }

protected:
    virtual void OnReceive(int /*err*/) {}
    virtual void OnSend(int /*err*/) {}
    virtual void OnConnect(int /*err*/) {}
    virtual void OnAccept(int /*err*/) {}
    virtual void OnClose(int /*err*/) {}

private:
    bool resolve(const char* address, unsigned port, struct sockaddr_in& out);

    int fd_ = -1;
    int type_ = SOCK_STREAM;
    bool connecting_ = false;
    int lastError_ = 0;
};
