// Byte-exact requests and the checks every reply parser makes, per wire.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "main/CComMain.h"
#include "main/CEthMain.h"
#include "main/CUsbMain.h"
#include "msg/CComMsg.h"
#include "msg/CUsbMsg.h"
#include "msg/FrameChecks.h"
#include "msg/vexa_rc.h"
#include "wire/Modbus.h"

using namespace vexa;
using Bytes = std::vector<std::uint8_t>;

namespace {

void setReply(CVEXAMsg& m, const Bytes& b) {
    std::memcpy(m.recvBuffer(), b.data(), b.size());
    m.setRecvLength(static_cast<int>(b.size()));
}

Bytes rtu(Bytes body) {
    std::uint16_t c = wire::crc16(body.data(), body.size());
    body.push_back(static_cast<std::uint8_t>(c));
    body.push_back(static_cast<std::uint8_t>(c >> 8));
    return body;
}

Bytes ascii(const Bytes& body, bool goodLrc = true) {
    static const char* hex = "0123456789ABCDEF";
    Bytes out{':'};
    auto put = [&](std::uint8_t b) {
        out.push_back(static_cast<std::uint8_t>(hex[b >> 4]));
        out.push_back(static_cast<std::uint8_t>(hex[b & 15]));
    };
    for (auto b : body) put(b);
    put(static_cast<std::uint8_t>(wire::lrc(body.data(), body.size()) + (goodLrc ? 0 : 1)));
    out.push_back('\r');
    out.push_back('\n');
    return out;
}

Bytes hidFrame(std::uint8_t cmd, const Bytes& payload) {
    Bytes f{0x7E, 0, cmd};
    for (auto b : payload) f.push_back(b);
    f[1] = static_cast<std::uint8_t>(f.size() + 2);
    f.push_back(xor8(f.data(), f.size()));
    f.push_back(0x7E);
    return f;
}

}  // namespace

