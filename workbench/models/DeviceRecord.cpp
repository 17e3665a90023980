#include "models/DeviceRecord.h"

#include <cstdio>

namespace vexadesk {

ShownRow* findRow(RowMemory& rows, const std::string& key) {
    for (auto& r : rows)
        if (r.key == key) return &r;
    return nullptr;
}

void rememberRow(RowMemory& rows, CatalogNode* node, const std::string& key, const std::string& text) {
    if (ShownRow* r = findRow(rows, key)) {
        r->node = node;
        r->text = text;
        return;
    }
    rows.push_back({node, key, text});
}

SubSlot* DeviceRecord::slotWithId(int id) {
    if (id == 0) return nullptr;
    for (auto& s : subSlots)
        if (s.id == id) return &s;
    return nullptr;
}

int DeviceRecord::subCount() const {
    int n = 0;
    for (const auto& s : subSlots) n += s.id != 0;
    return n;
}

std::string moduleName(std::uint16_t type) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "VEXA-%04X", shownType(type));
    return buf;
}

std::string subModuleName(std::uint16_t type, std::uint16_t version) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "VEXA-%X", type);
    std::string name = buf;
    // The later 0x4017 generation is sold under its own name.
    if (type == 0x4017 && version >= 0x120) name += "N";
    return name;
}

std::string couplerNodeText(const DeviceRecord& r) {
    switch (r.linkType) {
        case kLinkEthernet: return moduleName(r.type) + ": " + r.ip;
        case kLinkSerial: return moduleName(r.type) + ": ID " + std::to_string(r.station);
        default: return moduleName(r.type) + ": HID " + std::to_string(r.usbIndex);
    }
}

std::string couplerAddressText(const DeviceRecord& r) {
    switch (r.linkType) {
        case kLinkEthernet: return r.ip;
        case kLinkSerial: return r.line.port + " : " + std::to_string(r.station);
        default: return "HID";
    }
}

std::string rootText(const DeviceRecord& r) {
    switch (r.linkType) {
        case kLinkEthernet: return "Ethernet";
        case kLinkSerial: return "RS-485 : " + r.line.port;
        default: return "USB : Host";
    }
}

std::string subNodeText(const SubSlot& s) { return subModuleName(s.type, s.version) + " id:" + std::to_string(s.id); }

}  // namespace vexadesk
