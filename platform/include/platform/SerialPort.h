#pragma once
// A serial line on termios: real ports and pseudo-terminals alike.
// Line settings take the Windows numeric values that stored settings and callers use.
#include <cstdint>
#include <string>

namespace vexa {

struct SerialSettings {
    int baud = 9600;      // bits per second; <= 0 is refused
    int dataBits = 8;     // 5..8
    int parity = 0;       // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBits = 0;     // 0 one, 1 one and a half (taken as two), 2 two
    int dtrControl = 1;   // 0 off, 1 on, 2 handshake
    int rtsControl = 1;   // 0 off, 1 on, 2 handshake, 3 toggle
};

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort() { close(); }
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // "COMn" (also "\\.\COMn") names /dev/ttyS<n-1>; anything else is a device path.
    static std::string devicePath(const std::string& name);

    // Opens and configures; false (port closed) when the port cannot be opened or the settings
    // are refused (including baud <= 0).
    bool open(const std::string& name, const SerialSettings& settings);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // A read returns once the line has been idle for `intervalMs` after the first byte, or when
    // `totalMs` have passed since the read began (Windows ReadIntervalTimeout and
    // ReadTotalTimeoutConstant). A write gives up after `writeTotalMs` (0 = no limit).
    void setTimeouts(int intervalMs, int totalMs, int writeTotalMs = 0);

    int write(const std::uint8_t* data, int len);  // bytes written, -1 on error
    int read(std::uint8_t* buf, int cap);          // bytes read, 0 when nothing arrived, -1 on error
    void purgeInput();
    void purgeOutput();

private:
    int fd_ = -1;
    int intervalMs_ = 20;
    int totalMs_ = 1000;
    int writeTotalMs_ = 0;
};

// A pseudo-terminal pair in raw mode, for simulated serial devices and tests.
struct Pty {
    int master = -1;
    std::string slavePath;
};
bool openPty(Pty& out);  // false on failure
void closePty(Pty& pty);

}  // namespace vexa
