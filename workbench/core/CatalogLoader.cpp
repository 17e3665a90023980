#include "core/CatalogLoader.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/CControlIni.h"
#include "core/TextNumber.h"

namespace vexadesk {

namespace {

using tinyxml2::XMLElement;

struct Colours {
    bool on = false;
    std::uint32_t slot[2] = {0, 0};  // platform order
};

Colours readColours(const name_share::CControlIni& settings) {
    Colours c;
    int show = 0, col0 = 0, col1 = 0;
    settings.GetInt("SHOW_COL", "show_col", show, false, 0);
    settings.GetInt("SHOW_COL", "col_0", col0, true, 0);
    settings.GetInt("SHOW_COL", "col_1", col1, true, 0);
    c.on = show != 0;
    c.slot[0] = swapRedBlue(static_cast<std::uint32_t>(col0));
    c.slot[1] = swapRedBlue(static_cast<std::uint32_t>(col1));
    return c;
}

std::string text(const XMLElement* e, const char* name) {
    const char* v = e->Attribute(name);
    return v ? v : std::string();
}

int decAttr(const XMLElement* e, const char* name) {
    const char* v = e->Attribute(name);
    return v ? decOrZero(v) : 0;
}

// Only a present attribute changes the field, so the node keeps its default otherwise.
void decAttrIfPresent(const XMLElement* e, const char* name, int& field) {
    if (const char* v = e->Attribute(name)) field = decOrZero(v);
}

std::uint32_t hexAttr(const XMLElement* e, const char* name) {
    std::uint32_t v = 0;
    if (const char* t = e->Attribute(name)) parseHex(t, v);
    return v;
}

// "3|5|1012": empty fields are skipped; at most kIdListSlots - 1 ids, the rest dropped, so the
// terminator always stays. An id that is not a number, or not a 16-bit id, is 0.
IdList idList(const char* textValue) {
    IdList list = emptyIdList();
    std::size_t n = 0;
    std::string_view rest(textValue);
    while (!rest.empty() && n + 1 < list.size()) {
        const std::size_t bar = rest.find('|');
        const std::string_view field = rest.substr(0, bar);
        rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
        if (field.empty()) continue;
        const int v = decOrZero(field);
        list[n++] = v >= 0 && v < kIdListEnd ? static_cast<std::uint16_t>(v) : 0;
    }
    return list;
}

struct EditorAttr {
    const char* name;
    EditorKind kind;
};
// Read in this order; each one present overrides what the earlier ones gave, even with 0.
constexpr EditorAttr kEditorAttrs[] = {
    {"comboedit", EditorKind::ComboEdit},    {"button", EditorKind::Button},
    {"statebutton", EditorKind::StateButton}, {"senddatabutton", EditorKind::SendData},
    {"TextWithStateBtn", EditorKind::TextWithState},
};

std::unique_ptr<CatalogNode> itemNode(const XMLElement* item, const Colours& colours) {
    auto n = std::make_unique<CatalogNode>();
    n->kind = kNodeItem;
    n->id = decAttr(item, "id");
    n->readonly = decAttr(item, "readonly");
    n->modifyalway = decAttr(item, "modifyalway");
    n->cmd = text(item, "cmd");
    n->comment = text(item, "comment");
    n->defaultval = text(item, "defaultval");
    n->name = text(item, "name");
    n->unuseval = text(item, "unuseval");
    decAttrIfPresent(item, "property", n->property);
    decAttrIfPresent(item, "mdyearlier", n->mdyearlier);
    decAttrIfPresent(item, "modifycheck", n->modifycheck);
    decAttrIfPresent(item, "showhex", n->showhex);

    if (colours.on) {
        static constexpr const char* kColourAttrs[2] = {"colorval_0", "colorval_1"};
        for (int slot = 0; slot < 2; ++slot) {
            if (!item->Attribute(kColourAttrs[slot])) continue;
            const std::uint32_t v = swapRedBlue(hexAttr(item, kColourAttrs[slot]));
            n->colour = v ? v : colours.slot[slot];
            n->colourSlot = slot + 1;
        }
    }

    for (const EditorAttr& a : kEditorAttrs) {
        if (!item->Attribute(a.name)) continue;
        const bool on = decAttr(item, a.name) == 1;
        n->editor = on ? a.kind : EditorKind::Plain;
        if (on && a.kind == EditorKind::Button) n->startid = decAttr(item, "startid");
    }

    for (const XMLElement* o = item->FirstChildElement("option"); o; o = o->NextSiblingElement("option")) {
        CatalogOption opt;
        opt.name = text(o, "name");
        opt.value = text(o, "value");
        if (const char* v = o->Attribute("enableitem")) opt.enable = idList(v);
        if (const char* v = o->Attribute("disableitem")) opt.disable = idList(v);
        n->options.push_back(std::move(opt));
    }
    return n;
}

void readPage(const XMLElement* root, const Colours& colours, CatalogPage& page,
              std::vector<CatalogSection>& sections) {
    for (const XMLElement* cat = root->FirstChildElement("catalog"); cat; cat = cat->NextSiblingElement("catalog")) {
        sections.push_back({text(cat, "name"), text(cat, "comment")});
        auto node = std::make_unique<CatalogNode>();
        node->kind = kNodeCategory;
        node->name = sections.back().name;
        node->comment = sections.back().comment;
        page.nodes.push_back(std::move(node));
        for (const XMLElement* item = cat->FirstChildElement("item"); item; item = item->NextSiblingElement("item"))
            page.nodes.push_back(itemNode(item, colours));
    }
}

bool refuse(const std::string& path, int line, const std::string& why, std::string* error) {
    const std::string msg = path + ":" + std::to_string(line) + ": " + why;
    if (error)
        *error = msg;
    else
        std::fprintf(stderr, "%s\n", msg.c_str());
    return false;
}

}  // namespace

bool LoadCatalogFile(const std::string& path, const name_share::CControlIni& settings, CatalogList& out,
                     IoMsgTable& io, std::string* error) {
    tinyxml2::XMLDocument doc;
    if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS) {
        const char* why = doc.ErrorStr();
        return refuse(path, doc.ErrorLineNum(), why ? why : "cannot be read", error);
    }
    const XMLElement* devtype = doc.FirstChildElement("devtype");
    if (!devtype) return refuse(path, 0, "no <devtype>", error);
    std::uint32_t type = 0;
    const char* value = devtype->Attribute("value");
    if (!value || !parseHex(value, type))
        return refuse(path, devtype->GetLineNum(), "<devtype> has no hexadecimal value", error);
    const int master = decAttr(devtype, "master");

