// Boot frames on the wire: what KB_SendCmd writes, what KB_GetAck makes of what the plug-in
// reads, and the single commands built on them. The plug-in here plays no device: it records
// the bytes written and hands out scripted bytes.
#include "FwFixture.h"

#include <cstring>

namespace fwtest {
namespace {

class Frames : public FwFixture {
protected:
    // One plug-in with one device handle and no simulated boot loader behind it.
    FakePort& scripted(std::optional<std::string> goodWriteLen = std::nullopt) {
        if (goodWriteLen) addPort("first");  // index 0 always gets 1024, so use index 1
        FakePort& port = addPort("VEXA", goodWriteLen);
        const int plugin = static_cast<int>(ports.size()) - 1;
        port.searchResult = 1;
        EXPECT_EQ(KB_OpenCommDevice(plugin, nullptr), 1);
        EXPECT_EQ(KB_SearchDevice(plugin), 1);
        return port;
    }
    static Bytes sent(const Bytes& body, FakePort& port) {
        port.written.clear();
        EXPECT_EQ(KB_SendCmd(0, body.data(), static_cast<int>(body.size())), 1);
        return port.written;
    }
    struct Ack {
        int ok;
        int n;
        Bytes body;
    };
    static Ack ack(FakePort& port, std::vector<Bytes> chunks, int max = 256) {
        port.readScript.assign(chunks.begin(), chunks.end());
        Bytes buffer(static_cast<std::size_t>(max) + 8, 0xCC);
        Ack a{};
        a.n = -7;
        a.ok = KB_GetAck(0, buffer.data(), max, &a.n, 100);
        a.body.assign(buffer.begin(), buffer.begin() + std::max(a.n, 0));
        for (std::size_t i = static_cast<std::size_t>(max); i < buffer.size(); ++i)
            EXPECT_EQ(buffer[i], 0xCC) << "written past max at " << i;
        return a;
    }
};

TEST_F(Frames, SentFramesAreEscapedWithTheLengthHighByteFirst) {
    FakePort& port = scripted();
    EXPECT_EQ(sent({0x81, 0x00}, port), (Bytes{0xFE, 0x00, 0x02, 0x81, 0x00, 0x83}));
    // 0xFE and 0xFF in the body; the check (2 ^ FE ^ FF = 3) needs no escape.
    EXPECT_EQ(sent({0xFE, 0xFF}, port), (Bytes{0xFE, 0x00, 0x02, 0xFF, 0x01, 0xFF, 0x00, 0x03}));
    // A check that is itself 0xFE or 0xFF is escaped too (1 ^ FF = FE, 1 ^ FE = FF).
    EXPECT_EQ(sent({0xFF}, port), (Bytes{0xFE, 0x00, 0x01, 0xFF, 0x00, 0xFF, 0x01}));
    EXPECT_EQ(sent({0xFE}, port), (Bytes{0xFE, 0x00, 0x01, 0xFF, 0x01, 0xFF, 0x00}));
    EXPECT_EQ(sent({}, port), (Bytes{0xFE, 0x00, 0x00, 0x00}));

    Bytes body(0x01FE, 0x11);
    const Bytes wire = sent(body, port);
    ASSERT_GE(wire.size(), 4u);
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 4), (Bytes{0xFE, 0x01, 0xFF, 0x01}));
    // The check is FE (length low byte; an even number of 0x11 cancels out), escaped as well.
    EXPECT_EQ(wire.size(), 4u + 0x01FE + 2);
    EXPECT_EQ(Bytes(wire.end() - 2, wire.end()), (Bytes{0xFF, 0x01}));
}

TEST_F(Frames, LongFramesGoOutInChunksOfTheConfiguredSize) {
    FakePort& port = scripted("16");
    Bytes body(300);
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<std::uint8_t>(i);
    const Bytes wire = sent(body, port);
    EXPECT_EQ(port.largestWrite, 16u);
    EXPECT_EQ(wire.size(), 1u + 2 + 300 + 2 /* FE, FF escaped */ + 1);
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 3), (Bytes{0xFE, 0x01, 0x2C}));
    // Reads ask for at most the chunk size too.
    ack(port, {});
    EXPECT_LE(port.largestRead, 16u);
}

TEST_F(Frames, RejectedSendArguments) {
    FakePort& port = scripted();
    const std::uint8_t body[2] = {0x81, 0x00};
    EXPECT_EQ(KB_SendCmd(0, nullptr, 2), 0);
    EXPECT_EQ(KB_SendCmd(0, body, -1), 0);
    EXPECT_EQ(KB_SendCmd(0, body, 0x10000), 0);
    EXPECT_EQ(KB_SendCmd(1, body, 2), 0);
    EXPECT_EQ(KB_SendCmd(-1, body, 2), 0);
    EXPECT_TRUE(port.written.empty());
}

