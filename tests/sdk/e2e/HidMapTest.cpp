// The USB coupler's CANopen mapping through the exports: downloads, read-back, the PDO-set
// list, and what the exports do with short buffers, garbled replies and a missing coupler.
#include <array>
#include <cstring>
#include <map>
#include <vector>

#include "HidSupport.h"

using namespace vexa;
using namespace vexa::test;

namespace {

constexpr std::uint8_t kGuard = 0xCC;

PdoMapEntry pdoEntry(std::uint8_t side, std::uint8_t offset, std::uint8_t pdo, std::uint8_t addr, std::uint8_t reg,
                     std::uint8_t words) {
    return PdoMapEntry{{offset, pdo, addr, reg, words, 0}, side, 0xEE};
}

std::array<std::uint8_t, 6> settingOf(const PdoMapEntry& e) {
    std::array<std::uint8_t, 6> s;
    std::memcpy(s.data(), e.setting, 6);
    return s;
}

std::vector<std::array<std::uint8_t, 6>> pdoList(KO_HANDLE h, int count, bool rpdo) {
    std::vector<std::array<std::uint8_t, 6>> out(static_cast<size_t>(count));
    int rc = rpdo ? KO_HidGetRPDOMap(h, out.empty() ? nullptr : out[0].data(), count)
                  : KO_HidGetTPDOMap(h, out.empty() ? nullptr : out[0].data(), count);
    EXPECT_EQ(rc, RC_OK);
    return out;
}

struct MapCounts {
    int io = -1, sdo = -1, tpdo = -1, rpdo = -1;
};

int mapInfo(KO_HANDLE h, MapCounts& c) { return KO_HidGetMapInfo(h, &c.io, &c.sdo, &c.tpdo, &c.rpdo); }

sim::CanOpenImage sampleImage() {
    sim::CanOpenImage img;
    for (std::uint8_t i = 0; i < 5; ++i) img.ioMap.push_back({1, static_cast<std::uint8_t>(i & 1), 0x40, i});
    img.sdo.push_back({0x30, 0x31, 1, 2, 0x80, 1, 0});
    img.sdo.push_back({0x30, 0x31, 2, 2, 0x81, 1, 0});
    for (std::uint8_t i = 0; i < 3; ++i) {
        img.tpdo.push_back({i, 0, 1, 0x40, 1, 0});
        img.rpdo.push_back({i, 1, 2, 0x60, 1, 0});
    }
    return img;
}

using HidMapTest = HidCouplerTest;

}  // namespace

TEST_F(HidMapTest, PdoSettingsDownloadInOrderAndReadBackEqual) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    const PdoMapEntry entries[] = {
        pdoEntry(1, 0, 0x00, 2, 0x60, 1), pdoEntry(0, 0, 0x00, 1, 0x40, 1), pdoEntry(0, 1, 0x10, 1, 0x41, 1),
        pdoEntry(7, 2, 0x10, 3, 0x62, 2),  // any non-zero side is an RPDO
        pdoEntry(0, 2, 0x01, 1, 0x42, 2),
    };
    ASSERT_EQ(KO_HidClearPDOSet(handle), RC_OK);
    for (const auto& e : entries) ASSERT_EQ(KO_HidAddPDOSet(handle, &e, sizeof e), RC_OK);
    ASSERT_EQ(KO_HidDownloadSPDO(handle), RC_OK);

    // Begin, one 7-byte entry per setting (list number, then the 6 setting bytes; the channel
    // index stays behind), end.
    auto frames = receivedFrames(coupler);
    ASSERT_EQ(frames.size(), std::size(entries) + 2);
    EXPECT_EQ(frames.front().command, 0x20);
    EXPECT_EQ(frames.back().command, 0x22);
    for (size_t i = 0; i < std::size(entries); ++i) {
        const auto& f = frames[i + 1];
        EXPECT_EQ(f.command, 0x21);
        ASSERT_EQ(f.payload.size(), 7u);
        EXPECT_EQ(f.payload[0], entries[i].side ? 1 : 0);
        EXPECT_EQ(0, std::memcmp(f.payload.data() + 1, entries[i].setting, 6));
    }

    MapCounts n;
    ASSERT_EQ(mapInfo(handle, n), RC_OK);
    EXPECT_EQ(n.io, 0);
    EXPECT_EQ(n.sdo, 0);
    ASSERT_EQ(n.tpdo, 3);
    ASSERT_EQ(n.rpdo, 2);
    auto tpdo = pdoList(handle, n.tpdo, false), rpdo = pdoList(handle, n.rpdo, true);
    EXPECT_EQ(tpdo[0], settingOf(entries[1]));
    EXPECT_EQ(tpdo[1], settingOf(entries[2]));
    EXPECT_EQ(tpdo[2], settingOf(entries[4]));
    EXPECT_EQ(rpdo[0], settingOf(entries[0]));
    EXPECT_EQ(rpdo[1], settingOf(entries[3]));
    auto held = coupler->canOpenImage();
    EXPECT_EQ(held.tpdo, tpdo);
    EXPECT_EQ(held.rpdo, rpdo);

    // Cleared, the next download leaves the coupler without PDO settings.
    ASSERT_EQ(KO_HidClearPDOSet(handle), RC_OK);
    ASSERT_EQ(KO_HidDownloadSPDO(handle), RC_OK);
    ASSERT_EQ(mapInfo(handle, n), RC_OK);
    EXPECT_EQ(n.tpdo + n.rpdo, 0);
}

