#include "CouplerKeys.h"

#include <cctype>
#include <iterator>
#include <string_view>

#include "RackEarlyKeys.h"
#include "VexaSdk.h"

namespace vexa::rackconfig {

namespace {

constexpr const char* kEthKeys[] = {"MAIN_MAC",          "MAIN_TYPE",         "MAIN_MODE",       "MAIN_HARDVER",
                                    "MAIN_NAME",         "MAIN_PASS",         "MAIN_IP",         "MAIN_MASK",
                                    "MAIN_GATE",         "MAIN_DNS",          "MAIN_FILE_DOWN",  "MAIN_SOFT_1_VER",
                                    "MAIN_SOFT_1_LEN",   "MAIN_SOFT_1_CHECK", "MAIN_SOFT_2_VER", "MAIN_SOFT_2_LEN",
                                    "MAIN_SOFT_2_CHECK", "MAIN_BOOT_LOAD"};
constexpr const char* kRsKeys[] = {"MAIN_MANFT",      "MAIN_TYPE",      "MAIN_MODE",    "MAIN_HARDVER",
                                   "MAIN_SOFTVER",    "MAIN_SNCODE",    "MAIN_NAME",    "MAIN_PASS",
                                   "MAIN_MAX_SLAVER", "MAIN_MODBUS_OP", "MAIN_BYTE_TO", "MAIN_BAUD",
                                   "MAIN_DATA_B",     "MAIN_STOP_B",    "MAIN_PARITY",  "MAIN_BOOT_LOAD"};
constexpr const char* kHidKeys[] = {"MAIN_MANFT",        "MAIN_TYPE",          "MAIN_MODE",
                                    "MAIN_HARDVER",      "MAIN_SOFTVER",       "MAIN_SNCODE",
                                    "MAIN_CANOPEN_ADDR", "MAIN_CANBAUD_INDEX", "MAIN_USER_CANBAUD"};

// Writable keys only: the search block (type, versions, MAC, serial) has nowhere to be written.
// The password stays out of files; the download items start firmware transfers.
constexpr const char* kEthSettings[] = {"MAIN_NAME", "MAIN_IP", "MAIN_MASK", "MAIN_GATE", "MAIN_DNS"};
constexpr const char* kRsSettings[] = {"MAIN_NAME", "MAIN_MAX_SLAVER", "MAIN_MODBUS_OP", "MAIN_BYTE_TO",
                                       "MAIN_BAUD", "MAIN_DATA_B",     "MAIN_STOP_B",    "MAIN_PARITY"};
constexpr const char* kHidSettings[] = {"MAIN_CANOPEN_ADDR", "MAIN_CANBAUD_INDEX", "MAIN_USER_CANBAUD"};

constexpr std::string_view kIdentityKeys[] = {
    "MAIN_IP", "MAIN_MASK", "MAIN_GATE", "MAIN_DNS", "MAIN_MAC", "MAIN_SNCODE", "MAIN_NAME", "MAIN_CANOPEN_ADDR",
    // The RS-485 line we talk to the coupler over: a written baud rate would cut the restore off.
    "MAIN_BAUD", "MAIN_DATA_B", "MAIN_STOP_B", "MAIN_PARITY", "SLAVER_ADDRESS", "SLAVER_SN",
    // Calibration measured on this piece of hardware; another piece has its own.
    "SET_AI_ADJUST_VALID", "SET_AI_ADJUST_DATE", "SET_CHECK_DATA"};
constexpr std::string_view kIdentityPrefixes[] = {"SET_ADJUST_",       "SET_AIN_a_CALIB_",  "SET_AIN_b_CALIB_",
                                                  "SET_AOUT_a_CALIB_", "SET_AOUT_b_CALIB_", "SET_TESTVALUE_"};

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

template <std::size_t N>
std::span<const char* const> span(const char* const (&a)[N]) {
    return {a, N};
}

}  // namespace

// Each coupler kind's keys, in KO_KIND_ order: all of them, and what a backup keeps.
struct KindKeys {
    std::span<const char* const> all, settings;
};
const KindKeys kKindKeys[] = {
    {span(kEthKeys), span(kEthSettings)},
    {span(kRsKeys), span(kRsSettings)},
    {span(kHidKeys), span(kHidSettings)},
};

const KindKeys& keysOf(int kind) {
    return kKindKeys[kind == KO_KIND_ETHERNET || kind == KO_KIND_SERIAL ? kind : KO_KIND_HID];
}

std::span<const char* const> couplerKeys(int kind) { return keysOf(kind).all; }

std::span<const char* const> couplerSettingKeys(int kind) { return keysOf(kind).settings; }

bool isIdentityKey(const std::string& key) {
    for (auto k : kIdentityKeys)
        if (key == k) return true;
    for (auto p : kIdentityPrefixes)
        if (startsWith(key, p)) return true;
    return false;
}

bool isEarlyKey(const std::string& key) {
    for (const auto& e : generated::kEarlyKeys) {
        std::string_view k = e.key;
        if (e.family ? startsWith(key, k) && allDigits(std::string_view(key).substr(k.size())) : key == k) return true;
    }
    return false;
}

bool isSubSettingKey(const std::string& key) {
    return startsWith(key, "SET_") && key.find("_CMD_") == std::string::npos;
}

}  // namespace vexa::rackconfig
