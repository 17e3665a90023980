// vexactl's coupler commands: output, JSON, exit statuses.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "CliRun.h"
#include "sim/SimRack.h"

namespace {

using clitest::CliRun;
using clitest::vexactl;

class VexactlTest : public ::testing::Test {
protected:
    void SetUp() override {
        eth = rack.addEthernet({.subs = {{1, vexa::sim::subIdentity(0x4017)}}});
        rs = rack.addSerial({.station = 4});
        hid = rack.addHid({});
        ASSERT_EQ(rack.start(), vexa::sim::kSimOk);
        setenv("VEXA_ETH_BROADCAST", rack.hubAddress().c_str(), 1);
        setenv("VEXA_HID", ("sim:" + rack.hidFolder()).c_str(), 1);
    }
    vexa::sim::SimRack rack{vexa::sim::RackOptions{.liveData = false}};
    vexa::sim::SimCoupler *eth = nullptr, *rs = nullptr, *hid = nullptr;
};

}  // namespace

TEST_F(VexactlTest, SearchesEveryTransport) {
    CliRun r = vexactl("search eth");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("target=eth:" + eth->address()), std::string::npos) << r.out;
    r = vexactl("search rs " + rack.serialPath(rs->line()) + " --station 4 --ascii");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("type=9010"), std::string::npos) << r.out;
    r = vexactl("search hid --json");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\"target\":\"hid:" + hid->address() + "\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"ok\":true"), std::string::npos);

    // A station range, and one rule for every kind: nothing found fails and says so.
    const std::string port = rack.serialPath(rs->line());
    r = vexactl("search rs " + port + " --station 3-4 --ascii");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("target=rs:" + port + ":4"), std::string::npos) << r.out;
    r = vexactl("search rs " + port + " --station 200-201 --ascii --timeout 100");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("NOTHING_FOUND"), std::string::npos) << r.out;
    EXPECT_EQ(vexactl("search rs " + port + " --station 5-2").status, 2);
    r = vexactl("search eth --ip " + eth->address());
    EXPECT_EQ(r.status, 0) << r.out;
}

TEST_F(VexactlTest, PropsGetAndSet) {
    std::string target = "eth:" + eth->address();
    CliRun r = vexactl("props " + target);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("key=MAIN_IP  value=" + eth->address()), std::string::npos) << r.out;
    r = vexactl("set " + target + " MAIN_NAME cell-7");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("value=cell-7"), std::string::npos) << r.out;
    r = vexactl("get rs:" + rack.serialPath(rs->line()) + ":4 MAIN_TYPE --json");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\"value\":\"VEXA-9010\""), std::string::npos) << r.out;
    r = vexactl("set hid MAIN_CANOPEN_ADDR 9");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(hid->block(2)[0], 9);
    // A value the item cannot hold is refused, not written modulo its width.
    for (const char* bad : {"999", "-1", "12abc"}) {
        r = vexactl(std::string("set hid MAIN_CANOPEN_ADDR ") + bad);
        EXPECT_EQ(r.status, 1) << bad << ": " << r.out;
        EXPECT_EQ(hid->block(2)[0], 9) << bad;
    }
}

// --json output is one valid JSON object whatever the device holds: a name that is not UTF-8
// arrives as text, and messages and the failure go inside the object.
TEST_F(VexactlTest, JsonIsAlwaysOneValidObject) {
    const std::string target = "eth:" + eth->address();
    ASSERT_EQ(vexactl("set " + target + " MAIN_NAME 'caf\xe9'").status, 0);
    CliRun r = vexactl("get " + target + " MAIN_NAME --json");
    ASSERT_EQ(r.status, 0) << r.out;
    auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["records"][0]["value"], "caf\u00e9");
    for (const std::string& cmd : {"props " + target, "subs " + target, "sub-data " + target + " 1",
                                   "search rs " + rack.serialPath(rs->line()) + " --station 200 --timeout 100",
                                   "get " + target + " NO_SUCH_KEY"}) {
        r = vexactl(cmd + " --json");
        ASSERT_TRUE(nlohmann::json::accept(r.out)) << cmd << ": " << r.out;
        doc = nlohmann::json::parse(r.out);
        EXPECT_EQ(doc["result"]["ok"], r.status == 0) << cmd;
        if (r.status != 0) {
            EXPECT_TRUE(doc.contains("error")) << cmd << ": " << r.out;
        }
    }
    // An analog reading also comes split into its parts.
    doc = nlohmann::json::parse(vexactl("sub-data " + target + " 1 DATA_AIN_0 --json").out);
    ASSERT_TRUE(doc["records"][0].contains("reading")) << doc.dump();
    EXPECT_TRUE(doc["records"][0]["reading"]["value"].is_number());
    EXPECT_TRUE(doc["records"][0]["reading"]["raw"].get<std::string>().rfind("0x", 0) == 0);
}

