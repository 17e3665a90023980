#pragma once
// One coupler found by a search, with its eight sub-module subSlots and what its pages last showed.
// Records are owned by the device tree and live until the next clear or search. The library
// handles in a record are opened, used and closed only on the device thread; the window thread
// reads them only to know whether a device is open.
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Catalog.h"

namespace vexadesk {

// The coupler kinds, numbered as the library's device kinds and the boot plug-in's transports.
constexpr int kLinkEthernet = 0;
constexpr int kLinkSerial = 1;
constexpr int kLinkUsb = 2;
// The Ethernet coupler reports 9 on its wire and is sold as "VEXA-9000".
constexpr std::uint16_t kEthCouplerType = 0x0009;
constexpr std::uint16_t kSerialCouplerType = 0x9010;
constexpr std::uint16_t kUsbCouplerType = 0x9020;
constexpr std::uint16_t kBootLoaderType = 0x9999;
constexpr int kSubSlots = 8;

// A row as the workspace last showed it from the device.
struct ShownRow {
    CatalogNode* node = nullptr;
    std::string key;
    std::string text;
};
using RowMemory = std::vector<ShownRow>;

ShownRow* findRow(RowMemory& rows, const std::string& key);
void rememberRow(RowMemory& rows, CatalogNode* node, const std::string& key, const std::string& text);

struct SubSlot {
    std::uint16_t id = 0;  // address on the coupler's bus; 0 = empty slot
    std::uint16_t type = 0;
    std::uint16_t extra = 0;    // mode word; the boot-loader panel's caption argument
    std::uint16_t version = 0;  // hardware version; picks the catalog page
    std::atomic<void*> handle{nullptr};
    RowMemory propertyRows, dataRows, scratchRows;
};

// An RS-485 line as the library's serial calls take it.
struct SerialLine {
    std::string port;    // device path ("/dev/ttyUSB0")
    int framing = 0;     // 0 RTU, 1 ASCII
    int baud = 9600;
    int dataBits = 8;
    int parity = 0;      // 0 none, 1 odd, 2 even
    int stopBits = 0;    // 0 one, 2 two
    int timeoutMs = 500;
};

struct DeviceRecord {
    int linkType = kLinkUsb;
    std::string path;          // HID device path
    std::string ip, mac;       // Ethernet coupler
    SerialLine line;           // RS-485 coupler
    int station = 0;           // RS-485 coupler's station address
    std::uint16_t type = 0;    // first identifier: the coupler's type code
    std::uint16_t mode = 0;    // second identifier
    int usbIndex = 0;          // position in the USB list, from 0
    // The search's serial number: finds the coupler again when its path changed (it re-enumerates
    // after a firmware download). Unknown: the path is the only way back.
    std::optional<std::int32_t> serial;
    bool loggedIn = false;
    std::string password;      // kept for submits
    std::atomic<void*> handle{nullptr};
    std::array<SubSlot, kSubSlots> subSlots;
    RowMemory mainRows;

    SubSlot* slotWithId(int id);
    int subCount() const;
};

// The type code a person reads: 0x9000 for the Ethernet coupler's 9, else the code itself.
constexpr std::uint16_t shownType(std::uint16_t type) { return type == kEthCouplerType ? 0x9000 : type; }

// Texts the tree, the header labels and the search list show.
std::string moduleName(std::uint16_t type);                        // "VEXA-%04X" ("VEXA-9000" for 9)
std::string subModuleName(std::uint16_t type, std::uint16_t version);  // "VEXA-%X" (+ "N")
std::string couplerNodeText(const DeviceRecord& r);                 // "%s: HID %d", "%s: IP", "%s: ID %d"
// Where the coupler is, as the login dialog and the header show it: "HID", the IP, "COM: ID".
std::string couplerAddressText(const DeviceRecord& r);
// The tree root a coupler is listed under: "USB : Host", "Ethernet", "RS-485 : <port>".
std::string rootText(const DeviceRecord& r);
std::string subNodeText(const SubSlot& s);                          // "%s id:%d"

}  // namespace vexadesk
