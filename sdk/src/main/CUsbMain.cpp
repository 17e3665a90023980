#include "CUsbMain.h"

#include "ValueFormat.h"
#include "msg/CUsbMsg.h"
#include "transfer/CUsbTransfer.h"

namespace vexa {

namespace {

constexpr PropertyDef kUsbProperties[] = {
    {"MAIN_CANOPEN_ADDR", 2, 0, 1, kFmtByteDec},
    {"MAIN_CANBAUD_INDEX", 2, 1, 1, kFmtByteDec},
    {"MAIN_USER_CANBAUD", 2, 2, 4, kFmtBe32Dec},
};

}  // namespace

CUsbMain::CUsbMain() {
    kind_ = kTransferHid;
    blockLength_ = 64;
    transfer_ = std::make_unique<CUsbTransfer>();
    msg_ = std::make_unique<CUsbMsg>(this);
    BuildDeviceBlocks();
    BuildFixedBlock();
}

void CUsbMain::BuildFixedBlock() { BuildFromTable(kIdentityProperties, std::size(kIdentityProperties), true); }

void CUsbMain::BuildDeviceBlocks() { BuildFromTable(kUsbProperties, std::size(kUsbProperties), false); }

CUsbMsg& CUsbMain::usbMsg() { return static_cast<CUsbMsg&>(*msg_); }

bool CUsbMain::OpenHid(const char* path, int timeout) {
    if (!path) return false;
    hidPath_ = path;
    transfer_->SetHid(kTransferHid, path, timeout);
    return transfer_->Open() != 0;
}

}  // namespace vexa
