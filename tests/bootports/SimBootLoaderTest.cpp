// The simulated rack's boot loaders on their own wires, with hand-built frames: an RS-485
// coupler's boot mode (private functions 0x08/0x09/0x0A) and a sub module's boot frame stream in
// its data registers 1 and 2 over USB and Ethernet.
#include <gtest/gtest.h>

#include "WireClient.h"
#include "sim/SimRack.h"
#include "sim/boot/BootLoaderSim.h"

using namespace vexa::sim;
using namespace vexa::simtest;

namespace {

// The device-info request [81 00] as a boot frame.
const Bytes kDeviceInfoFrame = {0xFE, 0x00, 0x02, 0x81, 0x00, 0x83};

Bytes priv(std::uint8_t station, std::uint8_t function, std::uint8_t sub, const Bytes& args = {}) {
    Bytes b = {station, function, 'K', 'V', 'M', 'B', sub};
    for (std::uint8_t x : args) b.push_back(x);
    return b;
}

// The start of the device-info reply a boot loader sends: start, length 24, 81 01, "VEXA".
bool startsDeviceInfoReply(const Bytes& b, std::size_t at) {
    const Bytes head = {0xFE, 0x00, 0x18, 0x81, 0x01, 'A', 'X', 'E', 'V'};
    return b.size() >= at + head.size() && std::equal(head.begin(), head.end(), b.begin() + static_cast<long>(at));
}

TEST(SimBootLoader, Rs485CouplerEntersBootModeWithThePasswordIdentifyShows) {
    SimRack rack(RackOptions{.liveData = false});
    SimCoupler* c = rack.addSerial({.station = 3, .subs = {{1, subIdentity(0x4017)}}});
    ASSERT_EQ(rack.start(), kSimOk);
    LineClient line(rack.serialPath(0));
    auto ask = [&](const Bytes& body) {
        line.send(withCrc(body));
        return line.receive();
    };

    EXPECT_EQ(ask(priv(3, 0x47, 0x09, {10})), withCrc({3, 0xC7, 0x01})) << "no boot bytes before boot mode";
    const Bytes identify = ask(priv(3, 0x47, 0x01));
    ASSERT_GE(identify.size(), 40u);
    EXPECT_EQ(std::string(identify.begin() + 24, identify.begin() + 30), "123456");
    EXPECT_EQ(ask(priv(3, 0x47, 0x08, {'n', 'o', 0})), withCrc({3, 0xC7, 0x03})) << "another text is refused";
    EXPECT_FALSE(c->inBootLoader(0));

    EXPECT_EQ(ask(priv(3, 0x47, 0x08, {'1', '2', '3', '4', '5', '6', 0})), withCrc(priv(3, 0x47, 0x08)));
    EXPECT_TRUE(c->inBootLoader(0));
    const Bytes probe = ask(priv(3, 0x46, 0x01));
    ASSERT_GE(probe.size(), 12u);
    EXPECT_EQ(probe[10] << 8 | probe[11], kBootLoaderType) << "the boot loader reports type 0x9999";
    EXPECT_EQ(ask(priv(3, 0x46, 0x02)), withCrc({3, 0xC6, 0x01})) << "no sub modules in boot mode";

    Bytes write = {static_cast<std::uint8_t>(kDeviceInfoFrame.size())};
    write.insert(write.end(), kDeviceInfoFrame.begin(), kDeviceInfoFrame.end());
    EXPECT_EQ(ask(priv(3, 0x47, 0x0A, write)), withCrc(priv(3, 0x47, 0x0A, {6})));
    const Bytes read = ask(priv(3, 0x47, 0x09, {100}));
    ASSERT_GE(read.size(), 8u + 2);
    EXPECT_GT(read[7], 24) << "the whole reply frame fits one read";
    EXPECT_EQ(read.size(), 8u + read[7] + 2);
    EXPECT_TRUE(startsDeviceInfoReply(read, 8));
    EXPECT_EQ(ask(priv(3, 0x47, 0x09, {100})), withCrc(priv(3, 0x47, 0x09, {0}))) << "nothing more to say";
    bool seen = c->withBootLoader(0, [](BootLoaderSim& b) { EXPECT_EQ(b.requests().size(), 1u); });
    EXPECT_TRUE(seen);
}

TEST(SimBootLoader, UsbSubModuleStreamUsesRegistersOneAndTwoAndFillsReadsWithZeros) {
    SimRack rack(RackOptions{.liveData = false});
    SimCoupler* c = rack.addHid({.subs = {{3, subIdentity(0x4017)}}});
    ASSERT_EQ(rack.start(), kSimOk);
    HidClient h(c->address());
    EXPECT_FALSE(c->withBootLoader(3, [](BootLoaderSim&) {})) << "no boot loader yet";
    ASSERT_TRUE(h.exchange(0x13, {3, 0xFF, 1, 0xAA, 0xAA}));
    ASSERT_TRUE(c->inBootLoader(3));

    // The same request twice: at register 1 the last byte only pads the odd count.
    Bytes odd = {255, 3, 1};
    odd.insert(odd.end(), kDeviceInfoFrame.begin(), kDeviceInfoFrame.end());
    odd.push_back(0x77);
    Bytes even = {255, 3, 2};
    even.insert(even.end(), kDeviceInfoFrame.begin(), kDeviceInfoFrame.end());
    auto r = h.exchange(0x80, odd);
    ASSERT_TRUE(r && (*r)[3] == 0x80);
    r = h.exchange(0x80, even);
    ASSERT_TRUE(r && (*r)[3] == 0x80);
    c->withBootLoader(3, [](BootLoaderSim& b) {
        EXPECT_EQ(b.requests().size(), 2u);
        EXPECT_EQ(b.badFrames(), 0u) << "the padding byte never reached the boot loader";
    });

    // 33 registers at register 2, then the 66 bytes in pages.
    r = h.exchange(0x81, {3, 2, 33});
    ASSERT_TRUE(r && (*r)[3] == 0x81);
    Bytes paged;
    for (std::uint8_t at : {0, 48}) {
        auto page = h.exchange(0x82, {0, at, static_cast<std::uint8_t>(at == 0 ? 48 : 18)});
        ASSERT_TRUE(page && (*page)[3] == 0x82);
        paged.insert(paged.end(), page->begin() + 4, page->begin() + 4 + ((*page)[2] - 5));
    }
    ASSERT_EQ(paged.size(), 66u);
    EXPECT_TRUE(startsDeviceInfoReply(paged, 0)) << "the stream starts at the first byte";
    EXPECT_TRUE(startsDeviceInfoReply(paged, 28)) << "the second reply follows the first";
    EXPECT_TRUE(std::all_of(paged.begin() + 56, paged.end(), [](std::uint8_t b) { return b == 0; }));

    auto refused = h.exchange(0x81, {3, 5, 4});
    ASSERT_TRUE(refused);
    EXPECT_EQ((*refused)[3], 0xFF) << "other registers are not the boot loader's";
}

TEST(SimBootLoader, EthernetSubModuleReadsCarryTheirOwnCount) {
    SimRack rack(RackOptions{.liveData = false});
    SimCoupler* c = rack.addEthernet({.subs = {{2, subIdentity(0x2808)}}});
    ASSERT_EQ(rack.start(), kSimOk);
    UdpClient udp;
    const Identity id = subIdentity(0x2808);
    auto write = [&](std::uint8_t command, std::uint8_t start, const Bytes& data) {
        Bytes req = ethHeader(command, 2, start, 0, static_cast<std::uint8_t>((data.size() + 1) / 2), c->mac());
        req.push_back(static_cast<std::uint8_t>(id.mode >> 8));
        req.push_back(static_cast<std::uint8_t>(id.mode));
        req.insert(req.end(), id.serial.begin(), id.serial.end());
        req.insert(req.end(), data.begin(), data.end());
        udp.send(c->address(), req);
        auto reply = udp.receive(500);
        return reply && reply->bytes[1] == command;
    };
    ASSERT_TRUE(write(0x09, 0xFF, {0xAA, 0xAA}));
    ASSERT_TRUE(write(0x05, 2, kDeviceInfoFrame));

    // 3 registers at register 1: room for 5 stream bytes after the count.
    udp.send(c->address(), ethHeader(0x04, 2, 1, 0, 3, c->mac()));
    auto reply = udp.receive(500);
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->bytes.size(), 13u + 6);
    EXPECT_EQ(reply->bytes[13], 5);
    EXPECT_EQ(Bytes(reply->bytes.begin() + 14, reply->bytes.end()), (Bytes{0xFE, 0x00, 0x18, 0x81, 0x01}));
    // The rest of the frame at register 2: 33 registers leave room for 64.
    udp.send(c->address(), ethHeader(0x04, 2, 2, 0, 33, c->mac()));
    reply = udp.receive(500);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes[13], 28 - 5) << "what is left of the 28-byte frame";
}

// A reset restarts the device once its answer went out, or a second after it when nobody reads.
TEST(SimBootLoader, AResetRestartsTheDeviceOnceItsAnswerIsOut) {
    std::uint64_t now = 0;
    const Bytes reset = encodeBootFrame({0x85, 0x00});
    for (const bool readAnswer : {true, false}) {
        SCOPED_TRACE(readAnswer ? "answer read" : "answer left unread");
        BootLoaderSim b({}, [&] { return now; });
        EXPECT_FALSE(b.restartDue());
        b.write(reset.data(), reset.size());
        EXPECT_FALSE(b.restartDue()) << "the answer is still queued";
        if (readAnswer) {
            std::uint8_t out[16];
            EXPECT_EQ(b.read(out, sizeof out), encodeBootFrame({0x85, 0x01}).size());
            EXPECT_TRUE(b.restartDue());
        } else {
            now += BootLoaderSim::kRestartAfterMs - 1;
            EXPECT_FALSE(b.restartDue());
            now += 1;
            EXPECT_TRUE(b.restartDue());
        }
    }
}

}  // namespace
