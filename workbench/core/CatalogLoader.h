#pragma once
// Reading the device-type catalog: one XML file per module type (and hardware version) in
// AppDir/devtype/<language index>/. Loading never throws and never leaves half an entry: a file
// that is not well-formed, or lacks devtype/value/root (or the second root master="2" asks for),
// contributes nothing and is reported with its name and line.
#include <memory>
#include <string>
#include <vector>

#include "core/Catalog.h"

namespace name_share {
class CControlIni;
}

namespace vexadesk {

using CatalogList = std::vector<std::unique_ptr<DevTypeEntry>>;

// Loads one file: appends its entry to `out` and its I/O records to `io`. False when the file
// contributes nothing; then `error` (when given) says "<file>:<line>: <why>", and without
// `error` that line goes to stderr. Colours come from `settings` section SHOW_COL.
bool LoadCatalogFile(const std::string& path, const name_share::CControlIni& settings, CatalogList& out,
                     IoMsgTable& io, std::string* error = nullptr);

// Every regular file of `folder` whose name ends in lower-case "xml", in sorted name order;
// skipped files are reported on stderr. Returns the number of entries added. A missing folder
// adds none and says nothing.
int LoadCatalogFolder(const std::string& folder, const name_share::CControlIni& settings, CatalogList& out,
                      IoMsgTable& io);

// The page for a module: the first entry of (type, hardVer); else the entry of that type with
// the highest hardware version above 0 and below the module's; else the type's hardware
// version 0; else nullptr.
DevTypeEntry* LookupEntry(const CatalogList& list, std::uint16_t type, std::uint16_t hardVer);

}  // namespace vexadesk