    const XMLElement* rootA = doc.FirstChildElement("root");
    if (!rootA) return refuse(path, 0, "no <root>", error);
    const XMLElement* rootB = nullptr;
    if (master == 2 && !(rootB = rootA->NextSiblingElement("root")))
        return refuse(path, rootA->GetLineNum(), "master=\"2\" but no second <root>", error);

    const Colours colours = readColours(settings);
    auto entry = std::make_unique<DevTypeEntry>();
    entry->file = path;
    entry->pageA.key = type;
    entry->pageB.key = hexAttr(devtype, "hardver");
    readPage(rootA, colours, entry->pageA, entry->sectionsA);
    if (rootB) readPage(rootB, colours, entry->pageB, entry->sectionsB);

    const auto typeCode = static_cast<std::uint16_t>(type);
    for (const XMLElement* m = doc.FirstChildElement("IOMsg"); m; m = m->NextSiblingElement("IOMsg")) {
        IoMsgRecord r;
        r.addr = hexAttr(m, "addr");
        r.name = text(m, "name");
        int v = 0;
        if (const char* d = m->Attribute("dir"); d && parseDec(d, v)) {
            r.hasDir = true;
            r.dir = static_cast<std::uint8_t>(v);
        }
        if (const char* d = m->Attribute("reslen"); d && parseDec(d, v)) {
            r.hasReslen = true;
            r.reslen = static_cast<std::uint8_t>(v);
        }
        io.add(typeCode, std::move(r));
    }
    out.push_back(std::move(entry));
    return true;
}

int LoadCatalogFolder(const std::string& folder, const name_share::CControlIni& settings, CatalogList& out,
                      IoMsgTable& io) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc)) continue;
        std::string name = it->path().filename().string();
        // The suffix test is case-sensitive on purpose: "A.XML" is not a catalog file.
        if (name.size() < 3 || name.compare(name.size() - 3, 3, "xml") != 0) continue;
        names.push_back(std::move(name));
    }
    // Sorted, so that of two files for one type the same one wins on every machine.
    std::sort(names.begin(), names.end());
    int added = 0;
    for (const std::string& name : names) {
        std::string error;
        if (LoadCatalogFile((fs::path(folder) / name).string(), settings, out, io, &error))
            ++added;
        else
            std::fprintf(stderr, "catalog file skipped: %s\n", error.c_str());
    }
    return added;
}

DevTypeEntry* LookupEntry(const CatalogList& list, std::uint16_t type, std::uint16_t hardVer) {
    DevTypeEntry* below = nullptr;
    DevTypeEntry* zero = nullptr;
    for (const auto& e : list) {
        if (e->typeCode() != type) continue;
        const std::uint16_t hv = e->hardVer();
        if (hv == hardVer) return e.get();
        if (hv == 0) {
            if (!zero) zero = e.get();
        } else if (hv < hardVer && (!below || hv > below->hardVer())) {
            below = e.get();
        }
    }
    return below ? below : zero;
}

}  // namespace vexadesk