TEST_F(Frames, ReceptionEdgeCases) {
    FakePort& port = scripted();
    const Bytes good{0xFE, 0x00, 0x02, 0x81, 0x00, 0x83};
    struct Case {
        const char* name;
        std::vector<Bytes> chunks;
        int max;
        int n;  // 0: refused
        Bytes body;
    };
    Bytes noise2000(2000, 0x55), noise2001(2001, 0x55);
    Bytes afterNoise = noise2000, afterTooMuch = noise2001;
    afterNoise.insert(afterNoise.end(), good.begin(), good.end());
    afterTooMuch.insert(afterTooMuch.end(), good.begin(), good.end());
    std::vector<Bytes> oneByOne;
    for (std::uint8_t b : good) oneByOne.push_back({b});
    const std::vector<Case> cases = {
        {"plain frame", {good}, 256, 2, {0x81, 0x00}},
        {"frame split into single bytes", oneByOne, 256, 2, {0x81, 0x00}},
        {"escaped body bytes", {{0xFE, 0x00, 0x02, 0xFF, 0x01, 0xFF, 0x00, 0x03}}, 256, 2, {0xFE, 0xFF}},
        {"2000 bytes before the start", {afterNoise}, 256, 2, {0x81, 0x00}},
        {"2001 bytes before the start", {afterTooMuch}, 256, 0, {}},
        {"new start mid-frame restarts", {{0xFE, 0x00, 0x05, 0x01, 0x02, 0xFE, 0x00, 0x02, 0x81, 0x00, 0x83}}, 256,
         2, {0x81, 0x00}},
        {"escaped start mid-frame restarts", {{0xFE, 0x00, 0x03, 0x09, 0xFF, 0xFE, 0x00, 0x02, 0x81, 0x00, 0x83}},
         256, 2, {0x81, 0x00}},
        {"start in the length restarts", {{0xFE, 0x00, 0xFE, 0x00, 0x02, 0x81, 0x00, 0x83}}, 256, 2, {0x81, 0x00}},
        {"FF then another byte aborts", {{0xFE, 0x00, 0x02, 0xFF, 0x02, 0x00, 0x83}}, 256, 0, {}},
        {"wrong check", {{0xFE, 0x00, 0x02, 0x81, 0x00, 0x84}}, 256, 0, {}},
        {"length above max", {{0xFE, 0x00, 0x03, 0x01, 0x02, 0x03, 0x03}}, 2, 0, {}},
        {"length 0xFFFF", {{0xFE, 0xFF, 0x00, 0xFF, 0x00, 0x01}}, 256, 0, {}},
        {"frame ends early", {{0xFE, 0x00, 0x04, 0x01}}, 256, 0, {}},
        {"nothing comes", {}, 256, 0, {}},
        {"endless starts", {Bytes(5000, 0xFE)}, 256, 0, {}},
        {"empty body", {{0xFE, 0x00, 0x00, 0x00}}, 256, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Ack a = ack(port, c.chunks, c.max);
        EXPECT_EQ(a.ok, c.n > 0 ? 1 : 0);
        EXPECT_EQ(a.n, c.n);
        EXPECT_EQ(a.body, c.body);
    }
}

TEST_F(Frames, EndlessStreamsEndTheReception) {
    FakePort& port = scripted();
    for (std::uint8_t fill : {0xFE, 0x55}) {
        SCOPED_TRACE(static_cast<int>(fill));
        port.readForever = fill;
        const int readsBefore = port.readCalls;
        EXPECT_EQ(ack(port, {}).ok, 0);
        EXPECT_LT(port.readCalls - readsBefore, 40);  // about 2500 values in pieces of 200
        EXPECT_EQ(KB_SendCmd(0, nullptr, 0), 1);      // the drain before a send ends as well
    }
}

TEST_F(Frames, PluginClaimingMoreThanAskedIsNoReply) {
    FakePort& port = scripted();
    port.readReturnsMore = true;
    EXPECT_EQ(ack(port, {}).ok, 0);
}

TEST_F(Frames, GetAckArguments) {
    FakePort& port = scripted();
    std::uint8_t buffer[8];
    int n = 5;
    EXPECT_EQ(KB_GetAck(0, buffer, 8, nullptr, 10), 0);
    EXPECT_EQ(KB_GetAck(0, nullptr, 8, &n, 10), 0);
    EXPECT_EQ(n, 0);
    n = 5;
    EXPECT_EQ(KB_GetAck(1, buffer, 8, &n, 10), 0);
    EXPECT_EQ(n, 5);  // untouched for a bad index
    (void)port;
}

TEST_F(Frames, DeviceInfoNeedsTheWholeRecord) {
    FakePort& port = scripted();
    Bytes full{0x81, 0x01, 'A', 'X', 'E', 'V', 0x17, 0x40, 0, 0, 0x02, 0x01, 0x05, 0x03, 0xDE, 0xAD, 0xBE, 0xEF};
    full.resize(24, 0x77);
    port.repliesAfterWrite = {vexa::sim::encodeBootFrame(full)};
    BootDeviceInfo info{};
    ASSERT_EQ(KB_GetDeviceInfo(0, &info), 1);
    EXPECT_EQ(port.written, (Bytes{0xFE, 0x00, 0x02, 0x81, 0x00, 0x83}));
    EXPECT_EQ(info.series, 0x56455841u);
    EXPECT_EQ(info.model, 0x4017u);
    EXPECT_EQ(info.hardwareVersion, 0x0102);
    EXPECT_EQ(info.firmwareVersion, 0x0305);
    EXPECT_EQ(Bytes(info.serial, info.serial + 4), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));

    const std::vector<Bytes> refused = {
        {0x81, 0x01},                    // status only: nothing to fill the record with
        Bytes(full.begin(), full.end() - 1),  // one byte short
        {0x81, 0x02, 0x01, 0x02},        // device error
        {0x80, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // other command
        Bytes(81, 0x81),                 // longer than the reply buffer
    };
    for (const Bytes& reply : refused) {
        SCOPED_TRACE(reply.size());
        port.repliesAfterWrite = {vexa::sim::encodeBootFrame(reply)};
        std::memset(&info, 0x5A, sizeof info);
        EXPECT_EQ(KB_GetDeviceInfo(0, &info), 0);
        const Bytes zero(sizeof info, 0);
        EXPECT_EQ(std::memcmp(&info, zero.data(), sizeof info), 0) << "record not zeroed";
    }
    std::memset(&info, 0x5A, sizeof info);
    EXPECT_EQ(KB_GetDeviceInfo(1, &info), 0);
    EXPECT_EQ(info.series, 0x5A5A5A5Au);  // untouched for a bad index
    EXPECT_EQ(KB_GetDeviceInfo(0, nullptr), 0);
}

TEST_F(Frames, BootVersionCopiesWhatCameAndZeroesTheRest) {
    FakePort& port = scripted();
    BootVersionInfo v{};
    // Something stale is waiting: it is drained before the command goes out.
    port.readScript = {vexa::sim::encodeBootFrame({0x80, 0x01, 0x99, 0x99, 0x99})};
    port.repliesAfterWrite = {vexa::sim::encodeBootFrame({0x80, 0x01, 0x34, 0x12, 0xAA})};
    std::memset(&v, 0x5A, sizeof v);
    ASSERT_EQ(KB_GetBootVer(0, &v), 1);
    EXPECT_EQ(v.version, 0x1234);
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&v);
    EXPECT_EQ(raw[2], 0);
    EXPECT_EQ(raw[3], 0);
    EXPECT_EQ(raw[4], 0xAA);
    for (std::size_t i = 5; i < sizeof v; ++i) EXPECT_EQ(raw[i], 0) << i;

    Bytes full{0x80, 0x01};
    for (int i = 2; i < 80; ++i) full.push_back(static_cast<std::uint8_t>(i));
    port.repliesAfterWrite = {vexa::sim::encodeBootFrame(full)};
    ASSERT_EQ(KB_GetBootVer(0, &v), 1);
    EXPECT_EQ(v.version, 0x0302);
    EXPECT_EQ(raw[4], 4);
    EXPECT_EQ(raw[79], 79);
    EXPECT_EQ(v.values[0], 0x07060504u);

    port.repliesAfterWrite = {vexa::sim::encodeBootFrame({0x80, 0x02, 0x00, 0x02})};
    EXPECT_EQ(KB_GetBootVer(0, &v), 0);
    EXPECT_EQ(v.version, 0);
}

