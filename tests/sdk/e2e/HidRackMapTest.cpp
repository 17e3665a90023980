// A USB coupler's whole rack mapped: every sub-module family's I/O channels, I/O map and SDO
// records downloaded with PDO settings built from the channels, then read back.
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "HidSupport.h"

using namespace vexa;
using namespace vexa::test;

namespace {

// The SDO objects each family exposes: object index base (0 = not checked) and sub-index count.
struct SdoFamily {
    std::uint16_t type;
    std::uint16_t hardVer;
    std::uint16_t base;
    int subIndexes;
};
constexpr SdoFamily kFamilies[] = {
    {0x1804, 0x0100, 0x3000, 1},  {0x2808, 0x0100, 0x3008, 2},  {0x4055, 0x0100, 0x3010, 3},
    {0x3402, 0x0100, 0x3018, 14}, {0x3412, 0x0100, 0x3020, 17}, {0x3800, 0x0100, 0x3028, 8},
    {0x4017, 0x0100, 0x3030, 11}, {0x4400, 0x0100, 0x3038, 9},  {0x4410, 0x0100, 0x3040, 11},
    {0x5508, 0x0100, 0x3048, 18}, {0x6608, 0x0100, 0x3050, 21}, {0x7404, 0x0100, 0x3058, 46},
    {0x9308, 0x0100, 0, 0},       {0x9606, 0x0100, 0, 0},       {0x7204, 0x0100, 0, 0},
    {0x9108, 0x0100, 0, 0},       {0x3900, 0x0100, 0, 0},       {0x3903, 0x0100, 0, 0},
    {0x3907, 0x0100, 0, 0},       {0x3909, 0x0100, 0, 0},       {0x39FF, 0x0100, 0, 0},
    {0x3800, 0x0150, 0x3028, 8},  {0x4017, 0x0120, 0x3030, 11}, {0x4400, 0x0110, 0, 11},
};

class HidRackMapTest : public HidCouplerTest {};

// The PDO settings a person would lay out: every channel in turn at the next free word of its
// side's image, four words to a PDO.
std::vector<PdoMapEntry> layOut(const std::vector<IoMapRecord>& channels) {
    std::vector<PdoMapEntry> out;
    int nextWord[2] = {0, 0}, pdoWords[2] = {0, 0}, pdo[2] = {0, 0}, pos[2] = {0, 0};
    const int imageWords[2] = {64, 32}, pdos[2] = {16, 8};
    for (size_t i = 0; i < channels.size(); ++i) {
        const IoMapRecord& c = channels[i];
        int side = c.direction ? 1 : 0, words = c.lengthRegs;
        if (words < 1 || words > 2) continue;
        if (pdoWords[side] + words > 4) {
            ++pdo[side];
            pdoWords[side] = 0;
            pos[side] = 0;
        }
        if (pdo[side] >= pdos[side] || nextWord[side] + words > imageWords[side]) continue;
        PdoMapEntry e{};
        e.setting[0] = static_cast<std::uint8_t>(nextWord[side]);
        e.setting[1] = static_cast<std::uint8_t>(pdo[side] + 16 * pos[side]);
        e.setting[2] = c.subAddress;
        e.setting[3] = c.reg;
        e.setting[4] = c.lengthRegs;
        e.side = static_cast<std::uint8_t>(side);
        e.channel = static_cast<std::uint8_t>(i);
        out.push_back(e);
        nextWord[side] += words;
        pdoWords[side] += words;
        ++pos[side];
    }
    return out;
}

}  // namespace

