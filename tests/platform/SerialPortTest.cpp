#include "platform/SerialPort.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "TempDir.h"
#include "platform/Net.h"

namespace vexa {
namespace {

using namespace std::chrono_literals;

TEST(SerialPortNameTest, ComNamesMapToTtyS) {
    struct Case {
        const char* name;
        const char* path;
    };
    constexpr Case cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"com12", "/dev/ttyS11"},
        {"\\\\.\\COM3", "/dev/ttyS2"},
        {"/dev/pts/3", "/dev/pts/3"},
        {"COM0", "COM0"},
        {"COM", "COM"},
        {"COM1a", "COM1a"},
        {"COM-1", "COM-1"},
        {"COM99999999999999999999", "COM99999999999999999999"},
    };
    for (const auto& c : cases) EXPECT_EQ(SerialPort::devicePath(c.name), c.path) << c.name;
}

TEST(SerialPortOpenTest, RefusesBadSettingsAndPortsThatAreNoLines) {
    Pty pty;
    ASSERT_TRUE(openPty(pty));
    SerialPort port;
    SerialSettings s;
    for (int baud : {0, -9600}) {
        s.baud = baud;
        EXPECT_FALSE(port.open(pty.slavePath, s)) << baud;
        EXPECT_FALSE(port.isOpen());
    }
    s = {};
    s.dataBits = 9;
    EXPECT_FALSE(port.open(pty.slavePath, s));
    s = {};
    s.parity = 5;
    EXPECT_FALSE(port.open(pty.slavePath, s));
    s = {};
    s.stopBits = 3;
    EXPECT_FALSE(port.open(pty.slavePath, s));

    EXPECT_FALSE(port.open("/dev/vexa-no-such-port", {}));
    test::TempDir dir;
    dir.write("plain-file", "");
    EXPECT_FALSE(port.open(dir.file("plain-file"), {}));
    EXPECT_FALSE(port.isOpen());

    std::uint8_t b[4] = {};
    EXPECT_EQ(port.read(b, 4), -1);  // not open
    EXPECT_EQ(port.write(b, 4), -1);
    closePty(pty);
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openPty(pty));
        ASSERT_TRUE(port.open(pty.slavePath, {})) << pty.slavePath;
    }
    void TearDown() override {
        port.close();
        closePty(pty);
    }
    void masterWrite(const std::string& bytes) {
        ASSERT_EQ(::write(pty.master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // What the master side receives within `within`, up to `n` bytes.
    std::string masterRead(size_t n, std::chrono::milliseconds within = 1000ms) {
        std::string got;
        auto deadline = Clock::now() + within;
        char buf[256];
        while (got.size() < n && waitReadable(pty.master, msUntil(deadline)) > 0) {
            ssize_t r = ::read(pty.master, buf, std::min(sizeof buf, n - got.size()));
            if (r <= 0) break;
            got.append(buf, static_cast<size_t>(r));
        }
        return got;
    }
    std::string portRead(int cap = 64) {
        std::string buf(static_cast<size_t>(cap), '\0');
        int n = port.read(reinterpret_cast<std::uint8_t*>(buf.data()), cap);
        buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return buf;
    }

    Pty pty;
    SerialPort port;
};

TEST_F(SerialPortTest, EveryByteValueCrossesBothWaysUnchanged) {
    // Bytes a terminal would otherwise translate or act on: CR, LF, ^C, XON, XOFF, DEL, NUL.
    const std::string bytes("\r\n\x03\x11\x13\x7f\x00\xff\x0d", 9);
    port.setTimeouts(50, 1000);
    masterWrite(bytes);
    EXPECT_EQ(portRead(), bytes);
    EXPECT_EQ(port.write(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<int>(bytes.size())),
              static_cast<int>(bytes.size()));
    EXPECT_EQ(masterRead(bytes.size()), bytes);
}

TEST_F(SerialPortTest, OpeningMakesALineRawWhateverItWasBefore) {
    port.close();
    int fd = ::open(pty.slavePath.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    tio.c_iflag |= ICRNL | IXON;
    tio.c_oflag |= OPOST | ONLCR;
    tio.c_lflag |= ICANON | ISIG | ECHO;
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);
    ::close(fd);

    ASSERT_TRUE(port.open(pty.slavePath, {}));
    port.setTimeouts(50, 1000);
    masterWrite("a\rb\x03");  // no line end: a cooked line would hold it back
    EXPECT_EQ(portRead(), "a\rb\x03");
    const std::uint8_t out[] = {'\n', 'x'};
    EXPECT_EQ(port.write(out, 2), 2);
    EXPECT_EQ(masterRead(2), "\nx");
    EXPECT_EQ(masterRead(1, 100ms), "");  // nothing echoed or added
}

TEST_F(SerialPortTest, ReadEndsOnAnIdleGapNotAtTheTotal) {
    port.setTimeouts(200, 5000);
    std::thread writer([this] {
        masterWrite("abc");
        std::this_thread::sleep_for(10ms);
        masterWrite("def");
    });
    auto t0 = Clock::now();
    std::string got = portRead();
    auto took = Clock::now() - t0;
    writer.join();
    EXPECT_EQ(got, "abcdef");
    EXPECT_LT(took, 2500ms);  // the 200 ms gap ended it, not the 5 s total
}

TEST_F(SerialPortTest, AGapLongerThanTheIntervalSplitsTheRead) {
    port.setTimeouts(30, 3000);
    std::thread writer([this] {
        masterWrite("ab");
        std::this_thread::sleep_for(300ms);
        masterWrite("cd");
    });
    EXPECT_EQ(portRead(), "ab");
    EXPECT_EQ(portRead(), "cd");
    writer.join();
}

TEST_F(SerialPortTest, ReadStopsWhenTheBufferIsFull) {
    port.setTimeouts(500, 5000);
    masterWrite("0123456789");
    auto t0 = Clock::now();
    EXPECT_EQ(portRead(4), "0123");
    EXPECT_LT(Clock::now() - t0, 400ms);  // full at once, no idle wait
    EXPECT_EQ(portRead(), "456789");
}

TEST_F(SerialPortTest, ASilentLineGivesNothingAfterTheTotal) {
    port.setTimeouts(20, 50);
    auto t0 = Clock::now();
    EXPECT_EQ(portRead(), "");
    auto took = Clock::now() - t0;
    EXPECT_GE(took, 49ms);
    EXPECT_LT(took, 1s);
}

TEST_F(SerialPortTest, AVanishedLineIsAnErrorNotSilence) {
    port.setTimeouts(20, 3000);
    closePty(pty);
    std::uint8_t buf[8];
    auto t0 = Clock::now();
    EXPECT_EQ(port.read(buf, sizeof buf), -1);
    EXPECT_LT(Clock::now() - t0, 1500ms);
    EXPECT_EQ(port.write(buf, 1), -1);
    EXPECT_EQ(port.read(nullptr, 8), -1);
}

}  // namespace
}  // namespace vexa