TEST(FrameChecks, ModbusCrcAndLrcVectors) {
    Bytes req{0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(rtu(req), (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));
    // LRC of 01 03 00 00 00 01 is 0x100 - 5 = 0xFB.
    EXPECT_EQ(wire::lrc(req.data(), req.size()), 0xFB);
}

TEST(UsbWire, FixedFramesAreByteExact) {
    CUsbMain m;
    auto& msg = static_cast<CUsbMsg&>(m.msg());
    msg.SetRebootDevMsg();
    EXPECT_EQ(msg.sendBuffer(), (Bytes{0x7E, 0x05, 0x04, 0x7F, 0x7E}));
    msg.SetIdentifyMsg();
    EXPECT_EQ(msg.sendBuffer(), (Bytes{0x7E, 0x05, 0x01, 0x7A, 0x7E}));
    msg.SetRebootSubDevMsg(3);
    EXPECT_EQ(msg.sendBuffer(), (Bytes{0xA1, 0x07, 0x00, 0x03, 0x00, 0x00, 0x0A}));
    msg.SetSearchSubDevMsg(4);
    EXPECT_EQ(msg.sendBuffer(), hidFrame(0x10, {5}));
    // The main-property write names its block by command (address >> 6) and carries no offset.
    std::uint8_t v = 0x21;
    msg.SetWriteMainPropMsg(2 * 64 + 1, 1, &v, "");
    EXPECT_EQ(msg.sendBuffer(), hidFrame(0x02, {0x21}));
}

TEST(UsbWire, ReadRequestsCapTheRegisterCount) {
    CUsbMain m;
    m.msg().SetReadSubPropMsg(2, 4, 128, 64);
    EXPECT_EQ(m.msg().sendBuffer(), hidFrame(0x11, {2, 128, 26}));
    m.msg().SetReadSubDataMsg(2, 2, 64, 64);
    EXPECT_EQ(m.msg().sendBuffer(), hidFrame(0x11, {2, 64, 24}));
    m.msg().SetReadSubDataMsg(2, 0, 0, 8);
    EXPECT_EQ(m.msg().sendBuffer(), hidFrame(0x11, {2, 0, 4}));
}

TEST(UsbWire, CustomFrameIsCompletedAndLongOnesRefused) {
    CUsbMain m;
    Bytes caller{0x7E, 0x00, 0x04};
    ASSERT_EQ(m.msg().SetCustomMsg(caller.data(), 3, 0), 5);
    EXPECT_EQ(m.msg().sendBuffer(), (Bytes{0x7E, 0x05, 0x04, 0x7F, 0x7E}));
    // A frame over 64 bytes does not fit one report: the transport refuses it, nothing is cut.
    Bytes big(80, 0x11);
    big[0] = 0x7E;
    m.msg().SetCustomMsg(big.data(), 80, 0);
    EXPECT_EQ(m.transfer().Send(m.msg()), 0);
}

TEST(UsbWire, ReplyChecks) {
    CUsbMain m;
    CVEXAMsg& msg = m.msg();
    msg.SetReadMainPropMsg(2, 64);
    setReply(msg, hidFrame(0xFF, {}));
    EXPECT_EQ(msg.ParseReply(), RC_DEVICE_ERROR);
    // A corrupted check, a length byte beyond what arrived, a missing closing 0x7E: all bad replies.
    Bytes good = hidFrame(0x02, {5, 0x85, 0x80, 0x25, 0, 0});
    Bytes bad = good;
    bad[4] ^= 0x40;
    setReply(msg, bad);
    EXPECT_EQ(msg.ParseReply(), RC_BAD_REPLY);
    bad = good;
    bad[1] = 60;
    setReply(msg, bad);
    EXPECT_EQ(msg.ParseReply(), RC_BAD_REPLY);
    setReply(msg, Bytes(good.begin(), good.begin() + 6));
    EXPECT_EQ(msg.ParseReply(), RC_BAD_REPLY);
    setReply(msg, good);
    EXPECT_EQ(msg.ParseReply(), 0);
}

TEST(UsbWire, MainBlockReplyLayout) {
    CUsbMain m;
    m.msg().SetReadMainPropMsg(2, 64);
    // CANopen address 5, baud index with its top bit set, user baud 0x00002580 little-endian.
    setReply(m.msg(), hidFrame(0x02, {5, 0x85, 0x80, 0x25, 0x00, 0x00}));
    ASSERT_EQ(m.TakeBlockReply(), 0);
    EXPECT_EQ(m.FindItem("MAIN_CANOPEN_ADDR")->text, "5");
    EXPECT_EQ(m.FindItem("MAIN_CANBAUD_INDEX")->text, "255");
    EXPECT_EQ(m.FindItem("MAIN_USER_CANBAUD")->text, "9600");
}

TEST(EthWire, RequestsAreByteExact) {
    CEthMain m;
    ASSERT_FALSE(m.OpenEth(9, 0, "127.0.0.1", "not a mac", 0, 0, 100));
    m.msg().SetSearchMsg();
    EXPECT_EQ(m.msg().sendBuffer(), (Bytes{0xA1, 0x15, 0x02, 0x00, 0x00, 0xFF}));
    m.msg().SetReadMainPropMsg(1, 256);
    EXPECT_EQ(m.msg().sendBuffer(), (Bytes{0xA1, 0x01, 0x01, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0x0A}));
    // The password is cut to 16 bytes.
    std::uint8_t data[2] = {0xAB, 0xCD};
    m.msg().SetWriteMainPropMsg(40, 2, data, "0123456789abcdefXYZ");
    const Bytes& w = m.msg().sendBuffer();
    ASSERT_EQ(w.size(), 13u + 16 + 2);
    EXPECT_EQ(std::string(w.begin() + 13, w.begin() + 29), "0123456789abcdef");
    EXPECT_EQ(w[29], 0xAB);
    // A short password is zero-padded.
    m.msg().SetWriteMainPropMsg(40, 2, data, "pw");
    EXPECT_EQ(m.msg().sendBuffer()[15], 0);
}

TEST(EthWire, ReplyChecks) {
    CEthMain m;
    CVEXAMsg& msg = m.msg();
    msg.SetReadMainPropMsg(0, 256);
    Bytes hdr{0xA1, 0x81, 0, 0, 0, 128, 0, 0, 0, 0, 0, 0, 0x0A};
    setReply(msg, hdr);
    EXPECT_EQ(msg.ParseReply(), RC_ERROR_REPLY);
    hdr[1] = 0x04;  // another command
    setReply(msg, hdr);
    EXPECT_EQ(msg.ParseReply(), RC_BAD_REPLY);
    // A reply that stops short of the block must not fill items from older bytes.
    hdr[1] = 0x01;
    Bytes shortReply = hdr;
    shortReply.resize(13 + 40, 0x55);
    setReply(msg, shortReply);
    EXPECT_EQ(m.TakeBlockReply(), RC_BAD_REPLY);
    EXPECT_EQ(m.FindItem("MAIN_NAME")->text, "");
    Bytes full = hdr;
    full.resize(13 + 256, 0);
    std::memcpy(&full[13], "coupler", 7);
    full[13 + 32] = 192;
    full[13 + 33] = 168;
    full[13 + 34] = 1;
    full[13 + 35] = 7;
    setReply(msg, full);
    EXPECT_EQ(m.TakeBlockReply(), 0);
    EXPECT_EQ(m.FindItem("MAIN_NAME")->text, "coupler");
    EXPECT_EQ(m.FindItem("MAIN_IP")->text, "192.168.1.7");
}

TEST(EthWire, SearchReplyAndRawCopyBounds) {
    CEthMain m;
    EthSearchRecord r;
    Bytes reply(24, 0);
    reply[1] = 2;
    reply[3] = 2;
    reply[4] = 0xAB;
    reply[12] = 9;
    setReply(m.msg(), Bytes(reply.begin(), reply.begin() + 20));
    EXPECT_EQ(m.msg().ParseEthSearchReply(r), RC_BAD_REPLY);
    setReply(m.msg(), reply);
    ASSERT_EQ(m.msg().ParseEthSearchReply(r), 0);
    EXPECT_EQ(r.mac, "AB:00:00:00:00:00");
    EXPECT_EQ(r.type, 9);
    // "Data only" of a 10-byte datagram is nothing, not a negative length.
    setReply(m.msg(), Bytes(10, 1));
    std::uint8_t out[64];
    EXPECT_EQ(m.msg().CopyReceived(out, sizeof out, true), 0);
    EXPECT_EQ(m.msg().CopyReceived(out, 4, false), 4);
}

TEST(SerialWire, RequestsAreByteExact) {
    CComMain m;
    m.SetStation(3);
    m.msg().SetSearchStationMsg(7);
    EXPECT_EQ(m.msg().sendBuffer(), rtu({7, 0x46, 'K', 'V', 'M', 'B', 0x01}));
    m.msg().SetReadMainPropMsg(0, 64);
    EXPECT_EQ(m.msg().sendBuffer(), rtu({3, 0x47, 'K', 'V', 'M', 'B', 0x01}));
    m.SetFraming(kFramingAscii);
    m.msg().SetRebootDevMsg();
    EXPECT_EQ(m.msg().sendBuffer(), ascii({3, 0x47, 'K', 'V', 'M', 'B', 0x03}));
    // Data writes go only to digital and analog outputs; an input block builds nothing.
    std::uint8_t d[2] = {0, 1};
    EXPECT_EQ(m.msg().SetWriteSubDataMsg(4, 64, 2, 0, nullptr, d), 0);
    EXPECT_GT(m.msg().SetWriteSubDataMsg(4, 96, 2, 0, nullptr, d), 0);
}

TEST(SerialWire, MalformedFramesAreRefused) {
    CComMain m;
    m.SetStation(1);
    m.msg().SetRebootDevMsg();
    setReply(m.msg(), {0xFF, 0xFF});  // the CRC of an empty frame: still not a frame
    EXPECT_EQ(m.msg().ParseReply(), RC_BAD_REPLY);
    Bytes ok = rtu({1, 0x47, 'K', 'V', 'M', 'B', 0x03});
    setReply(m.msg(), ok);
    EXPECT_EQ(m.msg().ParseReply(), 0);
    ok[3] ^= 1;
    setReply(m.msg(), ok);
    EXPECT_EQ(m.msg().ParseReply(), RC_BAD_REPLY);
    // An exception in RTU reports the function byte.
    setReply(m.msg(), rtu({1, 0xC7, 0x04}));
    EXPECT_EQ(m.msg().ParseReply(), 0xC7);

    m.SetFraming(kFramingAscii);
    m.msg().SetRebootDevMsg();
    Bytes a = ascii({1, 0x47, 'K', 'V', 'M', 'B', 0x03});
    setReply(m.msg(), a);
    EXPECT_EQ(m.msg().ParseReply(), 0);
    setReply(m.msg(), ascii({1, 0x47, 'K', 'V', 'M', 'B', 0x03}, false));
    EXPECT_EQ(m.msg().ParseReply(), RC_BAD_REPLY);
    setReply(m.msg(), Bytes(a.begin() + 1, a.end()));  // no ':'
    EXPECT_EQ(m.msg().ParseReply(), RC_BAD_REPLY);
    Bytes odd = a;
    odd.insert(odd.begin() + 3, 'A');  // an odd number of hex digits
    setReply(m.msg(), odd);
    EXPECT_EQ(m.msg().ParseReply(), RC_BAD_REPLY);
    Bytes nonHex = a;
    nonHex[3] = 'G';
    setReply(m.msg(), nonHex);
    EXPECT_EQ(m.msg().ParseReply(), RC_BAD_REPLY);
    // An exception in ASCII reports the exception code.
    setReply(m.msg(), ascii({1, 0xC7, 0x04}));
    EXPECT_EQ(m.msg().ParseReply(), 4);
}

TEST(SerialWire, SubSearchTakesOnlyTheRecordsThatArrived) {
    CComMain m;
    m.SetStation(5);
    m.msg().SetSearchSubModulesMsg();
    // The count says 20, but only 3 records follow.
    Bytes body{5, 0x46, 'K', 'V', 'M', 'B', 0x02, 20};
    for (int i = 1; i <= 3; ++i) {
        Bytes rec(16, 0);
        rec[0] = static_cast<std::uint8_t>(i);
        rec[1] = static_cast<std::uint8_t>(i);
        rec[4] = 0x40;
        rec[5] = 0x17;
        body.insert(body.end(), rec.begin(), rec.end());
    }
    setReply(m.msg(), rtu(body));
    Reply r;
    ASSERT_EQ(m.msg().ParseReply(&r), 0);
    m.PlaceSlots(r);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m.slot(i).address, i + 1 + 5 - 1) << i;
        EXPECT_EQ(m.slot(i).type, 0x4017);
        EXPECT_EQ(m.slot(i).origin, 1);
    }
    for (int i = 3; i < 8; ++i) EXPECT_EQ(m.slot(i).address, 0) << i;
}