TEST_F(HidMapTest, PdoSetRecordMustBeWhole) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    PdoMapEntry e = pdoEntry(0, 0, 0, 1, 0x40, 1);
    ASSERT_EQ(KO_HidAddPDOSet(handle, &e, 8), RC_OK);
    EXPECT_EQ(KO_HidAddPDOSet(handle, &e, 7), RC_RECORD_TOO_SMALL);
    EXPECT_EQ(KO_HidAddPDOSet(handle, &e, 0), RC_RECORD_TOO_SMALL);
    EXPECT_EQ(KO_HidAddPDOSet(handle, &e, -8), RC_RECORD_TOO_SMALL);
    EXPECT_EQ(KO_HidAddPDOSet(handle, nullptr, 8), RC_FAILED);
    // A longer record gives its first 8 bytes.
    std::uint8_t longer[12] = {5, 0, 1, 0x41, 1, 0, 0, 0, 0xAA, 0xAA, 0xAA, 0xAA};
    ASSERT_EQ(KO_HidAddPDOSet(handle, longer, sizeof longer), RC_OK);
    ASSERT_EQ(KO_HidDownloadSPDO(handle), RC_OK);
    EXPECT_EQ(receivedFrames(coupler, 0x21).size(), 2u);  // the refused ones left the list unchanged
}

