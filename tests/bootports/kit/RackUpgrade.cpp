#include "RackUpgrade.h"

#include <arpa/inet.h>
#include <stdlib.h>

#include <filesystem>

#include "sim/boot/BootLoaderSim.h"

namespace boottest {

TempFolder::TempFolder() {
    char tmpl[] = "/tmp/vexa-boot-XXXXXX";
    if (const char* dir = ::mkdtemp(tmpl)) path_ = dir;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string TempFolder::write(const std::string& name, const Bytes& bytes) const {
    const std::string file = path_ + "/" + name;
    fwtest::writeBytes(file, bytes);
    return file;
}

void useBuildAppDir() { ::setenv("VEXA_APPDIR", BOOTTEST_APPDIR, 1); }

int pluginIndex(const std::string& name) {
    const int count = KB_GetCommDeviceList(nullptr, 0);
    char text[KB_NAME_SIZE];
    for (int i = 0; i < count; ++i)
        if (KB_GetCommDeviceList(text, i) == 1 && name == text) return i;
    return -1;
}

void useRack(const vexa::sim::SimRack& rack) {
    ::setenv("VEXA_ETH_BROADCAST", rack.hubAddress().c_str(), 1);
    ::setenv("VEXA_HID", ("sim:" + rack.hidFolder()).c_str(), 1);
}

VexaPortParams vexaEthernet(const std::string& couplerAddress, std::uint8_t subAddress) {
    VexaPortParams p{};
    p.magic = VEXA_PORT_MAGIC;
    p.transport = VEXA_PORT_ETHERNET;
    p.subAddress = subAddress;
    ::inet_pton(AF_INET, couplerAddress.c_str(), &p.ipAddress);
    return p;
}

VexaPortParams vexaHid(std::uint8_t subAddress) {
    VexaPortParams p{};
    p.magic = VEXA_PORT_MAGIC;
    p.transport = VEXA_PORT_HID;
    p.subAddress = subAddress;
    return p;
}

VexaPortParams vexaSerial(const std::string& port, std::uint8_t station, int baud) {
    VexaPortParams p{};
    p.magic = VEXA_PORT_MAGIC;
    p.transport = VEXA_PORT_RS485;
    p.station = station;
    p.rsParam = 0;  // RTU
    p.portText = port.c_str();
    // baud, data bits, parity, stop bits, DTR, RTS, and two unused
    const std::int32_t serial[8] = {baud, 8, 0, 0, 1, 1, 0, 0};
    std::copy(serial, serial + 8, p.serial);
    return p;
}

MbPortParams mbSerial(const std::string& port, std::uint8_t station, int baud) {
    MbPortParams p{};
    p.magic = MB_PORT_MAGIC;
    p.copyPortText = 1;
    p.station = station;
    p.lineMode = 0;  // RTU
    p.portText = port.c_str();
    p.baudRate = baud;
    p.dataBits = 8;
    return p;
}

Bytes upgradeFile(const Bytes& payload, std::uint16_t type, std::uint16_t firmware) {
    vexa::sim::BootHeader header = vexa::sim::BootHeader::forImage(payload);
    header.deviceType = type;
    header.firmwareVersion = firmware;
    fwtest::UpfLayout layout;
    layout.payload = payload;
    layout.header = header.encode(10);
    return fwtest::buildUpf(layout);
}

Bytes bootImage(vexa::sim::SimCoupler& coupler, int position) {
    Bytes image;
    coupler.withBootLoader(position, [&](vexa::sim::BootLoaderSim& b) { image = b.image(); });
    return image;
}

UpgradeResult runUpgrade(int device, const std::string& path) {
    UpgradeResult r;
    r.ok = KB_UpdateFirware(device, path.c_str());
    char text[KB_ERR_TEXT_SIZE] = {};
    r.code = KB_GetErrInfo(device, text);
    r.text = text;
    r.progress = KB_GetUpdateFirwareProgress(device);
    return r;
}

}  // namespace boottest
