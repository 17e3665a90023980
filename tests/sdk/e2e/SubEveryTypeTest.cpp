// Every sub-module type the library serves, behind every coupler kind: selected, read, and a
// few of its values checked as the engineering texts worked out by hand from the simulated
// module's registers (the rack holds still, so live inputs show their value at the epoch).
#include <map>

#include "SubSupport.h"

using namespace vexa;
using namespace vexa::test;

namespace {

struct Expect {
    std::uint16_t type, hardVer;
    const char* key;
    bool data;
    const char* text;
};

constexpr Expect kExpect[] = {
    {0x1804, 0x100, "DATA_DIN_ENABLE_3", false, "1"},
    {0x1804, 0x100, "DATA_COUNT_1", true, "1000"},
    {0x2808, 0x100, "SET_DOUT_MODE_0", false, "0"},
    {0x2808, 0x100, "DATA_DOUT_7", true, "0"},
    {0x4055, 0x100, "DATA_DIN_ENABLE_7", false, "1"},
    {0x4055, 0x100, "DATA_COUNT_2", true, "2000"},
    {0x3402, 0x100, "SET_CHECK_DATA", false, "24-03-15"},
    {0x3402, 0x100, "DATA_AIN_REGION_3", true, " 1.768 V---0x96a1---Exceed"},
    {0x3402, 0x100, "DATA_AOUT_ELECTRIC_1", true, " 5.001 mA---0x0400"},
    {0x3412, 0x100, "SET_AIN_MAX_0", false, "  13.733 mV  -  0xf530---Normal"},
    {0x3412, 0x100, "SET_AIN_MIN_1", false, "  -91.56 mV  -  0x7530---Normal"},
    {0x3412, 0x100, "DATA_DIN_EVENT_COUNT_0", true, "42"},
    {0x3800, 0x100, "DATA_AIN_2", true, " 3.906 mA---0x0990---Normal"},
    {0x3800, 0x150, "DATA_AIN_2", true, "15.000 mA---0x9770----Normal  "},
    {0x4017, 0x100, "DATA_AIN_6", true, "-2.500 V---0x6000----Normal"},
    {0x4017, 0x100, "DATA_AIN_7", true, "0.000V---0x695f---Close"},
    {0x4017, 0x120, "SET_AI_SAMPLING_SPEED", false, "2"},
    {0x4017, 0x120, "DATA_AIN_7", true, "0.000  V---0x695f----Close"},
    {0x9308, 0x100, "DATA_AIN_7", true, "-1.768 V---0x695f---Normal"},
    {0x4400, 0x100, "SET_AOUT_TYPE_2", false, "2"},
    {0x4400, 0x100, "DATA_AOUT_1", true, "0x1000"},
    {0x4400, 0x100, "DATA_OUTSHOW_1", true, "0x1000"},
    {0x4400, 0x110, "DATA_AOUT_2", true, " 8.000 mA---0x4000"},
    {0x4410, 0x100, "DATA_AOUT_1", true, " 5.000  V---0xc000"},
    {0x5508, 0x100, "SET_AIN_MIN_0", false, "-20.0---0xff38---Normal"},
    {0x5508, 0x100, "DATA_AIN_0", true, "25.0---0x00fa---Normal"},
    {0x6608, 0x100, "SET_AIN_OFFSET", false, "0.5---0x0005---Normal"},
    {0x9606, 0x100, "SET_AIN_MAX_5", false, "100.0---0x03e8---Normal"},
    {0x7204, 0x100, "SET_COUNT_MAX_1", false, "100000"},
    {0x7204, 0x100, "DATA_COUNT_1", true, "1000"},
    {0x7404, 0x100, "SET_ENCODE_TIMERVALUE_0", false, "10000.00 us"},
    {0x7404, 0x100, "DATA_COUNT_ENCODE_CAIYANG_1", true, "1000 Hz"},
    {0x7404, 0x100, "DATA_COUNT_ENCODE_CAIYANG_4", true, " 正方向 ---   0.00°"},
    {0x7404, 0x100, "DATA_COUNT_ENCODE_BUHUO_4", true, "3000.00 rpm"},
    {0x9108, 0x100, "DATA_DIN_0", true, "1"},
    {0x3900, 0x100, "SET_TESTVALUE_1", false, "1.2346"},
    {0x3900, 0x100, "SET_AI_ADJUST_DATE", false, "2024-03-15"},
    {0x3900, 0x100, "SET_AIN_b_CALIB_7", false, " -10.0000 -- 0xc1200000 -- 校准有效"},
    {0x3900, 0x100, "DATA_AIN_0", true, "   0.0000  V -- 0x0800"},
    {0x3901, 0x100, "DATA_AIN_1", true, "   0.8838 mA -- 0x8b50"},
    {0x3902, 0x100, "SET_AIN_PLUS_1", false, "1"},
    {0x3902, 0x100, "DATA_AOUT_1", true, "   5.0000  V -- 0x0c00"},
    {0x3903, 0x100, "SET_DEV_TYPE", false, "0x3903"},
    {0x3904, 0x100, "SET_DEV_TYPE", false, "0x3904"},
    {0x3905, 0x100, "SET_DEV_TYPE", false, "0x3905"},
    {0x3906, 0x100, "SET_DEV_TYPE", false, "0x3906"},
    {0x3907, 0x100, "SET_DEV_TYPE", false, "0x3907"},
    {0x3908, 0x100, "SET_AIN_TYPE_1", false, "1"},
    {0x3909, 0x100, "SET_DEV_TYPE", false, "0x3909"},
    {0x390A, 0x100, "SET_DEV_TYPE", false, "0x390a"},
    {0x390B, 0x100, "SET_DEV_TYPE", false, "0x390b"},
    {0x39FF, 0x100, "SET_DEV_TYPE", false, "0x3900"},
    {0x9999, 0x100, "SLAVER_TYPE", false, "VEXA-9999"},
    {0x270F, 0x100, "SLAVER_TYPE", false, "VEXA-270f"},
};

class SubEveryType : public SubTest, public ::testing::WithParamInterface<Wire> {};

}  // namespace

