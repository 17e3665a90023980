#include "core/CKNetCom2Global.h"

#include "platform/AppDir.h"

namespace {
CKNetCom2Global* g_instance = nullptr;
}

CKNetCom2Global::CKNetCom2Global() : settings_("CONFIG\\config.ini") { g_instance = this; }

CKNetCom2Global::~CKNetCom2Global() {
    if (g_instance == this) g_instance = nullptr;
}

CKNetCom2Global* CKNetCom2Global::Instance() { return g_instance; }

void CKNetCom2Global::Notify(const std::string&, int, int, int) {}

int CKNetCom2Global::LoadCatalog() {
    catalog_.clear();
    ioMsgs_.clear();
    catalogFolder_ = vexa::appPath("devtype/" + std::to_string(Selected()));
    return vexadesk::LoadCatalogFolder(catalogFolder_, settings_, catalog_, ioMsgs_);
}

vexadesk::DevTypeEntry* CKNetCom2Global::Lookup(std::uint16_t type, std::uint16_t hardVer) const {
    return vexadesk::LookupEntry(catalog_, type, hardVer);
}

std::uint16_t CKNetCom2Global::DefaultDeviceType() {
    int type = 0;
    settings_.GetInt("SHOW_DEV", "def_dev", type, false, 0);
    return type >= 0 && type <= 0xFFFF ? static_cast<std::uint16_t>(type) : 0;
}