TEST_F(HidRackMapTest, EveryFamilyDownloadsAndReadsBackEqual) {
    constexpr size_t kPerCoupler = 8;
    for (size_t first = 0; first < std::size(kFamilies); first += kPerCoupler) {
        SCOPED_TRACE(first);
        std::vector<sim::SubModuleConfig> subs;
        for (size_t i = first; i < std::min(first + kPerCoupler, std::size(kFamilies)); ++i)
            subs.push_back({static_cast<int>(i - first + 1), sim::subIdentity(kFamilies[i].type, kFamilies[i].hardVer)});
        rack = std::make_unique<sim::SimRack>(sim::RackOptions{.liveData = false});
        ASSERT_NO_FATAL_FAILURE(openCoupler(subs));

        int channelCount = -1;
        ASSERT_EQ(KO_HidGetIOChl(handle, nullptr, 0, &channelCount), RC_OK);
        ASSERT_GT(channelCount, 0);

        // The channel list fills only what the buffer holds.
        std::vector<IoMapRecord> channels(static_cast<size_t>(channelCount) + 1);
        std::memset(channels.data(), 0xCC, channels.size() * sizeof(IoMapRecord));
        int written = -1;
        ASSERT_EQ(KO_HidGetIOChl(handle, channels.data(), channelCount - 1, &written), RC_OK);
        EXPECT_EQ(written, channelCount - 1);
        EXPECT_EQ(channels[static_cast<size_t>(channelCount - 1)].subAddress, 0xCC);
        ASSERT_EQ(KO_HidGetIOChl(handle, channels.data(), channelCount, &written), RC_OK);
        ASSERT_EQ(written, channelCount);
        channels.resize(static_cast<size_t>(channelCount));
        for (const auto& c : channels) {
            SCOPED_TRACE(c.key);
            ASSERT_GE(c.subAddress, 1);
            ASSERT_LE(static_cast<size_t>(c.subAddress), subs.size());
            EXPECT_NE(std::memchr(c.key, 0, sizeof c.key), nullptr);
            EXPECT_LE(c.direction, 1);
        }

        std::vector<PdoMapEntry> pdo = layOut(channels);
        ASSERT_EQ(KO_HidClearPDOSet(handle), RC_OK);
        for (const auto& e : pdo) ASSERT_EQ(KO_HidAddPDOSet(handle, &e, sizeof e), RC_OK);
        coupler->clearLog();
        ASSERT_EQ(KO_HidDownloadIO(handle), RC_OK);
        ASSERT_EQ(KO_HidDownloadSPDO(handle), RC_OK);

        // What went out: I/O words, then SDO entries (each 10 bytes ending in two zero bytes),
        // then the PDO settings last.
        std::vector<std::array<std::uint8_t, 4>> sentIo;
        for (const auto& f : receivedFrames(coupler, 0x31)) {
            ASSERT_EQ(f.payload.size(), 4u);
            sentIo.push_back({f.payload[0], f.payload[1], f.payload[2], f.payload[3]});
        }
        std::vector<std::array<std::uint8_t, 7>> sentSdo;
        bool pdoSeen = false;
        for (const auto& f : receivedFrames(coupler, 0x21)) {
            if (f.payload[0] != 2) {
                pdoSeen = true;
                continue;
            }
            EXPECT_FALSE(pdoSeen) << "an SDO entry after the PDO settings";
            ASSERT_EQ(f.payload.size(), 10u);
            EXPECT_EQ(f.payload[8], 0);
            EXPECT_EQ(f.payload[9], 0);
            std::array<std::uint8_t, 7> s;
            std::copy(f.payload.begin() + 1, f.payload.begin() + 8, s.begin());
            sentSdo.push_back(s);
        }
        ASSERT_FALSE(sentIo.empty());

        int io = 0, sdoCount = 0, tpdo = 0, rpdo = 0;
        ASSERT_EQ(KO_HidGetMapInfo(handle, &io, &sdoCount, &tpdo, &rpdo), RC_OK);
        ASSERT_EQ(io, static_cast<int>(sentIo.size()));
        ASSERT_EQ(sdoCount, static_cast<int>(sentSdo.size()));
        std::vector<std::array<std::uint8_t, 4>> ioBack(static_cast<size_t>(io));
        ASSERT_EQ(KO_HidGetIOMap(handle, reinterpret_cast<int*>(ioBack.data()), io), RC_OK);
        EXPECT_EQ(ioBack, sentIo);
        for (const auto& w : ioBack) {
            EXPECT_GE(w[0], 1);
            EXPECT_LE(static_cast<size_t>(w[0]), subs.size());
            EXPECT_LE(w[1], 1);
        }
        std::vector<SdoMapRecord> sdoBack(static_cast<size_t>(sdoCount));
        ASSERT_EQ(KO_HidGetSDOMap(handle, reinterpret_cast<unsigned char*>(sdoBack.data()), sdoCount), RC_OK);
        for (size_t i = 0; i < sdoBack.size(); ++i) {
            EXPECT_EQ(static_cast<int>(sdoBack[i].index), sentSdo[i][0] << 8 | sentSdo[i][1]);
            EXPECT_EQ(0, std::memcmp(&sdoBack[i].subIndex, &sentSdo[i][2], 5));
        }
        // Every family gives its own number of SDO objects, indexed from its base by address.
        for (size_t i = 0; i < subs.size(); ++i) {
            const SdoFamily& fam = kFamilies[first + i];
            int pos = subs[i].position, n = 0;
            for (const auto& r : sdoBack)
                if (r.subAddress == pos) {
                    ++n;
                    if (fam.base) {
                        EXPECT_EQ(static_cast<int>(r.index), fam.base + pos - 1) << std::hex << fam.type;
                    }
                }
            EXPECT_EQ(n, fam.subIndexes) << std::hex << fam.type;
        }
        std::vector<PdoMapEntry> sentT, sentR;
        for (const auto& e : pdo) (e.side ? sentR : sentT).push_back(e);
        ASSERT_EQ(tpdo, static_cast<int>(sentT.size()));
        ASSERT_EQ(rpdo, static_cast<int>(sentR.size()));
        std::vector<std::uint8_t> t(static_cast<size_t>(tpdo) * 6 + 1), r(static_cast<size_t>(rpdo) * 6 + 1);
        ASSERT_EQ(KO_HidGetTPDOMap(handle, t.data(), tpdo), RC_OK);
        ASSERT_EQ(KO_HidGetRPDOMap(handle, r.data(), rpdo), RC_OK);
        for (size_t i = 0; i < sentT.size(); ++i) EXPECT_EQ(0, std::memcmp(&t[i * 6], sentT[i].setting, 6));
        for (size_t i = 0; i < sentR.size(); ++i) EXPECT_EQ(0, std::memcmp(&r[i * 6], sentR[i].setting, 6));
        KO_UnOperateDev(handle);
    }
}
