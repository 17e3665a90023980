#include "CUsbMain.h"

#include "ValueFormat.h"
#include "msg/CUsbMsg.h"
#include "msg/vexa_rc.h"
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
    msg_ = std::make_unique<CUsbMsg>();
    BuildDeviceBlocks();
    BuildFixedBlock();
}

void CUsbMain::BuildFixedBlock() { BuildFromTable(kIdentityProperties, std::size(kIdentityProperties), true); }

void CUsbMain::BuildDeviceBlocks() { BuildFromTable(kUsbProperties, std::size(kUsbProperties), false); }

CUsbMsg& CUsbMain::usbMsg() { return static_cast<CUsbMsg&>(*msg_); }

int CUsbMain::SearchSub() {
    for (auto& s : slots_) s = SubSlotRecord{};
    for (int i = 0; i < kSubSlots; ++i) {
        msg_->SetSearchSubDevMsg(i);
        Reply r;
        if (Exchange(&r) == RC_OK) PlaceSlots(r);  // a slot that does not answer stays empty
    }
    return RC_OK;
}

bool CUsbMain::OpenHid(const char* path, int timeout) {
    if (!path) return false;
    transfer_->SetHid(kTransferHid, path, timeout);
    return transfer_->Open() != 0;
}

}  // namespace vexa
