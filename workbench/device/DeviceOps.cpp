#include "device/DeviceOps.h"

#include <VexaSdk.h>

namespace vexadesk {

namespace {

// The library's set-operate call for the record's kind. Ethernet and RS-485 couplers are known
// to the library from the search that found them; the search runs again when it no longer is.
KO_HANDLE operate(const DeviceRecord& r) {
    switch (r.linkType) {
        case kLinkEthernet: {
            KO_HANDLE h = KO_EthSetOperateDev(r.ip.c_str(), r.mac.c_str(), r.type, r.mode);
            if (h || KO_EthSearchByIP(r.ip.c_str()) != RC_OK) return h;
            char ip[KO_IP_TEXT_SIZE] = {}, mac[KO_MAC_TEXT_SIZE] = {};
            int hard = 0, type = 0, mode = 0, flags = 0, extra = 0;
            while (KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra) == RC_OK)
                if (r.ip == ip) return KO_EthSetOperateDev(ip, mac, type, mode);
            return nullptr;
        }
        case kLinkSerial: {
            const SerialLine& l = r.line;
            auto open = [&] {
                return KO_RSSetOperateDev(r.station, r.type, r.mode, l.framing, l.port.c_str(), l.baud, l.dataBits,
                                          l.parity, l.stopBits, 1, 1, 0, 0, l.timeoutMs);
            };
            KO_HANDLE h = open();
            if (h || KO_RSSearchByID(r.station, l.framing, l.port.c_str(), l.baud, l.dataBits, l.parity, l.stopBits,
                                     1, 1, 0, 0, l.timeoutMs) != RC_OK)
                return h;
            return open();
        }
        default: return KO_HIDSetOperateDev(r.path.c_str(), r.type, r.mode);
    }
}

}  // namespace

int openDevice(DeviceRecord& r) {
    if (r.handle.load()) return RC_OK;
    KO_HANDLE h = operate(r);
    if (!h) return RC_OPEN_FAILED;
    r.handle = h;
    return RC_OK;
}

int loginDevice(DeviceRecord& r, const std::string& password) {
    int rc = openDevice(r);
    if (rc != RC_OK) return rc;
    // The USB coupler has no password of its own: its login is the workbench's.
    if (r.linkType == kLinkUsb) return RC_OK;
    return KO_LoginMain(r.handle.load(), password.c_str()) == RC_OK ? RC_OK : kLoginRefused;
}

void* openSubDevice(DeviceRecord& r, int subId) {
    if (openDevice(r) != RC_OK) return nullptr;
    SubSlot* slot = r.slotWithId(subId);
    if (!slot) return nullptr;
    KO_SUBHANDLE s = KO_SetOperateSubDev(r.handle.load(), subId);
    slot->handle = s;
    return s;
}

void closeDevice(DeviceRecord& r) {
    if (void* h = r.handle.exchange(nullptr)) KO_UnOperateDev(h);
    for (auto& s : r.subSlots) s.handle = nullptr;
}

namespace {

// The path of the searched device with this type and serial number; "" when none answers.
std::string findBySerial(std::uint16_t type, std::int32_t serial) {
    if (KO_HIDSearchAll() != RC_OK) return {};
    std::string found;
    for (int guard = 0; guard < 256; ++guard) {
        char path[KO_HID_PATH_SIZE + 1] = {};
        short manufacturer = 0, t = 0, mode = 0, hard = 0, soft = 0;
        int s = 0;
        if (KO_HIDGetSearchDev(path, &manufacturer, &t, &mode, &hard, &soft, &s) != RC_OK) break;
        if (found.empty() && static_cast<std::uint16_t>(t) == type && s == serial) found = path;
    }
    return found;
}

}  // namespace

