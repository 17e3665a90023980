// Searching, collecting and operating couplers on every transport.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <set>

#include "SimFixture.h"
#include "platform/HidBackend.h"

using namespace vexa;
using namespace vexa::test;
using Clock = std::chrono::steady_clock;

namespace {
int ms(Clock::duration d) { return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count()); }
}  // namespace

TEST_F(SimTest, EthernetBroadcastCollectsEveryCouplerThenNoReply) {
    auto* a = rack->addEthernet({});
    auto* b = rack->addEthernet({});
    start();
    ASSERT_EQ(KO_EthSearchAll(), RC_OK);
    std::set<std::string> seen;
    char ip[KO_IP_TEXT_SIZE], mac[KO_MAC_TEXT_SIZE];
    int hard, type, mode, flags, extra;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra), RC_OK);
        EXPECT_EQ(type, 9);
        seen.insert(ip);
    }
    EXPECT_EQ(seen, (std::set<std::string>{a->address(), b->address()}));
    EXPECT_EQ(KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra), RC_NO_REPLY);
}

TEST_F(SimTest, EthernetDuplicateReplyGivesTwoResults) {
    auto* a = rack->addEthernet({});
    start();
    a->pushFault({sim::FaultKind::Duplicate});
    KO_EthSearchByIP(a->address().c_str());
    char ip[16], mac1[18], mac2[18];
    int v[5];
    ASSERT_EQ(KO_EthGetSearchDev(ip, mac1, &v[0], &v[1], &v[2], &v[3], &v[4]), RC_OK);
    ASSERT_EQ(KO_EthGetSearchDev(ip, mac2, &v[0], &v[1], &v[2], &v[3], &v[4]), RC_OK);
    EXPECT_STREQ(mac1, mac2);
    EXPECT_EQ(KO_EthGetSearchDev(ip, mac2, &v[0], &v[1], &v[2], &v[3], &v[4]), RC_NO_REPLY);
    // Both records exist; operating either still works.
    EXPECT_NE(KO_EthSetOperateDev(ip, mac1, 9, v[2]), nullptr);
}

TEST_F(SimTest, EthernetOperateNeedsTheExactRecord) {
    auto* a = rack->addEthernet({});
    start();
    KO_EthSearchByIP(a->address().c_str());
    char ip[16], mac[18];
    int hard, type, mode, flags, extra;
    ASSERT_EQ(KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra), RC_OK);
    EXPECT_EQ(KO_EthSetOperateDev(ip, mac, 0x9010, mode), nullptr);  // wrong type
    std::string lower = mac;
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(KO_EthSetOperateDev(ip, lower.c_str(), type, mode), nullptr);  // lookup is case-sensitive
    EXPECT_EQ(KO_EthSetOperateDev("127.9.9.9", mac, type, mode), nullptr);
    EXPECT_EQ(KO_EthSetOperateDev(nullptr, mac, type, mode), nullptr);
    EXPECT_NE(KO_EthSetOperateDev(ip, mac, type, mode), nullptr);
}

TEST_F(SimTest, EthernetForeignDatagramIsBadReply) {
    auto* a = rack->addEthernet({});
    start();
    a->pushFault({sim::FaultKind::Corrupt});
    KO_EthSearchByIP(a->address().c_str());
    char ip[16], mac[18];
    int v[5];
    EXPECT_EQ(KO_EthGetSearchDev(ip, mac, &v[0], &v[1], &v[2], &v[3], &v[4]), RC_BAD_REPLY);
}

TEST_F(SimTest, SerialSearchInRtuAndAscii) {
    auto* c = rack->addSerial({.station = 7});
    start();
    std::string port = rack->serialPath(c->line());
    for (int framing : {0, 1}) {
        ASSERT_EQ(KO_RSSearchByID(7, framing, port.c_str(), 115200, 8, 0, 0, 1, 1, 0, 0, 0), RC_OK);
        char addr = 0;
        short manufacturer, type, mode, hard, soft;
        int serial;
        ASSERT_EQ(KO_RSGetSearch(&addr, &manufacturer, &type, &mode, &hard, &soft, &serial), RC_OK) << framing;
        EXPECT_EQ(addr, 7);
        EXPECT_EQ(static_cast<unsigned short>(type), 0x9010);
        EXPECT_EQ(static_cast<unsigned short>(manufacturer), c->identity().manufacturer);
    }
    // Another station on the line does not answer.
    ASSERT_EQ(KO_RSSearchByID(8, 0, port.c_str(), 115200, 8, 0, 0, 1, 1, 0, 0, 0), RC_OK);
    char addr;
    short s[5];
    int serial;
    EXPECT_EQ(KO_RSGetSearch(&addr, &s[0], &s[1], &s[2], &s[3], &s[4], &serial), RC_NO_REPLY);
}

TEST_F(SimTest, SerialPortProblemsAreResultCodes) {
    start();
    EXPECT_EQ(KO_RSSearchByID(1, 0, "/dev/does-not-exist", 9600, 8, 0, 0, 1, 1, 0, 0, 0), RC_OPEN_FAILED);
    char addr;
    short s[5];
    int serial;
    EXPECT_EQ(KO_RSGetSearch(&addr, &s[0], &s[1], &s[2], &s[3], &s[4], &serial), RC_NO_REPLY);
    EXPECT_EQ(KO_RSSearchByID(1, 0, nullptr, 9600, 8, 0, 0, 1, 1, 0, 0, 0), RC_OPEN_FAILED);
    EXPECT_EQ(KO_RSSetOperateDev(1, 0x9010, 0, 0, "/dev/does-not-exist", 9600, 8, 0, 0, 1, 1, 0, 0, 0), nullptr);
}

