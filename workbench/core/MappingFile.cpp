#include "core/MappingFile.h"

#include <tinyxml2.h>

#include <cstdint>

namespace vexadesk {

namespace {

// Attribute names in entry byte order.
struct Attribute {
    const char* name;
    int byte;  // 0..5 setting, 6 side, 7 channel index
};
constexpr Attribute kAttributes[] = {
    {"bRPDO", 6},      {"chlindex", 7},    {"DatIDOffset", 0}, {"PDOPara", 1},
    {"VEXASlaveID", 2}, {"SourceID", 3},    {"SourceNum", 4},   {"EndType", 5},
};

std::uint8_t& byteOf(PdoMapEntry& e, int byte) {
    if (byte < 6) return e.setting[byte];
    return byte == 6 ? e.side : e.channel;
}

void writeSide(tinyxml2::XMLDocument& doc, const char* name, const std::vector<PdoMapEntry>& entries) {
    tinyxml2::XMLElement* side = doc.FirstChildElement(name);
    if (!side) side = doc.InsertEndChild(doc.NewElement(name))->ToElement();
    while (tinyxml2::XMLElement* old = side->FirstChildElement("PDOMap")) side->DeleteChild(old);
    for (PdoMapEntry e : entries) {
        tinyxml2::XMLElement* m = side->InsertEndChild(doc.NewElement("PDOMap"))->ToElement();
        for (const Attribute& a : kAttributes) m->SetAttribute(a.name, static_cast<int>(byteOf(e, a.byte)));
    }
}

void readSide(tinyxml2::XMLElement* side, bool rpdo, MappingFileContent& out) {
    int position = 0;
    for (tinyxml2::XMLElement* m = side->FirstChildElement("PDOMap"); m; m = m->NextSiblingElement("PDOMap"), ++position) {
        PdoMapEntry e{};
        std::string reason;
        for (const Attribute& a : kAttributes) {
            std::int64_t v = 0;
            if (m->QueryInt64Attribute(a.name, &v) != tinyxml2::XML_SUCCESS) {
                reason = std::string(a.name) + (m->Attribute(a.name) ? " (?)" : " (-)");
                break;
            }
            // Range first: a value that only fits after narrowing would land somewhere else.
            if (v < 0 || v > 255) {
                reason = std::string(a.name) + "=" + std::to_string(v);
                break;
            }
            byteOf(e, a.byte) = static_cast<std::uint8_t>(v);
        }
        if (reason.empty() && (e.side != 0) != rpdo) reason = "bRPDO=" + std::to_string(e.side);
        if (!reason.empty()) {
            out.dropped.push_back(MappingFileDrop{rpdo, position, reason});
            continue;
        }
        e.side = rpdo ? 1 : 0;
        (rpdo ? out.rpdo : out.tpdo).push_back(e);
    }
}

}  // namespace

MappingFileResult saveMappingFile(const std::string& path, const std::vector<PdoMapEntry>& rpdo,
                                  const std::vector<PdoMapEntry>& tpdo) {
    tinyxml2::XMLDocument doc;
    // An existing file keeps its other content; one that is not XML is replaced.
    if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS) doc.Clear();
    if (!doc.FirstChild()) doc.InsertFirstChild(doc.NewDeclaration());
    writeSide(doc, "RPDO", rpdo);
    writeSide(doc, "TPDO", tpdo);
    return doc.SaveFile(path.c_str()) == tinyxml2::XML_SUCCESS ? MappingFileResult::Ok
                                                               : MappingFileResult::WriteFailed;
}

MappingFileResult loadMappingFile(const std::string& path, MappingFileContent& out) {
    out = MappingFileContent{};
    tinyxml2::XMLDocument doc;
    if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS) return MappingFileResult::ReadFailed;
    tinyxml2::XMLElement* r = doc.FirstChildElement("RPDO");
    tinyxml2::XMLElement* t = doc.FirstChildElement("TPDO");
    if (!r || !t) return MappingFileResult::NoSides;
    readSide(r, true, out);
    readSide(t, false, out);
    return MappingFileResult::Ok;
}

}  // namespace vexadesk
