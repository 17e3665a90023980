#pragma once
// One small interface for HID devices, with one backend per kind of bus: hidapi for real
// devices, and the simulated bus (VEXA_HID=sim:<folder>) where every SOCK_SEQPACKET socket in
// the folder is a device.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vexa {

struct HidDeviceInfo {
    std::string path;
    std::string manufacturer;  // UTF-8
    std::string product;       // UTF-8
    int inputReportLength = 65;   // with the report ID byte
    int outputReportLength = 65;  // with the report ID byte
};

class HidDevice {
public:
    virtual ~HidDevice() = default;
    // `report` starts with the report ID. Returns bytes written, or -1 on error or time-out.
    virtual int write(const std::uint8_t* report, int len, int timeoutMs) = 0;
    // Fills `report` with the report ID first, as the Windows read does. Returns bytes read
    // (report ID included), 0 on time-out, -1 on error. Nothing stays pending after a time-out:
    // a report arriving later is the answer to the next read.
    virtual int read(std::uint8_t* report, int cap, int timeoutMs) = 0;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    virtual std::vector<HidDeviceInfo> enumerate() = 0;
    virtual std::unique_ptr<HidDevice> open(const std::string& path) = 0;  // null on failure
};

// The backend that VEXA_HID selects now: "sim:<folder>" gives the simulated bus, anything else
// (or unset) hidapi.
std::unique_ptr<HidBackend> makeHidBackend();
std::unique_ptr<HidBackend> makeHidapiBackend();
std::unique_ptr<HidBackend> makeSimHidBackend(const std::string& folder);

}  // namespace vexa
