// vexactl mb as a user runs it, against the libmodbus peer: reads and writes over TCP and a
// serial line, JSON output, and the exit statuses 0/1/2.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "MbTestSupport.h"

namespace mbtest {
namespace {

struct CliRun {
    int status;
    std::string out;
};

CliRun vexactl(const std::string& args) {
    const std::string cmd = std::string(VEXACTL_PATH) + " mb " + args + " 2>&1";
    CliRun r{-1, {}};
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) r.out += buf;
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

TEST(MbCli, ReadsAndWritesOverTcp) {
    TempAppDir dir;
    MbTestPeer peer(Framing::Tcp);
    ASSERT_TRUE(peer.start());
    const std::string line = " --tcp 127.0.0.1:" + std::to_string(peer.port());

    CliRun w = vexactl("write holding --start 4 --values 7,-1,0x10" + line);
    EXPECT_EQ(w.status, 0) << w.out;
    EXPECT_NE(w.out.find("result: 0 KMB_OK"), std::string::npos) << w.out;
    EXPECT_EQ(peer.holding(5), 0xFFFF);

    CliRun r = vexactl("read holding --start 4 --count 3 --json" + line);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out,
              "{\"records\":[{\"address\":4,\"value\":7},{\"address\":5,\"value\":65535},{\"address\":6,\"value\":16}],"
              "\"result\":{\"code\":0,\"name\":\"KMB_OK\",\"ok\":true}}\n");

    EXPECT_EQ(vexactl("write coils --start 2 --values 1" + line).status, 0);
    CliRun c = vexactl("read coils --start 1 --count 3" + line);
    EXPECT_NE(c.out.find("address=2  value=1"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("address=3  value=0"), std::string::npos) << c.out;

    CliRun e = vexactl("read input-regs --start 995 --count 10" + line);
    EXPECT_EQ(e.status, 1);
    EXPECT_NE(e.out.find("result: 2 KMB_EX_ILLEGAL_DATA_ADDRESS"), std::string::npos) << e.out;
}

TEST(MbCli, ReadsOverASerialLineInAscii) {
    MbTestPeer peer(Framing::Ascii, 3);
    ASSERT_TRUE(peer.start());
    CliRun r = vexactl("read input-regs --unit 3 --start 1 --count 2 --serial " + peer.serialPath() +
                    " --baud 19200 --ascii --parity none --json");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("{\"address\":2,\"value\":1002}"), std::string::npos) << r.out;
}

TEST(MbCli, UsageMistakesExitTwoAndDeadLinesOne) {
    EXPECT_EQ(vexactl("read").status, 2);
    EXPECT_EQ(vexactl("read holding --count 2 --tcp 127.0.0.1").status, 2);
    EXPECT_EQ(vexactl("read holding --start 0 --count 0 --tcp 127.0.0.1").status, 2);
    EXPECT_EQ(vexactl("write inputs --start 0 --values 1 --tcp 127.0.0.1").status, 2);
    EXPECT_EQ(vexactl("write holding --start 0 --values 1,x --tcp 127.0.0.1").status, 2);
    EXPECT_EQ(vexactl("read holding --start 0 --count 1").status, 2);
    EXPECT_EQ(vexactl("read holding --start 0 --count 1 --tcp 127.0.0.1 --serial /dev/null").status, 2);
    MbTestPeer closed(Framing::Tcp);
    ASSERT_TRUE(closed.start());
    const int port = closed.port();
    closed.stop();
    CliRun r = vexactl("read holding --start 0 --count 1 --tcp 127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("KMB_ERR_HANDLE"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace mbtest