TEST_F(VexactlTest, FailuresNameTheirResult) {
    CliRun r = vexactl("get eth:" + eth->address() + " NO_SUCH_KEY");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("303 RC_KEY_UNKNOWN"), std::string::npos) << r.out;
    eth->setSilent(true);
    r = vexactl("props eth:" + eth->address());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("RC_NO_REPLY"), std::string::npos) << r.out;
    r = vexactl("props nowhere");
    EXPECT_EQ(r.status, 2);
    for (const char* bad : {"props eth:not-an-ip", "props rs:/dev/null:300", "props rs:/dev/null:1 --baud abc",
                            "search rs /dev/null --station abc", "search rs /dev/null --station 300",
                            "upgrade --plugin VEXA hid --index abc fw.upf", "sub-props hid 1 --timeout -5"})
        EXPECT_EQ(vexactl(bad).status, 2) << bad;
    r = vexactl("frobnicate");
    EXPECT_EQ(r.status, 2);
    // A target that does not open says why, in words.
    struct {
        std::string args, why;
    } unopened[] = {
        {"props hid:/no/such/device", "no such device: /no/such/device"},
        {"props rs:/dev/ttyNOPE:1", "/dev/ttyNOPE: No such file or directory"},
        {"props eth:127.0.0.99", "no coupler answered at 127.0.0.99"},
    };
    for (const auto& u : unopened) {
        r = vexactl(u.args);
        EXPECT_EQ(r.status, 1) << u.args;
        EXPECT_NE(r.out.find(u.why), std::string::npos) << u.args << ": " << r.out;
    }
    const std::string bus = getenv("VEXA_HID");
    setenv("VEXA_HID", "sim:/nonexistent-vexa-bus", 1);
    r = vexactl("props hid");
    setenv("VEXA_HID", bus.c_str(), 1);
    EXPECT_NE(r.out.find("VEXA_HID=sim:/nonexistent-vexa-bus: no such folder"), std::string::npos) << r.out;
    // Missing arguments say what the command takes; --help asks for it.
    for (const char* cmd : {"props", "get hid", "set hid MAIN_NAME", "subs", "sub-props hid", "map download"}) {
        r = vexactl(cmd);
        EXPECT_EQ(r.status, 2) << cmd;
        EXPECT_NE(r.out.find("usage: vexactl "), std::string::npos) << cmd << ": " << r.out;
    }
    r = vexactl("props --help");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("usage: vexactl props"), std::string::npos) << r.out;
}

// A command line the tools cannot act on as written is a usage error that names the option and
// what it takes, on stderr, before any device is asked; every command explains itself on stdout.
TEST_F(VexactlTest, CommandLinesAreCheckedBeforeAnythingIsAsked) {
    const std::string port = rack.serialPath(rs->line());
    const std::string sim = std::string("timeout 10 ") + VEXA_SIM_PROGRAM;  // a rack that did start stops
    struct {
        std::string program, args, says;
    } bad[] = {
        {VEXACTL_PATH, "props hid --nope", "props: takes no option --nope"},
        {VEXACTL_PATH, "props hid -x", "takes no option -x"},
        {VEXACTL_PATH, "sub-props hid 1 --timeout 5", "takes no option --timeout"},  // another command's
        {VEXACTL_PATH, "search rs " + port + " --station abc", "--station 'abc' is not a station N or a range A-B"},
        {VEXACTL_PATH, "search rs " + port + " --station 300", "--station '300' is not"},
        {VEXACTL_PATH, "search rs " + port + " --station 5-2", "--station '5-2' is not"},
        {VEXACTL_PATH, "props rs:" + port + ":4 --baud=9600x", "--baud '9600x' is not a number from 1 to 4000000"},
        {VEXACTL_PATH, "props rs:" + port + ":4 --baud", "--baud needs a number from 1 to 4000000"},
        {VEXACTL_PATH, "set hid MAIN_NAME x --password", "--password needs P"},
        {VEXACTL_PATH, "hid-update hid fw.bin --settle -1", "--settle '-1' is not a number from 0 to 60000"},
        {VEXACTL_PATH, "upgrade --plugin VEXA hid --index 300 fw.upf", "--index '300' is not a number from 0 to 299"},
        {VEXACTL_PATH, "props rs:" + port + ":4x --json", "names no coupler"},
        {VEXACTL_PATH, "search eth --ip not-an-ip", "'not-an-ip' is no IPv4 address"},
        {VEXACTL_PATH, "--json frobnicate", "unknown command 'frobnicate'"},
        {sim, "--no-such-option", "unknown option --no-such-option"},
        {sim, "--freeze --eth", "--eth needs a value"},
        {sim, "--subnet 10.0.0", "\"10.0.0\" is no loopback subnet"},
    };
    for (const auto& b : bad) {
        CliRun r = clitest::run(b.program, b.args);
        EXPECT_EQ(r.status, 2) << b.args << ": " << r.out;
        EXPECT_NE(r.out.find(b.says), std::string::npos) << b.args << ": " << r.out;
        EXPECT_EQ(clitest::run(b.program, b.args, true).out, "") << b.args << ": the mistake goes to stderr";
    }

    // Words the parser could mistake: a command's name and a bracketed list are plain arguments.
    const std::string target = "eth:" + eth->address();
    for (const std::string value : {"get", "[a,b]"}) {
        CliRun r = vexactl("set " + target + " MAIN_NAME '" + value + "' --json");
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find("\"value\":\"" + value + "\""), std::string::npos) << r.out;
    }
    EXPECT_EQ(vexactl("search rs " + port + " --station=4 --ascii --ascii --baud 9600 --baud=9600").status, 0);

    CliRun list = vexactl("--help", true);
    ASSERT_EQ(list.status, 0);
    int helped = 0;
    std::size_t at = 0;
    for (std::size_t end; (end = list.out.find('\n', at)) != std::string::npos; at = end + 1) {
        // "  NAME ARGS...": a command's usage line.
        const std::string line = list.out.substr(at, end - at);
        if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
        const std::string name = line.substr(2, line.find(' ', 2) - 2);
        CliRun r = vexactl(name + " --help", true);
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(r.out.rfind("usage: vexactl " + name, 0), 0u) << name << ": " << r.out;
        EXPECT_NE(r.out.find("--json"), std::string::npos) << name << ": " << r.out;
        ++helped;
    }
    EXPECT_GE(helped, 15) << list.out;
    CliRun simHelp = clitest::run(sim, "--help", true);
    EXPECT_EQ(simHelp.status, 0);
    EXPECT_EQ(simHelp.out.rfind("usage: vexa-sim", 0), 0u) << simHelp.out;
}
