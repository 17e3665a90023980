#pragma once
// The EDS file of a coupler with its current mapping: a copy of the shipped template (a complete
// description of the coupler without mapped objects) with the PDOs and the SDO objects added.
#include <functional>
#include <string>
#include <vector>

// Only the library's record layouts: core does not call the library.
#include <VexaSdk.h>

namespace vexadesk {

class IoMsgTable;
class PdoLayout;

enum class EdsResult { Ok, NoTemplate, CopyFailed, WriteFailed };

struct EdsInput {
    const PdoLayout* layout = nullptr;
    std::vector<SdoMapRecord> sdo;  // the coupler's SDO list as read back
    IoMsgTable* names = nullptr;    // for the mapped channels' texts
    // The description of an SDO record; "ID(%d) Reg:0x%02X" when empty.
    std::function<std::string(const SdoMapRecord&)> describe;
};

// Copies `templatePath` over `target` and adds the mapping. Nothing is written into the target
// when the copy fails.
EdsResult exportEds(const std::string& templatePath, const std::string& target, const EdsInput& in);

// "ID(%d) Reg:0x%02X"
std::string sdoDescription(const SdoMapRecord& r);

}  // namespace vexadesk
