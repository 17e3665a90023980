#include "RackReader.h"

#include "CouplerKeys.h"

namespace vexa::rackconfig {

namespace {

// The coupler's Ethernet kind reports its firmware as a byte, the others as a version word.
const char* softwareKey(int kind) { return kind == KO_KIND_ETHERNET ? "MAIN_SOFT_1_VER" : "MAIN_SOFTVER"; }

std::string mainText(KO_HANDLE h, const char* key) {
    char text[KO_TEXT_SIZE] = {};
    return KO_GetMainProperty(h, key, text) == RC_OK ? std::string(text) : std::string();
}

std::string subText(KO_SUBHANDLE s, const char* key) {
    char text[KO_TEXT_SIZE] = {};
    return KO_GetSubDevProperty(s, key, text) == RC_OK ? std::string(text) : std::string();
}

}  // namespace

int RackReader::read(KO_HANDLE h, int kind, RackConfig& out) const {
    out = RackConfig{};
    out.date = utcNow();
    out.tool = toolVersion();
    out.couplerKind = kindName(kind);
    int rc = readCoupler(h, kind, out.coupler);
    if (rc != RC_OK) return rc;
    if ((rc = KO_SearchSubDev(h)) != RC_OK) return rc;
    for (int i = 0; i < KO_SUB_SLOTS; ++i) {
        short addr = 0, manufacturer, type, mode, hard, soft;
        int serial;
        if (KO_GetSearchSubDev(h, &addr, &manufacturer, &type, &mode, &hard, &soft, &serial, i) != RC_OK) continue;
        ModuleConfig m;
        if ((rc = readModule(h, static_cast<unsigned short>(addr), m)) != RC_OK) return rc;
        out.modules.push_back(std::move(m));
    }
    return RC_OK;
}

int RackReader::readCoupler(KO_HANDLE h, int kind, ModuleConfig& out) const {
    out = ModuleConfig{};
    int rc = KO_ReadMainProperty(h);
    if (rc != RC_OK) return rc;
    out.type = mainText(h, "MAIN_TYPE");
    out.hardware = mainText(h, "MAIN_HARDVER");
    out.software = mainText(h, softwareKey(kind));
    for (const char* key : couplerSettingKeys(kind)) {
        char text[KO_TEXT_SIZE] = {};
        if (KO_GetMainProperty(h, key, text) == RC_OK) out.settings.emplace_back(key, text);
    }
    return RC_OK;
}

int RackReader::readModule(KO_HANDLE h, int slot, ModuleConfig& out) const {
    out = ModuleConfig{};
    out.slot = slot;
    int type = -1, hardVer = 0;
    for (int i = 0; i < KO_SUB_SLOTS && type < 0; ++i) {
        short addr = 0, manufacturer, t, mode, hard, soft;
        int serial;
        if (KO_GetSearchSubDev(h, &addr, &manufacturer, &t, &mode, &hard, &soft, &serial, i) == RC_OK &&
            static_cast<unsigned short>(addr) == slot) {
            type = static_cast<unsigned short>(t);
            hardVer = static_cast<unsigned short>(hard);
        }
    }
    if (type < 0) return RC_FAILED;
    KO_SUBHANDLE s = KO_SetOperateSubDev(h, slot);
    if (!s) return RC_FAILED;  // no class serves the type
    int rc = KO_ReadSubDevProperty(s);
    if (rc != RC_OK) return rc;
    out.type = subText(s, "SLAVER_TYPE");
    out.hardware = subText(s, "SLAVER_HARDVER");
    out.software = subText(s, "SLAVER_SOFTVER");
    if (keys_.className) out.className = keys_.className(type, hardVer);
    if (!keys_.settingKeys) return RC_OK;
    for (const auto& key : keys_.settingKeys(type, hardVer)) {
        if (!isSubSettingKey(key) || out.find(key)) continue;
        char text[KO_TEXT_SIZE] = {};
        if (KO_GetSubDevProperty(s, key.c_str(), text) == RC_OK) out.settings.emplace_back(key, text);
    }
    return RC_OK;
}

}  // namespace vexa::rackconfig