TEST(SerialWire, StationSearchReply) {
    CComMain m;
    Bytes body{9, 0x46, 'K', 'V', 'M', 'B', 0x01, 0, 0x4B, 0x58, 0x90, 0x10, 0, 1, 1, 0x20, 1, 5, 1, 2, 3, 4};
    setReply(m.msg(), rtu(body));
    RsSearchRecord r;
    ASSERT_EQ(m.msg().ParseStationSearchReply(r), 0);
    EXPECT_EQ(r.station, 9);
    EXPECT_EQ(r.id.type, 0x9010);
    EXPECT_EQ(r.id.hardVer, 0x0120);
    EXPECT_EQ(r.id.serial[3], 4);
    body[6] = 2;
    setReply(m.msg(), rtu(body));
    EXPECT_EQ(m.msg().ParseStationSearchReply(r), RC_BAD_REPLY);
    setReply(m.msg(), rtu(Bytes(body.begin(), body.begin() + 12)));
    EXPECT_EQ(m.msg().ParseStationSearchReply(r), RC_BAD_REPLY);
}

// Every register reply is bounded twice: by the count its own header gives and by what the
// request asked for. Short either way, it is a bad reply and hands nothing on.
namespace {

Bytes words(int count, std::uint8_t value) {
    Bytes b;
    for (int i = 0; i < count; ++i) b.insert(b.end(), {0, value});
    return b;
}

Bytes cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct BoundCase {
    const char* why;
    int wire;                         // 0 serial RTU, 1 Ethernet, 2 USB
    void (*build)(CVEXAMsg&);         // the request
    Bytes reply;                      // framed by the test for its wire
    int rc;
    int data;                         // register bytes handed on
};

Bytes framed(int wire, const Bytes& body) {
    if (wire == 0) return rtu(body);
    if (wire == 2) return hidFrame(body[0], Bytes(body.begin() + 1, body.end()));
    return body;
}

Bytes ethHeader(std::uint8_t start, std::uint8_t count) { return {0xA1, 0x04, 2, start, 0, count, 0, 0, 0, 0, 0, 0, 0x0A}; }

void serialData(CVEXAMsg& m) { m.SetReadSubDataMsg(2, 0, 0, 16); }
void serialProp(CVEXAMsg& m) { m.SetReadSubPropMsg(2, 4, 128, 16); }
void serialByAddr(CVEXAMsg& m) { m.SetReadSubPropByAddrMsg(2, 130, 3); }
void ethProp(CVEXAMsg& m) { m.SetReadSubPropMsg(2, 4, 128, 64); }
void usbProp(CVEXAMsg& m) { m.SetReadSubPropMsg(2, 4, 128, 16); }

const Bytes kKvmb{'K', 'V', 'M', 'B'};

const BoundCase kBoundCases[] = {
    {"fc3 whole", 0, serialData, cat({2, 0x03, 16}, words(8, 1)), RC_OK, 16},
    {"fc3 count beyond the frame", 0, serialData, cat({2, 0x03, 16}, words(5, 1)), RC_BAD_REPLY, 0},
    {"fc3 fewer than asked", 0, serialData, cat({2, 0x03, 10}, words(5, 1)), RC_BAD_REPLY, 0},
    {"fc3 no count", 0, serialData, {2, 0x03}, RC_BAD_REPLY, 0},
    {"private whole", 0, serialProp, cat(cat({2, 0x47}, kKvmb), cat({0x04, 16}, words(8, 1))), RC_OK, 16},
    {"private count beyond the frame", 0, serialProp, cat(cat({2, 0x47}, kKvmb), cat({0x04, 16}, words(2, 1))), RC_BAD_REPLY, 0},
    {"private fewer than asked", 0, serialProp, cat(cat({2, 0x47}, kKvmb), cat({0x04, 4}, words(2, 1))), RC_BAD_REPLY, 0},
    {"private no count", 0, serialProp, cat(cat({2, 0x47}, kKvmb), {0x04}), RC_BAD_REPLY, 0},
    {"by address fewer than asked", 0, serialByAddr, cat(cat({2, 0x47}, kKvmb), cat({0x04, 4}, words(2, 1))), RC_BAD_REPLY, 0},
    {"by address more than asked", 0, serialByAddr, cat(cat({2, 0x47}, kKvmb), cat({0x04, 8}, words(4, 1))), RC_OK, 6},
    {"eth whole", 1, ethProp, cat(ethHeader(128, 32), words(32, 1)), RC_OK, 64},
    {"eth cut short", 1, ethProp, cat(ethHeader(128, 32), words(20, 1)), RC_BAD_REPLY, 0},
    {"eth header only", 1, ethProp, ethHeader(128, 32), RC_BAD_REPLY, 0},
    {"usb whole", 2, usbProp, cat({0x11, 2, 128, 8}, words(8, 1)), RC_OK, 16},
    {"usb count beyond the frame", 2, usbProp, cat({0x11, 2, 128, 8}, words(3, 1)), RC_BAD_REPLY, 0},
    {"usb fewer than asked", 2, usbProp, cat({0x11, 2, 128, 3}, words(3, 1)), RC_BAD_REPLY, 0},
};

}  // namespace

