#include "CComMain.h"

#include "ValueFormat.h"
#include "msg/CComMsg.h"
#include "transfer/CComTransfer.h"

namespace vexa {

namespace {

constexpr PropertyDef kComProperties[] = {
    {"MAIN_NAME", 0, 0, 16, kFmtText},
    {"MAIN_PASS", 0, 16, 16, kFmtText},
    {"MAIN_MAX_SLAVER", 0, 32, 1, kFmtByteDec},
    {"MAIN_MODBUS_OP", 0, 33, 1, kFmtByteDec},
    {"MAIN_BYTE_TO", 0, 34, 2, kFmtBe16Dec},
    {"MAIN_BAUD", 0, 36, 1, kFmtByteDec},
    {"MAIN_DATA_B", 0, 37, 1, kFmtByteDec},
    {"MAIN_STOP_B", 0, 38, 1, kFmtByteDec},
    {"MAIN_PARITY", 0, 39, 1, kFmtByteDec},
    {"MAIN_BOOT_LOAD", 0, 63, 1, kFmtByteDec},
};

}  // namespace

CComMain::CComMain() {
    kind_ = kTransferSerial;
    blockLength_ = 64;
    transfer_ = std::make_unique<CComTransfer>();
    msg_ = std::make_unique<CComMsg>();
    BuildDeviceBlocks();
    BuildFixedBlock();
}

void CComMain::BuildFixedBlock() { BuildFromTable(kIdentityProperties, std::size(kIdentityProperties), true); }

void CComMain::BuildDeviceBlocks() { BuildFromTable(kComProperties, std::size(kComProperties), false); }

void CComMain::SetStation(int station) {
    station_ = static_cast<std::uint8_t>(station);
    static_cast<CComMsg&>(*msg_).setStation(station);
}

void CComMain::SetFraming(int framing) {
    static_cast<CComMsg&>(*msg_).setFraming(framing);
}

bool CComMain::OpenSerial(int station, int framing, const char* port, const SerialSettings& line) {
    if (!port) return false;
    SetFraming(framing);
    SetStation(station);
    transfer_->SetSerial(kTransferSerial, port, line, kSearchTimeoutMs);
    return transfer_->Open() != 0;
}

}  // namespace vexa
