// A sub-module reply that stops short of what it counts, or of what was asked, is a bad reply
// and places nothing: every item keeps the value of the last whole read.
#include "SubSupport.h"

using namespace vexa;
using namespace vexa::test;

namespace {

constexpr int kAinTypes = 8;  // SET_AIN_TYPE_0..7 of a 4017: registers 128..135

void setAinTypes(sim::SimCoupler* c, std::uint16_t value) {
    for (int i = 0; i < kAinTypes; ++i) c->setSubRegister(1, 128 + i, value);
}

void expectAinTypes(KO_SUBHANDLE s, const char* text, const char* why) {
    for (int i = 0; i < kAinTypes; ++i) {
        char got[KO_TEXT_SIZE] = {};
        EXPECT_EQ(KO_GetSubDevProperty(s, ("SET_AIN_TYPE_" + std::to_string(i)).c_str(), got), RC_OK) << why;
        EXPECT_STREQ(got, text) << why << " " << i;
    }
}

struct ShortReply {
    const char* why;
    Wire wire;
    sim::Fault fault;          // Ethernet: what the coupler does to its reply
    std::vector<std::uint8_t> body;  // USB: the 0x11 reply it gives instead
};

class ReplyBounds : public SubTest, public ::testing::WithParamInterface<ShortReply> {};

}  // namespace

TEST_P(ReplyBounds, ShortSubReplyPlacesNothing) {
    const ShortReply& k = GetParam();
    auto* c = add(k.wire, {{1, sim::subIdentity(0x4017)}});
    start();
    KO_HANDLE h = operate(k.wire, c);
    ASSERT_NE(h, nullptr);
    KO_SUBHANDLE s = KO_SetOperateSubDev(h, 1);
    ASSERT_NE(s, nullptr);
    setAinTypes(c, 1);
    ASSERT_EQ(KO_ReadSubDevProperty(s), RC_OK);
    expectAinTypes(s, "1", "first read");

    setAinTypes(c, 2);
    if (k.wire == Wire::Hid)
        c->pushHidScript({.command = 0x11, .payloadPrefix = {1, 128}, .kind = sim::HidScriptKind::Reply, .body = k.body});
    else
        c->pushFault(k.fault);
    EXPECT_EQ(KO_ReadSubDevProperty(s), RC_BAD_REPLY) << k.why;
    expectAinTypes(s, "1", k.why);

    ASSERT_EQ(KO_ReadSubDevProperty(s), RC_OK);
    expectAinTypes(s, "2", "read after");
}

namespace {

// A 0x11 reply for module 1 from register 128 that counts `count` registers and carries `carried`
// of them, each holding 2.
std::vector<std::uint8_t> usbSubReply(int count, int carried) {
    std::vector<std::uint8_t> b{1, 128, static_cast<std::uint8_t>(count)};
    for (int i = 0; i < carried; ++i) b.insert(b.end(), {0, 2});
    return b;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Wires, ReplyBounds,
    ::testing::Values(ShortReply{"eth datagram cut in half", Wire::Eth, {sim::FaultKind::Truncate}, {}},
                      ShortReply{"usb count beyond the frame", Wire::Hid, {}, usbSubReply(26, 10)},
                      ShortReply{"usb fewer than asked", Wire::Hid, {}, usbSubReply(10, 10)}),
    [](const auto& info) { return std::string(wireName(info.param.wire)) + std::to_string(info.index); });
