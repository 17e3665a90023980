// The one framing rule both libraries apply to received serial frames, and the MAC text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wire/Coupler.h"
#include "wire/Modbus.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using vexa::wire::FrameCheck;
using vexa::wire::SerialMode;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

FrameCheck check(SerialMode mode, const Bytes& frame, Bytes* body = nullptr) {
    std::uint8_t scratch[64];
    const std::uint8_t* data = nullptr;
    std::size_t len = 0;
    const FrameCheck r = vexa::wire::unframeSerial(mode, frame.data(), frame.size(), scratch, sizeof scratch, data, len);
    if (r == FrameCheck::Ok && body) body->assign(data, data + len);
    return r;
}

// Read one holding register at unit 1: 01 03 00 00 00 01, LRC 0xFB, CRC 84 0A.
const Bytes kBody{0x01, 0x03, 0x00, 0x00, 0x00, 0x01};

TEST(WireSerialFrame, FramingRoundTripsInBothModes) {
    for (SerialMode mode : {SerialMode::Rtu, SerialMode::Ascii}) {
        const std::uint8_t head = kBody[0];
        Bytes framed;
        vexa::wire::frameSerial(mode, &head, 1, kBody.data() + 1, kBody.size() - 1, framed);
        Bytes body;
        EXPECT_EQ(check(mode, framed, &body), FrameCheck::Ok);
        EXPECT_EQ(body, kBody);
    }
    Bytes framed;
    vexa::wire::frameSerial(SerialMode::Ascii, nullptr, 0, kBody.data(), kBody.size(), framed);
    EXPECT_EQ(framed, text(":010300000001FB\r\n")) << "upper-case digits";
}

TEST(WireSerialFrame, AsciiRule) {
    struct Case {
        const char* what;
        std::string frame;
        FrameCheck want;
    };
    const Case cases[] = {
        {"well formed", ":010300000001FB\r\n", FrameCheck::Ok},
        {"lower-case digits", ":010300000001fb\r\n", FrameCheck::Ok},
        {"no colon", "010300000001FB\r\n", FrameCheck::Bad},
        {"no CR", ":010300000001FB\n", FrameCheck::Bad},
        {"no LF", ":010300000001FB\r", FrameCheck::Bad},
        {"no CR LF", ":010300000001FB", FrameCheck::Bad},
        {"LF CR swapped", ":010300000001FB\n\r", FrameCheck::Bad},
        {"odd digit count", ":010300000001FB0\r\n", FrameCheck::Bad},
        {"not a hex digit", ":01030000000GFB\r\n", FrameCheck::Bad},
        {"space inside", ":0103 0000001FB\r\n", FrameCheck::Bad},
        {"wrong LRC", ":010300000001FC\r\n", FrameCheck::Bad},
        {"nothing", "", FrameCheck::Short},
        {"two characters", "\r\n", FrameCheck::Short},
        {"delimiters only", ":\r\n", FrameCheck::Short},
        {"LRC only", ":00\r\n", FrameCheck::Short},
        {"address and LRC", ":01FF\r\n", FrameCheck::Short},
        {"address and wrong LRC", ":0100\r\n", FrameCheck::Bad},
        {"address, function, LRC", ":0103FC\r\n", FrameCheck::Ok},
    };
    for (const Case& c : cases) EXPECT_EQ(check(SerialMode::Ascii, text(c.frame)), c.want) << c.what;
}

TEST(WireSerialFrame, RtuRule) {
    struct Case {
        const char* what;
        Bytes frame;
        FrameCheck want;
    };
    const Case cases[] = {
        {"well formed", {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}, FrameCheck::Ok},
        {"CRC bytes swapped", {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x0A, 0x84}, FrameCheck::Bad},
        {"a data byte changed", {0x01, 0x03, 0x00, 0x01, 0x00, 0x01, 0x84, 0x0A}, FrameCheck::Bad},
        {"nothing", {}, FrameCheck::Short},
        {"one byte", {0x01}, FrameCheck::Short},
        {"the CRC of nothing", {0xFF, 0xFF}, FrameCheck::Short},
        {"two wrong bytes", {0x01, 0x03}, FrameCheck::Bad},
        {"address and its CRC", {0x01, 0x7E, 0x80}, FrameCheck::Short},
        {"address, function, CRC", {0x01, 0x03, 0x00, 0x00}, FrameCheck::Bad},
    };
    for (const Case& c : cases) EXPECT_EQ(check(SerialMode::Rtu, c.frame), c.want) << c.what;
}

TEST(WireSerialFrame, AsciiNeverWritesPastTheScratch) {
    std::string frame = ":";
    for (int i = 0; i < 40; ++i) frame += "00";
    frame += "00\r\n";
    std::uint8_t scratch[8];
    const std::uint8_t* data = nullptr;
    std::size_t len = 0;
    const Bytes f = text(frame);
    EXPECT_EQ(vexa::wire::unframeSerial(SerialMode::Ascii, f.data(), f.size(), scratch, sizeof scratch, data, len),
              FrameCheck::Bad);
}

TEST(WireMacText, ParseAndFormat) {
    struct Case {
        const char* text;
        bool ok;
    };
    const Case cases[] = {
        {"00:1A:2b:3C:4d:5E", true}, {"0:1:2:3:4:5", true},        {"00:1A:2B:3C:4D", false},
        {"00:1A:2B:3C:4D:5E:", false}, {" 00:1A:2B:3C:4D:5E\n", true}, {"001A2B3C4D5E", false},
        {"00-1A-2B-3C-4D-5E", false},  {"000:1A:2B:3C:4D:5E", false}, {"", false},
        {"00:1A:2B:3C:4D:5Ex", false}, {"00: 1A:2B:3C:4D:5E", false},
        {"not a mac", false},
    };
    for (const Case& c : cases) {
        std::uint8_t mac[6] = {};
        EXPECT_EQ(vexa::wire::parseMac(c.text, mac), c.ok) << c.text;
    }
    std::uint8_t mac[6] = {};
    EXPECT_FALSE(vexa::wire::parseMac(nullptr, mac));
    ASSERT_TRUE(vexa::wire::parseMac("00:1a:2B:3c:4D:5e", mac));
    EXPECT_EQ(vexa::wire::macText(mac), "00:1A:2B:3C:4D:5E");
}

}  // namespace