TEST_F(HidMapTest, ReadBackCopiesOnlyWhatFitsTheBuffer) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    coupler->setCanOpenImage(sampleImage());
    MapCounts n;
    ASSERT_EQ(mapInfo(handle, n), RC_OK);
    EXPECT_EQ(n.io, 5);
    EXPECT_EQ(n.sdo, 2);
    EXPECT_EQ(n.tpdo, 3);
    EXPECT_EQ(n.rpdo, 3);

    // Capacity 1 with 3 entries writes exactly one record.
    std::uint8_t buf[64];
    std::memset(buf, kGuard, sizeof buf);
    ASSERT_EQ(KO_HidGetTPDOMap(handle, buf, 1), RC_OK);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[3], 0x40);
    EXPECT_EQ(buf[6], kGuard);
    std::memset(buf, kGuard, sizeof buf);
    ASSERT_EQ(KO_HidGetRPDOMap(handle, buf, 1), RC_OK);
    EXPECT_EQ(buf[3], 0x60);
    EXPECT_EQ(buf[6], kGuard);
    std::memset(buf, kGuard, sizeof buf);
    ASSERT_EQ(KO_HidGetSDOMap(handle, buf, 1), RC_OK);
    SdoMapRecord sdo;
    std::memcpy(&sdo, buf, sizeof sdo);
    EXPECT_EQ(static_cast<int>(sdo.index), 0x3031);  // big-endian on the wire, host order in the record
    EXPECT_EQ(sdo.subIndex, 1);
    EXPECT_EQ(sdo.subAddress, 2);
    EXPECT_EQ(sdo.reg, 0x80);
    EXPECT_EQ(buf[7], kGuard);
    std::memset(buf, kGuard, sizeof buf);
    ASSERT_EQ(KO_HidGetIOMap(handle, reinterpret_cast<int*>(buf), 2), RC_OK);
    EXPECT_EQ(buf[7], 1);
    EXPECT_EQ(buf[8], kGuard);

    // A larger capacity copies only the list.
    std::memset(buf, kGuard, sizeof buf);
    ASSERT_EQ(KO_HidGetTPDOMap(handle, buf, 10), RC_OK);
    EXPECT_EQ(buf[12], 2);
    EXPECT_EQ(buf[18], kGuard);
    std::memset(buf, kGuard, sizeof buf);
    ASSERT_EQ(KO_HidGetIOMap(handle, reinterpret_cast<int*>(buf), 16), RC_OK);
    EXPECT_EQ(buf[19], 4);
    EXPECT_EQ(buf[20], kGuard);

    // Nothing asked for, nothing written; a buffer that is not there cannot take records.
    EXPECT_EQ(KO_HidGetTPDOMap(handle, nullptr, 0), RC_OK);
    EXPECT_EQ(KO_HidGetSDOMap(handle, buf, -3), RC_OK);
    EXPECT_EQ(KO_HidGetRPDOMap(handle, nullptr, 2), RC_FAILED);
    EXPECT_EQ(KO_HidGetIOMap(handle, nullptr, 1), RC_FAILED);

    // Outs that are not wanted may be null.
    EXPECT_EQ(KO_HidGetMapInfo(handle, nullptr, nullptr, &n.tpdo, nullptr), RC_OK);
    EXPECT_EQ(n.tpdo, 3);
}

TEST_F(HidMapTest, EmptyIoMapStillReadsTheSpdoLists) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    auto img = sampleImage();
    img.ioMap.clear();
    coupler->setCanOpenImage(img);
    MapCounts n;
    ASSERT_EQ(mapInfo(handle, n), RC_OK);
    EXPECT_EQ(n.io, 0);
    EXPECT_EQ(n.sdo, 2);
    EXPECT_EQ(n.tpdo, 3);
    EXPECT_EQ(n.rpdo, 3);
    EXPECT_TRUE(receivedFrames(coupler, 0x34).empty());
}

TEST_F(HidMapTest, CountsAtTheLimitsAreRead) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    sim::CanOpenImage img;
    for (int i = 0; i < 64; ++i) img.tpdo.push_back({static_cast<std::uint8_t>(i), 0, 1, 0x40, 1, 0});
    for (int i = 0; i < 32; ++i) img.rpdo.push_back({static_cast<std::uint8_t>(i), 0, 1, 0x60, 1, 0});
    coupler->setCanOpenImage(img);
    MapCounts n;
    ASSERT_EQ(mapInfo(handle, n), RC_OK);
    EXPECT_EQ(n.tpdo, 64);
    EXPECT_EQ(n.rpdo, 32);
    auto tpdo = pdoList(handle, 64, false);
    EXPECT_EQ(tpdo[63][0], 63);
}

TEST_F(HidMapTest, GarbledOrShortCountsAreABadReplyAtOnce) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    coupler->setCanOpenImage(sampleImage());
    const struct {
        std::uint8_t command;
        sim::Bytes body;
    } cases[] = {
        {0x23, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},  // every count 0xFFFF
        {0x23, {0x00, 0x41, 0x00, 0x00, 0x00, 0x00}},  // 65 TPDOs
        {0x23, {0x00, 0x00, 0x00, 0x21, 0x00, 0x00}},  // 33 RPDOs
        {0x23, {0x00, 0x00, 0x00, 0x00, 0x01, 0x71}},  // 369 SDO entries
        {0x23, {0x00, 0x01, 0x00}},                    // counts cut short
        {0x33, {}},                                    // no count at all
    };
    for (const auto& c : cases) {
        coupler->clearLog();
        coupler->pushHidScript({.command = c.command, .kind = sim::HidScriptKind::Reply, .body = c.body});
        MapCounts n;
        EXPECT_EQ(mapInfo(handle, n), RC_HID_NOT_OK) << int(c.command) << " " << c.body.size();
        EXPECT_EQ(n.io + n.sdo + n.tpdo + n.rpdo, 0);
        EXPECT_TRUE(receivedFrames(coupler, 0x24).empty());  // no entry was asked for
        std::uint8_t buf[8];
        std::memset(buf, kGuard, sizeof buf);
        EXPECT_EQ(KO_HidGetIOMap(handle, reinterpret_cast<int*>(buf), 2), RC_OK);
        EXPECT_EQ(buf[0], kGuard);  // the lists of a failed read are empty, not stale
    }
    // An answered query of the right length is fine again.
    MapCounts n;
    EXPECT_EQ(mapInfo(handle, n), RC_OK);
    EXPECT_EQ(n.io, 5);
}

