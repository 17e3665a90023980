#pragma once
// Whole upgrades through FwLoader and the shipped plug-ins against the simulated rack: the
// program folder is the build tree's (VEXA_APPDIR), the devices are a SimRack's.
#include <cstdint>
#include <memory>
#include <string>

#include "FwLoader.h"
#include "UpfBuilder.h"
#include "VexaBootParams.h"
#include "sim/SimRack.h"
#include "sim/boot/BootHeader.h"

namespace boottest {

using fwtest::Bytes;

// The rigs' devices: a sub module of this type behind a coupler, or an RS-485 coupler itself,
// over a pseudo-terminal at this rate.
constexpr std::uint16_t kSubType = 0x4017;
constexpr std::uint16_t kCouplerType = 0x9010;
constexpr int kFastBaud = 115200;

// A folder of its own for upgrade files, removed at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string write(const std::string& name, const Bytes& bytes) const;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Makes the build tree's program folder, with its devdlls/, the AppDir of this process.
void useBuildAppDir();

// The FwLoader index of the plug-in listed under `name`; -1 when none is.
int pluginIndex(const std::string& name);

// Points the library's Ethernet search and USB bus at the rack (after it started).
void useRack(const vexa::sim::SimRack& rack);

// Open parameters for the shipped plug-ins. `port` must outlive their use.
VexaPortParams vexaEthernet(const std::string& couplerAddress, std::uint8_t subAddress = 0);
VexaPortParams vexaHid(std::uint8_t subAddress = 0);
VexaPortParams vexaSerial(const std::string& port, std::uint8_t station, int baud);
MbPortParams mbSerial(const std::string& port, std::uint8_t station, int baud);

// An upgrade file for a module of `type` (hardware 0x0100) carrying `payload`.
Bytes upgradeFile(const Bytes& payload, std::uint16_t type, std::uint16_t firmware = 0x0101);

// What the boot loader of a device has received; empty when it runs none.
Bytes bootImage(vexa::sim::SimCoupler& coupler, int position);

struct UpgradeResult {
    int ok = 0;
    int code = 0;
    std::string text;
    int progress = 0;  // after the upgrade
};
UpgradeResult runUpgrade(int device, const std::string& path);

}  // namespace boottest