TEST_F(Frames, ResetSendsItsCommandAndIgnoresTheAnswer) {
    FakePort& port = scripted();
    EXPECT_EQ(KB_ResetDevice(0), 1);
    EXPECT_EQ(port.written, (Bytes{0xFE, 0x00, 0x02, 0x85, 0x00, 0x87}));
    port.writeMode = FakePort::WriteMode::Fail;
    EXPECT_EQ(KB_ResetDevice(0), 0);
    EXPECT_EQ(KB_ResetDevice(3), 0);
}

TEST_F(Frames, SingleCommandsAgainstTheSimulatedBootLoader) {
    openWithDevices();
    BootDeviceInfo info{};
    ASSERT_EQ(KB_GetDeviceInfo(0, &info), 1);
    EXPECT_EQ(info.series, 0x56455841u);
    EXPECT_EQ(Bytes(info.serial, info.serial + 4), (Bytes{0x12, 0x34, 0xAB, 0xCD}));
    BootVersionInfo v{};
    EXPECT_EQ(KB_GetBootVer(0, &v), 1);
    EXPECT_EQ(v.version, 0x0103);
    EXPECT_EQ(KB_ResetDevice(0), 1);
    EXPECT_EQ(ports.front()->device(1).resets(), 1u);

    // A raw exchange: an unknown command is answered with an error status.
    const std::uint8_t cmd[] = {0x42, 0x00};
    ASSERT_EQ(KB_SendCmd(0, cmd, 2), 1);
    std::uint8_t reply[16];
    int n = 0;
    ASSERT_EQ(KB_GetAck(0, reply, sizeof reply, &n, 500), 1);
    EXPECT_EQ(Bytes(reply, reply + n), (Bytes{0x42, 0x02, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace fwtest