TEST_F(HidMapTest, AnEntryThatDoesNotArriveWholeFailsTheReadBack) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    coupler->setCanOpenImage(sampleImage());
    using sim::HidScriptKind;
    // A list with a gap would pass for the coupler's whole mapping: any entry that is refused,
    // lost, cut short or answered for another place fails the read, and nothing stays behind.
    const struct {
        sim::HidScript script;
        int rc;
    } cases[] = {
        {{0x34, {0}, HidScriptKind::Refuse, {}}, RC_HID_NOT_OK},
        {{0x34, {1}, HidScriptKind::Reply, {1, 0x01, 0x00}}, RC_HID_NOT_OK},     // cut short
        {{0x34, {2}, HidScriptKind::Reply, {3, 1, 1, 0x40, 3}}, RC_HID_NOT_OK},  // for index 3
        {{0x34, {4}, HidScriptKind::Lose, {}}, RC_HID_NO_REPLY},
        {{0x24, {2, 0, 1}, HidScriptKind::Reply, {0, 0, 1, 1, 0, 1, 0x40, 1, 0}}, RC_HID_NOT_OK},  // as TPDO 1
        {{0x24, {0, 0, 0}, HidScriptKind::Reply, {0, 0, 0, 0, 0, 1, 0x40, 1}}, RC_HID_NOT_OK},     // 5 of 6 bytes
        {{0x24, {1, 0, 2}, HidScriptKind::Reply, {1, 1, 2, 2, 1, 2, 0x60, 1, 0}}, RC_HID_NOT_OK},  // for 0x0102
        {{0x24, {1, 0, 2}, HidScriptKind::Lose, {}}, RC_HID_NO_REPLY},
    };
    for (const auto& c : cases) {
        coupler->pushHidScript(c.script);
        MapCounts n;
        EXPECT_EQ(mapInfo(handle, n), c.rc) << int(c.script.command) << " " << int(c.script.payloadPrefix.at(0));
        EXPECT_EQ(n.io + n.sdo + n.tpdo + n.rpdo, 0);
        std::uint8_t buf[12];
        std::memset(buf, kGuard, sizeof buf);
        EXPECT_EQ(KO_HidGetTPDOMap(handle, buf, 2), RC_OK);
        EXPECT_EQ(buf[0], kGuard);  // the lists of a failed read are empty, not partial
    }
    // With every entry answered the read is whole again.
    MapCounts n;
    ASSERT_EQ(mapInfo(handle, n), RC_OK);
    EXPECT_EQ(n.io, 5);
    EXPECT_EQ(n.sdo, 2);
    EXPECT_EQ(n.tpdo, 3);
    EXPECT_EQ(n.rpdo, 3);
}

