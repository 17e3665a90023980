#include "CEthMain.h"

#include "ValueFormat.h"
#include "platform/TestKnobs.h"
#include "msg/CEthMsg.h"
#include "transfer/CEthTransfer.h"
#include "wire/Coupler.h"

namespace vexa {

namespace {

constexpr PropertyDef kEthProperties[] = {
    {"MAIN_MAC", -1, 0, 6, kFmtMac},
    {"MAIN_TYPE", -1, 0, 2, kFmtModelName},
    {"MAIN_MODE", -1, 0, 2, kFmtHost16Hex},
    {"MAIN_HARDVER", -1, 0, 2, kFmtVersion},
    {"MAIN_NAME", 0, 0, 16, kFmtText},
    {"MAIN_PASS", 0, 16, 16, kFmtText},
    {"MAIN_IP", 0, 32, 4, kFmtIPv4},
    {"MAIN_MASK", 0, 36, 4, kFmtIPv4},
    {"MAIN_GATE", 0, 40, 4, kFmtIPv4},
    {"MAIN_DNS", 0, 44, 4, kFmtIPv4},
    {"MAIN_FILE_DOWN", 1, 3, 1, kFmtByteDec},
    {"MAIN_SOFT_2_LEN", 1, 233, 4, kFmtBe32Dec},
    {"MAIN_SOFT_2_CHECK", 1, 237, 2, kFmtBe16Dec},
    {"MAIN_SOFT_2_VER", 1, 239, 1, kFmtByteDec},
    {"MAIN_SOFT_1_LEN", 1, 240, 4, kFmtBe32Dec},
    {"MAIN_SOFT_1_CHECK", 1, 244, 2, kFmtBe16Dec},
    {"MAIN_BOOT_LOAD", 1, 246, 1, kFmtByteDec},
    {"MAIN_SOFT_1_VER", 1, 247, 1, kFmtByteDec},
};

}  // namespace

int CEthMain::OperateTimeoutMs() { return testSettingMs(kKnobEthTimeoutMs, kOperateTimeoutMs); }

CEthMain::CEthMain() {
    kind_ = kTransferEthernet;
    blockLength_ = 256;
    transfer_ = std::make_unique<CEthTransfer>();
    msg_ = std::make_unique<CEthMsg>();
    BuildDeviceBlocks();
    BuildFixedBlock();
}

void CEthMain::BuildFixedBlock() {
    BuildFromTable(kEthProperties, std::size(kEthProperties), true);
}

void CEthMain::BuildDeviceBlocks() {
    BuildFromTable(kEthProperties, std::size(kEthProperties), false);
}

bool CEthMain::OpenEth(int, int, const char* ip, const char* mac, int, int, int timeout) {
    if (!ip || !wire::parseMac(mac, mac_)) return false;
    static_cast<CEthMsg&>(*msg_).setMac(mac_);
    transfer_->SetEthernet(kTransferEthernet, ip, kPort, 0, timeout);
    return transfer_->Open() != 0;
}

void CEthMain::FillFixedBlock() {
    PropertyItem* mac = FindItem("MAIN_MAC");
    if (mac) {
        parseText(*mac, ethSearch_.mac);
        renderText(*mac);
    }
    const std::uint8_t* r = ethSearch_.reply;
    // Type and mode are kept in host order; the hardware version is read big-endian but kept in
    // host order too, so its byte 17 shows as the major number.
    std::uint8_t type[2] = {r[12], r[11]};
    std::uint8_t mode[2] = {r[14], r[13]};
    std::uint8_t hard[2] = {r[17], r[16]};
    SetFixedRaw("MAIN_TYPE", type, 2);
    SetFixedRaw("MAIN_MODE", mode, 2);
    SetFixedRaw("MAIN_HARDVER", hard, 2);
}

}  // namespace vexa
