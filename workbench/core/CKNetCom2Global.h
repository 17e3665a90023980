#pragma once
// The program's one global object (global namespace): language list and message boxes from
// CGenGlobal, plus the settings file and the device-type catalog of the chosen language.
// Construct it once in main() before the catalog is needed; Instance() is null outside its life.
// User-interface thread only.
#include <cstdint>
#include <string>

#include "core/CControlIni.h"
#include "core/CGenGlobal.h"
#include "core/CatalogLoader.h"

class CKNetCom2Global : public name_share::CGenGlobal {
public:
    CKNetCom2Global();
    ~CKNetCom2Global() override;

    static CKNetCom2Global* Instance();

    void Notify(const std::string& text, int a, int b, int c) override;

    // AppDir/CONFIG/config.ini with its per-user twin.
    name_share::CControlIni& Settings() { return settings_; }

    // (Re)loads every catalog file of AppDir/devtype/<Selected()>; returns the entries added.
    int LoadCatalog();
    std::string CatalogFolder() const { return catalogFolder_; }
    const vexadesk::CatalogList& Catalog() const { return catalog_; }
    vexadesk::IoMsgTable& IoMsgs() { return ioMsgs_; }
    // vexadesk::LookupEntry over the loaded catalog.
    vexadesk::DevTypeEntry* Lookup(std::uint16_t type, std::uint16_t hardVer) const;
    // SHOW_DEV/def_dev, decimal: the type whose page shows while no device is selected; 0 when
    // it is absent or no 16-bit type code.
    std::uint16_t DefaultDeviceType();

private:
    name_share::CControlIni settings_;
    std::string catalogFolder_;
    vexadesk::CatalogList catalog_;
    vexadesk::IoMsgTable ioMsgs_;
};