bool reopenDevice(DeviceRecord& r) {
    closeDevice(r);
    if (r.linkType != kLinkUsb) return openDevice(r) == RC_OK;
    KO_HANDLE h = KO_HIDSetOperateDev(r.path.c_str(), r.type, r.mode);
    if (!h && r.serial) {
        const std::string path = findBySerial(r.type, *r.serial);
        if (!path.empty()) {
            h = KO_HIDSetOperateDev(path.c_str(), r.type, r.mode);
            if (h) r.path = path;
        }
    }
    r.handle = h;
    return h != nullptr;
}

namespace {

// The text of one key through one of the library's getters.
template <class Get>
RowText textOf(Get get, void* handle, const std::string& key) {
    char text[KO_TEXT_SIZE] = {};
    int rc = get(handle, key.c_str(), text);
    return {rc, rc == RC_OK ? std::string(text) : std::string()};
}

// The sub module opened for a read; null (and `out` says why) when it cannot be.
KO_SUBHANDLE openForRead(DeviceRecord& r, int subId, ReadOutcome& out) {
    KO_SUBHANDLE s = openSubDevice(r, subId);
    if (!s) {
        out.noSub = true;
        out.rc = RC_FAILED;
    }
    return s;
}

}  // namespace

ReadOutcome readMainProperties(DeviceRecord& r, const std::vector<RowRequest>& rows) {
    ReadOutcome out;
    out.rc = openDevice(r);
    if (out.rc == RC_OK) out.rc = KO_ReadMainProperty(r.handle.load());
    if (out.rc != RC_OK) return out;
    for (const auto& req : rows) out.rows.push_back(textOf(KO_GetMainProperty, r.handle.load(), req.key));
    return out;
}

ReadOutcome readSubProperties(DeviceRecord& r, int subId, const std::vector<RowRequest>& rows) {
    ReadOutcome out;
    KO_SUBHANDLE s = openForRead(r, subId, out);
    if (!s) return out;
    out.rc = KO_ReadSubDevProperty(s);
    if (out.rc != RC_OK) return out;
    for (const auto& req : rows) out.rows.push_back(textOf(KO_GetSubDevProperty, s, req.key));
    return out;
}

ReadOutcome readSubData(DeviceRecord& r, int subId, const std::vector<RowRequest>& rows) {
    ReadOutcome out;
    KO_SUBHANDLE s = openForRead(r, subId, out);
    if (!s) return out;
    out.rc = KO_ReadSubDevData(s);
    if (out.rc != RC_OK) return out;
    // Rows shown from the settings need them fresh; one read serves them all.
    bool propertiesRead = false;
    for (const auto& req : rows) {
        if (!req.asProperty) {
            out.rows.push_back(textOf(KO_GetSubDevData, s, req.key));
            continue;
        }
        if (!propertiesRead) {
            out.rc = KO_ReadSubDevProperty(s);
            if (out.rc != RC_OK) return out;
            propertiesRead = true;
        }
        RowText t = textOf(KO_GetSubDevProperty, s, req.key);
        if (t.rc != RC_OK) {
            out.rc = t.rc;
            return out;
        }
        out.rows.push_back(std::move(t));
    }
    return out;
}

int listSubModules(DeviceRecord& r) {
    for (auto& s : r.subSlots) {
        s.id = s.type = s.extra = s.version = 0;
        s.handle = nullptr;
    }
    int rc = KO_SearchSubDev(r.handle.load());
    if (rc != RC_OK) return rc;
    for (int k = 0; k < kSubSlots; ++k) {
        short addr = 0, manufacturer = 0, type = 0, mode = 0, hard = 0, soft = 0;
        int serial = 0;
        if (KO_GetSearchSubDev(r.handle.load(), &addr, &manufacturer, &type, &mode, &hard, &soft, &serial, k) != RC_OK)
            continue;
        SubSlot& s = r.subSlots[k];
        s.id = static_cast<std::uint16_t>(addr);
        s.type = static_cast<std::uint16_t>(type);
        s.extra = static_cast<std::uint16_t>(mode);
        s.version = static_cast<std::uint16_t>(hard);
    }
    return RC_OK;
}

}  // namespace vexadesk