TEST(ReplyBounds, RegisterRepliesAreBoundedByTheirCountAndTheRequest) {
    for (const BoundCase& k : kBoundCases) {
        std::unique_ptr<CVEXAMain> m;
        if (k.wire == 0) {
            auto com = std::make_unique<CComMain>();
            com->SetStation(1);
            m = std::move(com);
        } else if (k.wire == 1) {
            m = std::make_unique<CEthMain>();
        } else {
            m = std::make_unique<CUsbMain>();
        }
        k.build(m->msg());
        setReply(m->msg(), framed(k.wire, k.reply));
        Reply r;
        EXPECT_EQ(m->msg().ParseReply(&r), k.rc) << k.why;
        EXPECT_EQ(r.data.size(), static_cast<std::size_t>(k.data)) << k.why;
    }
}

// A coupler block reply is taken only whole: a count byte that promises more than the frame
// holds, or less than the block, leaves every item as it was.
TEST(ReplyBounds, SerialMainBlockIsTakenOnlyWhole) {
    CComMain m;
    m.SetStation(1);
    Bytes block(64, 0);
    std::memcpy(block.data(), "coupler", 7);
    const Bytes head = cat(cat({1, 0x47}, kKvmb), {0x01});
    struct {
        const char* why;
        Bytes reply;
        int rc;
    } cases[] = {
        {"count beyond the frame", cat(cat(head, {64}), Bytes(block.begin(), block.begin() + 40)), RC_BAD_REPLY},
        {"count short of the block", cat(cat(head, {40}), block), RC_BAD_REPLY},
        {"no count", head, RC_BAD_REPLY},
        {"whole", cat(cat(head, {64}), block), RC_OK},
    };
    for (const auto& k : cases) {
        m.msg().SetReadMainPropMsg(0, 64);
        setReply(m.msg(), rtu(k.reply));
        EXPECT_EQ(m.TakeBlockReply(), k.rc) << k.why;
        EXPECT_EQ(m.FindItem("MAIN_NAME")->text, k.rc ? "" : "coupler") << k.why;
    }
}

TEST(ReplyBounds, EthMainBlockIsNotShorterThanItsCount) {
    CEthMain m;
    m.msg().SetReadMainPropMsg(0, 256);
    // The datagram carries the block but its header counts more words than came.
    Bytes reply{0xA1, 0x01, 0, 0, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0x0A};
    reply.resize(13 + 256, 0);
    std::memcpy(&reply[13], "coupler", 7);
    setReply(m.msg(), reply);
    EXPECT_EQ(m.TakeBlockReply(), RC_BAD_REPLY);
    EXPECT_EQ(m.FindItem("MAIN_NAME")->text, "");
}
