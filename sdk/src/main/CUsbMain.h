#pragma once
#include <map>

#include "CVEXAMain.h"

namespace vexa {

class CUsbMsg;

// The USB HID coupler (type 0x9020), a CANopen coupler: one 64-byte block with id 2.
class CUsbMain : public CVEXAMain {
public:
    static constexpr int kType = 0x9020;
    static constexpr int kBlockId = 2;

    CUsbMain();
    bool OpenHid(const char* path, int timeout) override;
    void BuildFixedBlock() override;
    void BuildDeviceBlocks() override;
    void FillFixedBlock() override { FillIdentityBlock(); }
    // This coupler is asked slot by slot.
    int SearchSub() override;

    // Search results waiting to be fetched, keyed by enumeration index + 1.
    std::map<int, HidSearchRecord>& searchResults() { return searchResults_; }

    CUsbMsg& usbMsg();

private:
    std::map<int, HidSearchRecord> searchResults_;
};

}  // namespace vexa
