#include "core/EdsExport.h"

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>

#include "core/PdoLayout.h"

namespace vexadesk {

namespace {

template <class... A>
std::string format(const char* f, A... a) {
    char buf[64];
    std::snprintf(buf, sizeof buf, f, a...);
    return buf;
}

// The file is patched as a whole in memory and written once: one load and save per key would
// cost a pass over the whole file for each of a few thousand keys.
class EdsFile {
public:
    EdsFile() {
        ini_.SetQuotes(false);
        ini_.SetSpaces(false);  // "key=value", as the template and other tools write them
    }
    bool load(const std::string& path) { return ini_.LoadFile(path.c_str()) >= 0; }
    bool save(const std::string& path) { return ini_.SaveFile(path.c_str(), false) >= 0; }
    void set(const std::string& section, const char* key, const std::string& value) {
        ini_.SetValue(section.c_str(), key, value.c_str(), nullptr, true);
    }
    std::string get(const char* section, const char* key) const {
        const char* v = ini_.GetValue(section, key, nullptr);
        return v ? v : "";
    }
    // Lists one more object in OptionalObjects.
    void list(int index) {
        ++optional_;
        set("OptionalObjects", std::to_string(optional_).c_str(), format("0x%04X", index));
    }
    void startList() { optional_ = static_cast<int>(std::strtol(get("OptionalObjects", "SupportedObjects").c_str(), nullptr, 16)); }
    void endList() { set("OptionalObjects", "SupportedObjects", format("0x%04X", optional_)); }

private:
    CSimpleIniA ini_{false, true, false};
    int optional_ = 0;
};

void writePdos(EdsFile& f, const PdoLayout& layout, IoMsgTable* names, bool rpdo) {
    for (int p = 0; p < layout.pdoCount(rpdo); ++p) {
        const PdoNode& n = layout.pdo(rpdo, p);
        if (n.items.empty()) continue;
        const int comm = (rpdo ? 0x1400 : 0x1800) + p;
        const int map = (rpdo ? 0x1600 : 0x1A00) + p;
        f.list(comm);
        f.set(format("%04Xsub1", comm), "DefaultValue", format("0x%X", n.canId));
        f.list(map);
        const int count = static_cast<int>(n.items.size());
        f.set(format("%04X", map), "SubNumber", format("0x%02X", count + 1));
        f.set(format("%04Xsub0", map), "DefaultValue", format("0x%X", count));
        for (int k = 0; k < count; ++k) {
            const PdoItem& item = n.items[static_cast<size_t>(k)];
            int index = 0, sub = 0, bits = 0;
            PdoLayout::objectOf(item, index, sub, bits);
            const std::string s = format("%04Xsub%d", map, k + 1);
            f.set(s, "ParameterName", format("PDO mapping %d. app. object", sub));
            f.set(s, "ObjectType", "7");
            f.set(s, "AccessType", "RW");
            f.set(s, "DataType", "0x0007");
            f.set(s, "PDOMapping", "0");
            f.set(s, "ObjFlags", "0x00000000");
            f.set(s, "LowLimit", "0x0");
            f.set(s, "HighLimit", "0xFFFFFFFF");
            f.set(s, "DefaultValue", format("0x%04X%02X%02X\r\n", index, sub, bits));
            if (index) f.set(format("%04Xsub%X", index, sub), "ParameterName", PdoLayout::itemText(item, names));
        }
    }
}

void writeSdos(EdsFile& f, const EdsInput& in) {
    std::map<int, std::vector<SdoMapRecord>> groups;
    for (const SdoMapRecord& r : in.sdo) groups[r.index].push_back(r);
    for (const auto& [index, records] : groups) {
        f.list(index);
        const int count = static_cast<int>(records.size()) + 1;
        const std::string obj = format("%04X", index);
        f.set(obj, "SubNumber", format("0x%02X", count));
        f.set(obj, "ParameterName", "sdo CFGInfo");
        f.set(obj, "ObjectType", "8");
        f.set(obj, "ObjFlags", "0x00000000\r\n");
        const std::string sub0 = obj + "sub0";
        f.set(sub0, "ParameterName", "Number Of SDO");
        f.set(sub0, "ObjectType", "7");
        f.set(sub0, "AccessType", "RO");
        f.set(sub0, "DataType", "0x0005");
        f.set(sub0, "PDOMapping", "0");
        f.set(sub0, "ObjFlags", "0x00000000");
        f.set(sub0, "DefaultValue", format("0x%x\r\n", count));
        for (const SdoMapRecord& r : records) {
            const std::string s = format("%4Xsub%X", index, r.subIndex);
            const std::string text = in.describe ? in.describe(r) : sdoDescription(r);
            f.set(s, "ParameterName", text + format(" #%d", r.subIndex));
            f.set(s, "ObjectType", "7");
            f.set(s, "AccessType", "RW");
            f.set(s, "DataType", r.lengthRegs == 1 ? "0x0006" : "0x0007");
            f.set(s, "PDOMapping", "0");
            f.set(s, "ObjFlags", "0x00000000");
            f.set(s, "DefaultValue", "0x0\r\n");
        }
    }
}

}  // namespace

std::string sdoDescription(const SdoMapRecord& r) { return format("ID(%d) Reg:0x%02X", r.subAddress, r.reg); }

EdsResult exportEds(const std::string& templatePath, const std::string& target, const EdsInput& in) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(templatePath, ec)) return EdsResult::NoTemplate;
    if (!std::filesystem::copy_file(templatePath, target, std::filesystem::copy_options::overwrite_existing, ec) || ec)
        return EdsResult::CopyFailed;
    EdsFile f;
    if (!f.load(target)) return EdsResult::WriteFailed;
    f.set("FileInfo", "FileName", std::filesystem::path(target).filename().string());
    f.startList();
    if (in.layout) {
        writePdos(f, *in.layout, in.names, false);
        writePdos(f, *in.layout, in.names, true);
    }
    writeSdos(f, in);
    f.endList();
    return f.save(target) ? EdsResult::Ok : EdsResult::WriteFailed;
}

}  // namespace vexadesk