TEST_F(SimTest, SerialOperateNeedsTheRightTypeAndRecord) {
    auto* c = rack->addSerial({.station = 2});
    start();
    std::string port = rack->serialPath(c->line());
    ASSERT_EQ(KO_RSSearchByID(2, 0, port.c_str(), 19200, 8, 0, 0, 1, 1, 0, 0, 0), RC_OK);
    char addr;
    short manufacturer, type, mode, hard, soft;
    int serial;
    ASSERT_EQ(KO_RSGetSearch(&addr, &manufacturer, &type, &mode, &hard, &soft, &serial), RC_OK);
    EXPECT_EQ(KO_RSSetOperateDev(2, 9, mode, 0, port.c_str(), 19200, 8, 0, 0, 1, 1, 0, 0, 0), nullptr);
    EXPECT_EQ(KO_RSSetOperateDev(3, 0x9010, mode, 0, port.c_str(), 19200, 8, 0, 0, 1, 1, 0, 0, 0), nullptr);
    KO_HANDLE h = KO_RSSetOperateDev(2, 0x9010, mode, 0, port.c_str(), 19200, 8, 0, 0, 1, 1, 0, 0, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(KO_ReadMainProperty(h), RC_OK);
}

TEST_F(SimTest, SerialBaudZeroIsRefused) {
    auto* c = rack->addSerial({});
    start();
    EXPECT_EQ(KO_RSSearchByID(1, 0, rack->serialPath(c->line()).c_str(), 0, 8, 0, 0, 1, 1, 0, 0, 0), RC_OPEN_FAILED);
}

TEST_F(SimTest, HidSearchKeepsMatchingDevicesAndSkipsSilentOnesInBoundedTime) {
    auto* good = rack->addHid({.socketName = "a-good"});
    rack->addHid({.socketName = "b-other", .product = "SOMETHING-ELSE"});
    rack->addHid({.socketName = "c-silent", .answerIdentify = false});
    rack->addHid({.socketName = "d-mute", .sendHello = false});
    start();
    auto t0 = Clock::now();
    ASSERT_EQ(KO_HIDSearchAll(), RC_OK);
    EXPECT_LT(ms(Clock::now() - t0), 3000);
    char path[KO_HID_PATH_SIZE];
    short manufacturer, type, mode, hard, soft;
    int serial;
    ASSERT_EQ(KO_HIDGetSearchDev(path, &manufacturer, &type, &mode, &hard, &soft, &serial), RC_OK);
    EXPECT_EQ(good->address(), path);
    EXPECT_EQ(static_cast<unsigned short>(type), 0x9020);
    EXPECT_EQ(static_cast<unsigned short>(hard), good->identity().hardVer);
    EXPECT_EQ(KO_HIDGetSearchDev(path, &manufacturer, &type, &mode, &hard, &soft, &serial), RC_NO_MORE);
    EXPECT_EQ(KO_HIDSetOperateDev(path, 0x9010, 0), nullptr);
    EXPECT_NE(KO_HIDSetOperateDev(path, 0x9020, 0), nullptr);
}

TEST_F(SimTest, HidSearchWithNoMatchingDeviceHasNothingToHandOut) {
    rack->addHid({.manufacturer = "OTHER"});
    start();
    KO_HIDSearchAll();
    char path[KO_HID_PATH_SIZE];
    short s[5];
    int serial;
    EXPECT_EQ(KO_HIDGetSearchDev(path, &s[0], &s[1], &s[2], &s[3], &s[4], &serial), RC_NO_MORE);
}

TEST_F(SimTest, NullOutPointersAreTolerated) {
    auto* a = rack->addEthernet({});
    start();
    KO_EthSearchByIP(a->address().c_str());
    EXPECT_EQ(KO_EthGetSearchDev(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), RC_OK);
    KO_HIDSearchAll();
    EXPECT_EQ(KO_HIDGetSearchDev(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), RC_NO_MORE);
    EXPECT_EQ(KO_EthSearchByIP(nullptr), RC_OK);
}
TEST_F(SimTest, HidPathsTooLongForTheCallerAreSkipped) {
    rack->addHid({.socketName = "short"});
    std::string folder = "/tmp/vexa-longpath-" + std::to_string(getpid()) + "-" + std::string(150, 'x');
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    sim::SimRack longRack(sim::RackOptions{.hidFolder = folder, .liveData = false});
    longRack.addHid({.socketName = std::string(90, 'y')});
    ASSERT_EQ(longRack.start(), sim::kSimOk);
    // The bus does list the device: it is the library that must refuse to hand its path out.
    auto listed = makeSimHidBackend(folder)->enumerate();
    ASSERT_EQ(listed.size(), 1u);
    ASSERT_GE(listed[0].path.size(), 240u);
    setenv("VEXA_HID", ("sim:" + folder).c_str(), 1);
    KO_HIDSearchAll();
    char path[KO_HID_PATH_SIZE + 8];
    std::memset(path, 0x5A, sizeof path);
    short s[5];
    int serial;
    EXPECT_EQ(KO_HIDGetSearchDev(path, &s[0], &s[1], &s[2], &s[3], &s[4], &serial), RC_NO_MORE);
    for (size_t i = 0; i < sizeof path; ++i) ASSERT_EQ(path[i], 0x5A);
    longRack.stop();
    rmdir(folder.c_str());
}

