#pragma once
// A boot link to one row of the device table: reads and writes go through its plug-in.
#include "BootDevice.h"
#include "BootLink.h"

namespace fwl {

class CDeviceLink final : public CBootLink {
public:
    CDeviceLink(CBootDevice& table, int device) : table_(table), device_(device) {}

    int read(std::uint8_t* buffer, std::uint32_t n, int timeoutMs) override {
        return table_.read(device_, buffer, n, timeoutMs);
    }
    int write(const std::uint8_t* data, std::uint32_t n, int timeoutMs) override {
        return table_.write(device_, data, n, timeoutMs);
    }

private:
    CBootDevice& table_;
    const int device_;
};

}  // namespace fwl