TEST_P(SubEveryType, ReadsEveryTypeAsEngineeringTexts) {
    Wire wire = GetParam();
    auto types = sim::everySubModuleType();
    std::vector<sim::SimCoupler*> couplers;
    for (std::size_t first = 0, n = 0; first < types.size(); first += sim::kMaxSubModules, ++n) {
        std::vector<sim::SubModuleConfig> subs;
        for (std::size_t i = first; i < types.size() && i < first + sim::kMaxSubModules; ++i)
            subs.push_back({static_cast<int>(i - first) + 1, types[i]});
        couplers.push_back(add(wire, subs, 1 + static_cast<int>(n) * 9));
    }
    start();

    std::map<std::pair<int, int>, int> checked;
    for (auto* c : couplers) {
        KO_HANDLE h = operate(wire, c);
        ASSERT_NE(h, nullptr) << wireName(wire);
        for (int p = 1; p <= sim::kMaxSubModules; ++p) {
            if (!c->hasSub(p)) continue;
            sim::Identity id = c->subIdentity(p);
            SCOPED_TRACE(std::string(wireName(wire)) + " type " + std::to_string(id.type) + " hw " +
                         std::to_string(id.hardVer));
            KO_SUBHANDLE s = KO_SetOperateSubDev(h, addressOf(wire, c, p));
            ASSERT_NE(s, nullptr);
            ASSERT_EQ(KO_ReadSubDevProperty(s), RC_OK);
            ASSERT_EQ(KO_ReadSubDevData(s), RC_OK);
            char expectType[16];
            std::snprintf(expectType, sizeof expectType, "VEXA-%04x", id.type);
            EXPECT_EQ(prop(s, "SLAVER_TYPE"), expectType);
            EXPECT_EQ(prop(s, "SLAVER_ADDRESS"), std::to_string(addressOf(wire, c, p)));
            for (const auto& e : kExpect) {
                if (e.type != id.type || e.hardVer != id.hardVer) continue;
                EXPECT_EQ(e.data ? data(s, e.key) : prop(s, e.key), e.text) << e.key;
                ++checked[{id.type, id.hardVer}];
            }
        }
        KO_UnOperateDev(h);  // a serial line is opened by one coupler at a time
    }
    EXPECT_EQ(checked.size(), types.size());  // every type had its texts checked
}

INSTANTIATE_TEST_SUITE_P(Wires, SubEveryType, ::testing::Values(Wire::Eth, Wire::Rtu, Wire::Ascii, Wire::Hid),
                         [](const auto& info) { return std::string(wireName(info.param)); });
