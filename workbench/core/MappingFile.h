#pragma once
// The PDO mapping file: an XML file with the elements RPDO and TPDO, each holding one PDOMap
// element per entry of its side with the entry's eight bytes as integer attributes.
#include <string>
#include <vector>

// Only the library's record layouts: core does not call the library.
#include <VexaSdk.h>

namespace vexadesk {

enum class MappingFileResult { Ok, WriteFailed, ReadFailed, NoSides };

// An element that was not taken, and why (for the message that names it).
struct MappingFileDrop {
    bool rpdo = false;
    int position = 0;  // 0-based among the PDOMap elements of its side
    std::string reason;  // the attribute that is missing or out of range
};

struct MappingFileContent {
    std::vector<PdoMapEntry> rpdo, tpdo;
    std::vector<MappingFileDrop> dropped;
};

// Keeps whatever else an existing file holds; replaces the PDOMap children of RPDO and TPDO.
MappingFileResult saveMappingFile(const std::string& path, const std::vector<PdoMapEntry>& rpdo,
                                  const std::vector<PdoMapEntry>& tpdo);
// Every attribute must be an integer of 0..255 (the byte it fills); the side is that of the
// element the entry stands in. Elements that fail are dropped and listed.
MappingFileResult loadMappingFile(const std::string& path, MappingFileContent& out);

}  // namespace vexadesk
