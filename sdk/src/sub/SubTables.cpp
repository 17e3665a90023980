#include "SubTables.h"

#include "main/ValueFormat.h"

namespace vexa {

namespace {

using R = ItemRole;

// ---- row builders, so that every table line reads as what it is ----
constexpr ItemRow run(const char* key, int n, int reg, int step, int len, int fmt, ItemRole role, int block = -1) {
    return ItemRow{key,
                   static_cast<std::uint8_t>(n),
                   static_cast<std::uint16_t>(reg),
                   static_cast<std::uint8_t>(step),
                   static_cast<std::uint8_t>(len),
                   static_cast<std::uint8_t>(fmt),
                   role,
                   -1,
                   0,
                   static_cast<std::int16_t>(block)};
}
constexpr ItemRow setting(const char* key, int reg, int len, int fmt) { return run(key, 0, reg, 0, len, fmt, R::Setting); }
constexpr ItemRow settings(const char* key, int n, int reg, int step, int len, int fmt) {
    return run(key, n, reg, step, len, fmt, R::Setting);
}
constexpr ItemRow inputs(const char* key, int n, int reg, int step, int len, int fmt) {
    return run(key, n, reg, step, len, fmt, R::Input);
}
constexpr ItemRow outputs(const char* key, int n, int reg, int step, int len, int fmt) {
    return run(key, n, reg, step, len, fmt, R::Output);
}
constexpr ItemRow output(const char* key, int reg, int len, int fmt) { return run(key, 0, reg, 0, len, fmt, R::Output); }
// Per-channel bits of one register (format 14): channel n is bit n.
constexpr ItemRow bitRun(const char* key, int n, int reg, ItemRole role) {
    ItemRow r = run(key, n, reg, 0, 2, kFmtBit, role);
    r.bit = 0;
    return r;
}
constexpr ItemRow settingBits(const char* key, int n, int reg) { return bitRun(key, n, reg, R::Setting); }
constexpr ItemRow inputBits(const char* key, int n, int reg) { return bitRun(key, n, reg, R::Input); }
constexpr ItemRow outputBits(const char* key, int n, int reg) { return bitRun(key, n, reg, R::Output); }
constexpr ItemRow settingBit(const char* key, int reg, int bit) {
    ItemRow r = run(key, 0, reg, 0, 2, kFmtBit, R::Setting);
    r.bit = static_cast<std::int8_t>(bit);
    return r;
}
// Displays derived from another item; they live in `block` but map no register of their own.
constexpr ItemRow locals(const char* key, int n, int block, int len) {
    return run(key, n, 0, 0, len, kFmtClass, R::Local, block);
}
constexpr ItemRow analog(ItemRow r, int resolution) {
    r.resolution = static_cast<std::uint8_t>(resolution);
    return r;
}

constexpr int C = kFmtClass;

// ---- digital modules ----
constexpr ItemRow k1804[] = {
    inputBits("DATA_DIN_", 12, 0),
    settingBits("DATA_DIN_ENABLE_", 12, 128),
    inputs("DATA_COUNT_", 12, 2, 2, 4, C),
};
constexpr ItemRow kDo8Settings[] = {
    outputBits("DATA_DOUT_", 8, 32),
    settingBits("SET_DOUT_MODE_", 8, 128),
    settingBits("SET_DOUT_DEFAULT_", 8, 129),
};
// The enable bits are plain bits shown and parsed as bits, so they are format 14 here: that
// is what makes the submit merge them into one register write.
constexpr ItemRow k4055[] = {
    inputBits("DATA_DIN_", 8, 0),
    settingBits("DATA_DIN_ENABLE_", 8, 130),
    inputs("DATA_COUNT_", 8, 2, 2, 4, C),
};
constexpr ItemRow k9108[] = {
    inputBits("DATA_DIN_", 8, 0),
};

// ---- mixed modules ----
constexpr ItemRow k3402[] = {
    inputBits("DATA_DIN_", 2, 0),
    outputBits("DATA_DOUT_", 2, 32),
    settingBits("SET_DOUT_MODE_", 2, 128),
    settingBits("SET_DOUT_DEFAULT_", 2, 129),
    settings("SET_AIN_TYPE_", 8, 131, 1, 2, kFmtBe16Dec),
    inputs("DATA_AIN_REGION_", 8, 64, 2, 4, C),
    setting("SET_AIN_LINK", 130, 2, kFmtBe16Dec),
    settings("SET_AOUT_TYPE_", 2, 139, 2, 2, kFmtBe16Dec),
    settings("SET_AOUT_DEFAULT_", 2, 140, 2, 2, C),
    outputs("DATA_AOUT_VOLTAGE_", 2, 96, 1, 2, C),
    outputs("DATA_AOUT_ELECTRIC_", 2, 96, 1, 2, C),
    output("DATA_AOUT_CHECK_SEND", 112, 2, kFmtBe16Dec),
    output("DATA_AOUT_CHECK_READ", 113, 2, kFmtBe16Dec),
    setting("SET_CHECK_DATA", 144, 6, kFmtDateBytes),
};
constexpr ItemRow k3412[] = {
    inputBits("DATA_DIN_", 2, 0),
    settingBits("SET_DIN_MODE_", 2, 142),
    settings("SET_DIN_EVENT_CTL_", 1, 143, 0, 2, kFmtBe16Dec),
    outputs("DATA_DIN_EVENT_COUNT_", 1, 94, 0, 4, kFmtBe32Dec),
    settings("SET_AIN_TYPE_", 4, 128, 1, 2, kFmtBe16Dec),
    settings("SET_AIN_MAX_", 4, 132, 2, 2, C),
    settings("SET_AIN_MIN_", 4, 133, 2, 2, C),
    inputs("DATA_AIN_", 4, 64, 1, 2, C),
    outputBits("DATA_DOUT_", 4, 32),
    settingBits("SET_DOUT_MODE_", 4, 140),
    settingBits("SET_DOUT_DEFAULT_", 4, 141),
    settings("SET_AOUT_TYPE_", 1, 144, 0, 2, kFmtBe16Dec),
    outputs("DATA_AOUT_VOLTAGE_", 1, 96, 0, 2, C),
    outputs("DATA_AOUT_ELECTRIC_", 1, 96, 0, 2, C),
};

// ---- analog inputs ----
constexpr ItemRow kAi8ByType[] = {
    settings("SET_AIN_TYPE_", 8, 128, 1, 2, kFmtBe16Dec),
    inputs("DATA_AIN_", 8, 64, 1, 2, C),
};
constexpr ItemRow k3800E[] = {
    setting("SET_WORKMODE", 136, 2, kFmtBe16Dec),
    setting("SET_AI_ADJUST_VALID", 137, 2, kFmtBe16Hex),
    settings("SET_ADJUST_V_DATA_", 2, 138, 2, 4, kFmtFloatSwapped),
    settings("SET_ADJUST_AB_DATA_", 4, 142, 2, 4, kFmtFloatSwapped),
    settings("SET_ADJUST_O_DATA_", 2, 150, 2, 4, kFmtFloatSwapped),
    setting("SET_CMD_CALIB_R", 154, 2, kFmtBe16Hex),
};
constexpr ItemRow k4017E[] = {
    setting("SET_AI_SAMPLING_SPEED", 136, 2, kFmtBe16Dec),
    setting("SET_CMD_CALIB_W", 152, 2, kFmtBe16Dec),
    setting("SET_CMD_CALIB_R", 153, 2, kFmtBe16Dec),
};
constexpr ItemRow k5508[] = {
    settings("SET_AIN_TYPE_", 5, 128, 3, 2, kFmtBe16Dec),
    settings("SET_AIN_MAX_", 5, 129, 3, 2, kFmtTenths),
    settings("SET_AIN_MIN_", 5, 130, 3, 2, kFmtTenths),
    inputs("DATA_AIN_", 5, 64, 1, 2, kFmtTenths),
    outputBits("DATA_DOUT_", 8, 32),
    settingBits("SET_DOUT_MODE_", 8, 143),
    settingBits("SET_DOUT_DEFAULT_", 8, 144),
    setting("SET_AIN_CHECK", 145, 2, kFmtBe16Dec),
};
constexpr ItemRow kAi6Do8[] = {
    settings("SET_AIN_TYPE_", 6, 128, 3, 2, kFmtBe16Dec),
    settings("SET_AIN_MAX_", 6, 129, 3, 2, kFmtTenths),
    settings("SET_AIN_MIN_", 6, 130, 3, 2, kFmtTenths),
    inputs("DATA_AIN_", 6, 64, 1, 2, kFmtTenths),
    outputBits("DATA_DOUT_", 8, 32),
    settingBits("SET_DOUT_MODE_", 8, 146),
    settingBits("SET_DOUT_DEFAULT_", 8, 147),
};
constexpr ItemRow k6608[] = {
    setting("SET_AIN_OFFSET", 148, 2, kFmtTenths),
};

// ---- analog outputs ----
constexpr ItemRow k4400[] = {
    settings("SET_AOUT_DEFAULT_", 4, 128, 2, 2, kFmtBe16Hex),
    settings("SET_AOUT_TYPE_", 4, 129, 2, 2, kFmtBe16Dec),
    outputs("DATA_AOUT_", 4, 96, 1, 2, kFmtBe16Hex),
    inputs("DATA_OUTSHOW_", 4, 112, 1, 2, kFmtBe16Hex),
    output("DATA_AOUT_SYNC", 100, 2, kFmtBe16Dec),
    settingBit("SET_AOUT_SYNC", 136, 0),
};
constexpr ItemRow k4400E[] = {
    setting("SET_AOUT_TYPE", 128, 2, kFmtBe16Dec),
    settings("SET_RANGE_", 4, 129, 1, 2, kFmtBe16Dec),
    settings("SET_AOUT_DEFAULT_", 4, 133, 1, 2, C),
    settingBits("SET_CHANNEL_USE_", 4, 137),
    setting("SET_AOUT_SYNC", 138, 2, kFmtBe16Dec),
    outputs("DATA_AOUT_", 4, 96, 1, 2, C),
};

// ---- counters ----
constexpr ItemRow k7204[] = {
    settings("SET_COUNT_", 2, 128, 9, 4, kFmtBe32Unsigned),
    settings("SET_COUNT_MAX_", 2, 130, 9, 4, kFmtBe32Unsigned),
    settings("SET_COUNT_MIN_", 2, 132, 9, 4, kFmtBe32Unsigned),
    settings("SET_MODE_REG_", 2, 134, 9, 2, kFmtBe16Hex),
    settings("SET_FILTER_", 2, 135, 9, 2, kFmtBe16Hex),
    settings("SET_FREQTIME_", 2, 136, 9, 2, kFmtBe16Hex),
    inputs("DATA_COUNT_", 2, 64, 2, 4, kFmtBe32Unsigned),
    setting("SET_HIGH_VOL", 146, 2, kFmtBe16Dec),
    setting("SET_LOW_VOL", 147, 2, kFmtBe16Dec),
    outputBits("DATA_DOUT_", 4, 32),
    settingBits("SET_DOUT_MODE_", 4, 148),
    settingBits("SET_DOUT_DEFAULT_", 4, 149),
};
// Four counter/frequency channels (0-3) and two encoders; the values of channels 4 and 5 of
// the data items are the encoders'. The layout follows the module's SDO objects: single
// registers from 128, 32-bit values from 157.
constexpr ItemRow k7404[] = {
    settings("SET_CF_WORKMODE_", 4, 128, 1, 2, kFmtBe16Hex),
    settings("SET_CF_GATEMODE_", 4, 132, 1, 2, kFmtBe16Hex),
    settingBits("SET_CF_RESETENABLE_", 4, 136),
    settingBits("SET_CF_DIRECTION_", 4, 137),
    settingBits("SET_CF_EMPTY_", 4, 138),
    settings("SET_FILTER_", 4, 139, 1, 2, kFmtBe16Hex),
    settings("SET_CF_HIGH_VOL_", 2, 143, 1, 2, kFmtBe16Dec),
    settings("SET_CF_LOW_VOL_", 2, 145, 1, 2, kFmtBe16Dec),
    settings("SET_ENCODE_ENABLE_", 2, 147, 1, 2, kFmtBe16Dec),
    settings("SET_ENCODE_RESETMODE_", 2, 149, 1, 2, kFmtBe16Dec),
    settings("SET_ENCODE_COUNTMODE_", 2, 151, 1, 2, kFmtBe16Dec),
    settings("SET_ENCODE_FENDU_", 2, 153, 1, 2, kFmtBe16Dec),
    settings("SET_ENCODE_TIMERVALUE_", 2, 155, 1, 2, C),
    settings("SET_ENCODE_MAXCOUNT_", 2, 157, 3, 4, kFmtBe32Dec),
    settings("SET_ENCODE_SPEEDHIGH_", 2, 162, 2, 4, C),
    settings("SET_ENCODE_SPEEDLOW_", 2, 166, 2, 4, C),
    settings("SET_CF_CHLLOAD0_", 4, 172, 2, 4, kFmtBe32Unsigned),
    settings("SET_CF_CHLLOAD1_", 4, 180, 2, 4, kFmtBe32Unsigned),
    inputBits("DATA_DIN_", 4, 0),
    outputBits("DATA_DOUT_", 4, 32),
    inputs("DATA_COUNT_ENCODE_CAIYANG_", 6, 64, 2, 4, C),
    inputs("DATA_COUNT_ENCODE_BUHUO_", 6, 76, 2, 4, C),
};

// ---- calibrated modules ----
constexpr ItemRow kCalibConfig[] = {
    setting("SET_DEV_TYPE", 128, 2, kFmtBe16Hex),
    setting("SET_AI_PLUS", 129, 4, kFmtBe32Hex),
    locals("SET_AIN_PLUS_", 16, 4, 4),
    setting("SET_AI_ADJUST_VALID", 174, 2, kFmtBe16Hex),
    setting("SET_AI_SAMPLING_TYPE", 131, 2, kFmtBe16Hex),
    locals("SET_AIN_TYPE_", 16, 4, 2),
    settings("SET_AIN_a_CALIB_", 8, 132, 4, 4, C),
    settings("SET_AIN_b_CALIB_", 8, 134, 4, 4, C),
    settings("SET_DOUT_DEFAULT_", 2, 164, 1, 2, C),
    settings("SET_AOUT_a_CALIB_", 2, 166, 4, 4, C),
    settings("SET_AOUT_b_CALIB_", 2, 168, 4, 4, C),
    setting("SET_AI_ADJUST_DATE", 175, 2, kFmtPackedDate),
    setting("SET_CMD_CALIB_W", 176, 2, C),
    setting("SET_CMD_CALIB_R", 176, 2, kFmtBe16Hex),
    setting("SET_TESTVALUE_1", 177, 4, C),
    setting("SET_TESTVALUE_2", 179, 4, C),
};
constexpr ItemRow kAi4x12[] = {analog(inputs("DATA_AIN_", 4, 64, 1, 2, C), 12)};
constexpr ItemRow kAi4x16[] = {analog(inputs("DATA_AIN_", 4, 64, 1, 2, C), 16)};
constexpr ItemRow kAi8x12[] = {analog(inputs("DATA_AIN_", 8, 64, 1, 2, C), 12)};
constexpr ItemRow kAi8x16[] = {analog(inputs("DATA_AIN_", 8, 64, 1, 2, C), 16)};
constexpr ItemRow kAi16x12[] = {analog(inputs("DATA_AIN_", 16, 64, 1, 2, C), 12)};
constexpr ItemRow kAi16x16[] = {analog(inputs("DATA_AIN_", 16, 64, 1, 2, C), 16)};
constexpr ItemRow kAo2x12[] = {analog(outputs("DATA_AOUT_", 2, 96, 1, 2, C), 12)};
constexpr ItemRow kDevTypeOnly[] = {setting("SET_DEV_TYPE", 128, 2, kFmtBe16Hex)};

// ---- SDO objects: sub-index k maps register 127 + k unless a row says otherwise ----
template <int N>
constexpr SdoRow kConsecutive[] = {{1, N, 128, 1, 1}};
constexpr SdoRow kSdo4017[] = {{1, 9, 128, 1, 1}, {10, 10, 152, 1, 1}, {11, 11, 153, 1, 1}};
constexpr SdoRow kSdo7404[] = {
    {1, 29, 128, 1, 1}, {30, 30, 157, 2, 2}, {31, 35, 160, 2, 2},
    {36, 37, 170, 1, 1}, {38, 45, 172, 2, 2}, {46, 46, 188, 1, 1},
};

using F = SubFamily;

// Rows of one type code run from the newest hardware version down: the first row whose version
// the slot reaches serves it.
constexpr SubClassRow kClasses[] = {
    {0x1804, 0, "CSub1804", 0x1804, F::Counter, 0, 0x3000, {k1804}, kConsecutive<1>},
    {0x2808, 0, "CSub2808", 0x2808, F::Plain, 0, 0x3008, {kDo8Settings}, kConsecutive<2>},
    {0x4055, 0, "CSub4055", 0x4055, F::Counter, 0, 0x3010, {k4055, kDo8Settings}, kConsecutive<3>},
    {0x3402, 0, "CSub3402", 0x3402, F::Mixed, 0, 0x3018, {k3402}, kConsecutive<14>},
    {0x3412, 0, "CSub3412", 0x3412, F::Millivolt, 0, 0x3020, {k3412}, kConsecutive<17>},
    {0x3800, 0x150, "CSub3800E", 0x3800, F::SignMagnitude, 0, 0x3028, {kAi8ByType, k3800E}, kConsecutive<8>},
    {0x3800, 0, "CSub3800", 0x3800, F::OffsetBinary, 0, 0x3028, {kAi8ByType}, kConsecutive<8>},
    {0x4017, 0x120, "CSub4017E", 0x4117, F::Bipolar, kBipolar4017E, 0x3030, {kAi8ByType, k4017E}, kSdo4017},
    {0x4017, 0, "CSub4017", 0x4017, F::Bipolar, kBipolar4017, 0x3030, {kAi8ByType}, kSdo4017},
    {0x9308, 0, "CSub9308", 0x9308, F::Bipolar, kBipolar9308, 0, {kAi8ByType}, {}},
    {0x4400, 0x110, "CSub4400E", 0x4410, F::AnalogOut16, 0, 0x3040, {k4400E}, kConsecutive<11>},
    {0x4400, 0, "CSub4400", 0x4400, F::Plain, 0, 0x3038, {k4400}, kConsecutive<9>},
    {0x4410, 0, "CSub4400E", 0x4410, F::AnalogOut16, 0, 0x3040, {k4400E}, kConsecutive<11>},
    {0x5508, 0, "CSub5508", 0x5508, F::Plain, 0, 0x3048, {k5508}, kConsecutive<18>},
    {0x6608, 0, "CSub6608", 0x6608, F::Plain, 0, 0x3050, {kAi6Do8, k6608}, kConsecutive<21>},
    {0x9606, 0, "CSub9606", 0x9606, F::Plain, 0, 0, {kAi6Do8}, {}},
    {0x7204, 0, "CSub7204", 0x7204, F::Plain, 0, 0, {k7204}, {}},
    {0x7404, 0, "CSub7404", 0x7404, F::Encoder, 0, 0x3058, {k7404}, kSdo7404},
    {0x9108, 0, "CSub9108", 0x9108, F::Plain, 0, 0, {k9108, kDo8Settings}, {}},
    {0x3900, 0, "CSub3900", 0x3900, F::Calibrated, kCalibSharedCoefficients, 0, {kCalibConfig, kAi8x12}, {}},
    {0x3901, 0, "CSub3901", 0x3901, F::Calibrated, kCalibSharedCoefficients, 0, {kCalibConfig, kAi8x16}, {}},
    {0x3902, 0, "CSub3902", 0x3902, F::Calibrated, 0, 0, {kCalibConfig, kAi4x12, kAo2x12}, {}},
    {0x3903, 0, "CSub3903", 0x3903, F::Calibrated, 0, 0, {kCalibConfig, kAi4x16, kAo2x12}, {}},
    {0x3904, 0, "CSub3904", 0x3904, F::Calibrated, 0, 0, {kCalibConfig, kAi8x12}, {}},
    {0x3905, 0, "CSub3905", 0x3905, F::Calibrated, 0, 0, {kCalibConfig, kAi8x16}, {}},
    {0x3906, 0, "CSub3906", 0x3906, F::Calibrated, 0, 0, {kCalibConfig, kAi8x12, kAo2x12}, {}},
    {0x3907, 0, "CSub3907", 0x3907, F::Calibrated, 0, 0, {kCalibConfig, kAi8x16, kAo2x12}, {}},
    {0x3908, 0, "CSub3908", 0x3908, F::Calibrated, kCalibSharedCoefficients, 0, {kCalibConfig, kAi16x12}, {}},
    {0x3909, 0, "CSub3909", 0x3909, F::Calibrated, kCalibSharedCoefficients, 0, {kCalibConfig, kAi16x16}, {}},
    {0x390A, 0, "CSub390A", 0x390A, F::Calibrated, 0, 0, {kCalibConfig, kAi8x12, kAo2x12}, {}},
    {0x390B, 0, "CSub390B", 0x390B, F::Calibrated, 0, 0, {kCalibConfig, kAi8x16, kAo2x12}, {}},
    {0x39FF, 0, "CSub39FF", 0x39FF, F::Plain, 0, 0, {kDevTypeOnly}, {}},
    // A module running its boot loader; 0x270F is 9999 written in decimal by older firmware.
    {0x9999, 0, "CSub9999", 0x9999, F::Plain, 0, 0, {}, {}},
    {0x270F, 0, "CSub9999", 0x9999, F::Plain, 0, 0, {}, {}},
};

constexpr IdentityRow kIdentity[] = {
    {"SLAVER_ADDRESS", 1, kFmtByteDec}, {"SLAVER_MANFT", 2, kFmtBe16Hex},  {"SLAVER_TYPE", 2, kFmtModelName},
    {"SLAVER_MODE", 2, kFmtHost16Hex},  {"SLAVER_HARDVER", 2, kFmtVersion}, {"SLAVER_SOFTVER", 2, kFmtVersion},
    {"SLAVER_SN", 4, kFmtHexBytes},
};

}  // namespace

std::span<const IdentityRow> IdentityRows() { return kIdentity; }

std::string ItemKey(const ItemRow& row, int channel) {
    return row.channels ? row.key + std::to_string(channel) : std::string(row.key);
}

std::vector<std::string> SubClassKeys(const SubClassRow& cls, bool data) {
    std::vector<std::string> keys;
    if (!data)
        for (const auto& id : kIdentity) keys.push_back(id.key);
    for (const auto& table : cls.items)
        for (const auto& row : table) {
            bool isData = row.role == ItemRole::Input || row.role == ItemRole::Output;
            if (isData != data) continue;
            for (int ch = 0; ch < (row.channels ? row.channels : 1); ++ch) keys.push_back(ItemKey(row, ch));
        }
    return keys;
}

const SubClassRow* FindSubClass(std::uint16_t type, std::uint16_t hardVer) {
    for (const auto& row : kClasses)
        if (row.type == type && hardVer >= row.minHardVer) return &row;
    return nullptr;
}

std::span<const SubClassRow> SubClassRows() { return kClasses; }

}  // namespace vexa