TEST_F(HidMapTest, DownloadsReportBeginAndEndFailures) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    PdoMapEntry e = pdoEntry(0, 0, 0, 1, 0x40, 1), f = pdoEntry(1, 0, 0, 2, 0x60, 1);
    ASSERT_EQ(KO_HidAddPDOSet(handle, &e, 8), RC_OK);
    ASSERT_EQ(KO_HidAddPDOSet(handle, &f, 8), RC_OK);

    // A refused begin stops the download there.
    coupler->pushHidScript({.command = 0x30});
    EXPECT_EQ(KO_HidDownloadIO(handle), RC_HID_NOT_OK);
    coupler->pushHidScript({.command = 0x20});
    EXPECT_EQ(KO_HidDownloadSPDO(handle), RC_HID_NOT_OK);
    EXPECT_TRUE(receivedFrames(coupler, 0x21).empty());
    EXPECT_TRUE(receivedFrames(coupler, 0x22).empty());

    // So does a refused end, after the entries went out.
    coupler->pushHidScript({.command = 0x32});
    EXPECT_EQ(KO_HidDownloadIO(handle), RC_HID_NOT_OK);
    coupler->pushHidScript({.command = 0x22});
    EXPECT_EQ(KO_HidDownloadSPDO(handle), RC_HID_NOT_OK);
    EXPECT_EQ(receivedFrames(coupler, 0x21).size(), 2u);
    EXPECT_TRUE(coupler->canOpenImage().tpdo.empty());  // never ended, never taken

    // A refused single entry is not an error of the download.
    coupler->pushHidScript({0x21, {1}, sim::HidScriptKind::Refuse, {}});
    EXPECT_EQ(KO_HidDownloadSPDO(handle), RC_OK);
    EXPECT_EQ(coupler->canOpenImage().tpdo.size(), 1u);
    EXPECT_TRUE(coupler->canOpenImage().rpdo.empty());

    // A coupler that stays quiet.
    coupler->setSilent(true);
    EXPECT_EQ(KO_HidDownloadIO(handle), RC_HID_NO_REPLY);
    EXPECT_EQ(KO_HidDownloadSPDO(handle), RC_HID_NO_REPLY);
    MapCounts n;
    EXPECT_EQ(mapInfo(handle, n), RC_HID_NO_REPLY);
    coupler->setSilent(false);
}

TEST_F(HidMapTest, UnpluggedCouplerIsAnErrorNotSuccess) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    rack->stop();
    EXPECT_EQ(KO_HidDownloadIO(handle), RC_HID_NOT_SENT);
    EXPECT_EQ(KO_HidDownloadSPDO(handle), RC_HID_NOT_SENT);
    MapCounts n;
    EXPECT_EQ(mapInfo(handle, n), RC_HID_NOT_SENT);
    EXPECT_EQ(n.io + n.sdo + n.tpdo + n.rpdo, 0);
}

TEST_F(HidMapTest, OtherHandlesAreRefused) {
    auto* eth = rack->addEthernet({});
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    KO_HANDLE ethHandle = operateEth(eth);
    ASSERT_NE(ethHandle, nullptr);
    int dummy = 0;
    unsigned char buf[8];
    PdoMapEntry e{};
    for (KO_HANDLE h : {KO_HANDLE(nullptr), ethHandle, KO_HANDLE(&dummy)}) {
        EXPECT_EQ(KO_HidDownloadIO(h), RC_FAILED);
        EXPECT_EQ(KO_HidDownloadSPDO(h), RC_FAILED);
        EXPECT_EQ(KO_HidGetIOChl(h, nullptr, 0, &dummy), RC_FAILED);
        EXPECT_EQ(KO_HidClearPDOSet(h), RC_FAILED);
        EXPECT_EQ(KO_HidAddPDOSet(h, &e, 8), RC_FAILED);
        EXPECT_EQ(KO_HidGetMapInfo(h, &dummy, &dummy, &dummy, &dummy), RC_FAILED);
        EXPECT_EQ(KO_HidGetIOMap(h, &dummy, 1), RC_FAILED);
        EXPECT_EQ(KO_HidGetSDOMap(h, buf, 1), RC_FAILED);
        EXPECT_EQ(KO_HidGetTPDOMap(h, buf, 1), RC_FAILED);
        EXPECT_EQ(KO_HidGetRPDOMap(h, buf, 1), RC_FAILED);
        EXPECT_EQ(KO_HidUpdateBegin(h), RC_FAILED);
        EXPECT_EQ(KO_HidUpdate(h, buf, 1, nullptr), RC_FAILED);
    }
    EXPECT_EQ(KO_HidGetIOChl(handle, nullptr, 0, nullptr), RC_FAILED);
    EXPECT_TRUE(receivedFrames(coupler).empty());
}
