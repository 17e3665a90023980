#include <algorithm>
#include <filesystem>
#include <tuple>

#include "CoreFixture.h"
#include "core/CControlIni.h"
#include "core/CatalogLoader.h"

namespace {

using namespace vexadesk;

// A catalog file: devtype attributes, then the body of the first root, then what follows it.
std::string doc(const std::string& devtype, const std::string& root, const std::string& tail = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<devtype " + devtype + "/>\n<root>" + root + "</root>\n" + tail;
}
std::string oneItem(const std::string& attrs, const std::string& children = "") {
    return "<catalog name=\"C\" comment=\"cc\"><item " + attrs + ">" + children + "</item></catalog>";
}

class Loader : public vexadesk::test::CoreFixture {
protected:
    CatalogList list;
    IoMsgTable io;
    name_share::CControlIni settings{"CONFIG\\config.ini"};

    std::string folder() const { return appFile("devtype/0"); }
    void file(const std::string& name, const std::string& content) const { app("devtype/0/" + name, content); }
    int loadFolder() { return LoadCatalogFolder(folder(), settings, list, io); }
    // The one item node of a one-item file.
    const CatalogNode& item(const std::string& attrs, const std::string& children = "") {
        list.clear();
        std::string error;
        file("i.xml", doc("value=\"4017\"", oneItem(attrs, children)));
        EXPECT_TRUE(LoadCatalogFile(appFile("devtype/0/i.xml"), settings, list, io, &error)) << error;
        static const CatalogNode none;
        if (list.size() != 1 || list[0]->pageA.nodes.size() != 2) return none;
        return *list[0]->pageA.nodes[1];
    }
};

TEST_F(Loader, PagesKeysSectionsAndNodeDefaults) {
    file("m.xml", doc("value=\"9020\" hardver=\"a\" master=\"2\"", oneItem("id=\"5\" cmd=\"c\" unuseval=\"u\""),
                      "<root><catalog name=\"B1\"/><catalog name=\"B2\"><item id=\"12\"/></catalog></root>"));
    file("n.xml", doc("value=\"4017\"", oneItem("id=\"1\""), "<root><catalog name=\"ignored\"/></root>"));
    ASSERT_EQ(loadFolder(), 2);
    const DevTypeEntry& m = *list[0];
    EXPECT_EQ(m.typeCode(), 0x9020);
    EXPECT_EQ(m.hardVer(), 0xA);
    ASSERT_EQ(m.pageA.nodes.size(), 2u);
    EXPECT_TRUE(m.pageA.nodes[0]->isCategory());
    const CatalogNode& n = *m.pageA.nodes[1];
    EXPECT_EQ(std::tie(n.kind, n.id, n.cmd, n.modifycheck, n.colour), std::tuple(kNodeItem, 5, "c", 1, kNoColour));
    EXPECT_TRUE(n.isCheckRow());
    EXPECT_EQ(m.sectionsA.size() * 10 + m.sectionsB.size(), 12u);
    ASSERT_EQ(m.pageB.nodes.size(), 3u);
    EXPECT_EQ(m.pageB.nodes[2]->id, 12);
    EXPECT_TRUE(list[1]->pageB.nodes.empty() && list[1]->sectionsB.empty()) << "without master=2 no second root";

    const CatalogNode& f = item("property=\"3\" modifycheck=\"0\" showhex=\"1\" readonly=\"abc\" mdyearlier=\"2\"");
    EXPECT_EQ(std::tie(f.property, f.modifycheck, f.showhex, f.mdyearlier, f.readonly), std::tuple(3, 0, 1, 2, 0));
}

TEST_F(Loader, EditorKindsAndColours) {
    struct Case {
        const char* showCol;  // SHOW_COL section body
        const char* attrs;
        EditorKind editor;
        int startid;
        std::uint32_t colour;
        int slot;
    } cases[] = {
        {"", "comboedit=\"1\"", EditorKind::ComboEdit, 0, kNoColour, 0},
        {"", "comboedit=\"1\" statebutton=\"0\"", EditorKind::Plain, 0, kNoColour, 0},
        {"", "button=\"1\"", EditorKind::Button, 0, kNoColour, 0},
        {"", "button=\"1\" startid=\"7\"", EditorKind::Button, 7, kNoColour, 0},
        {"", "button=\"0\" startid=\"7\"", EditorKind::Plain, 0, kNoColour, 0},
        {"", "button=\"1\" startid=\"7\" senddatabutton=\"1\"", EditorKind::SendData, 7, kNoColour, 0},
        {"", "statebutton=\"2\"", EditorKind::Plain, 0, kNoColour, 0},
        {"", "TextWithStateBtn=\"1\"", EditorKind::TextWithState, 0, kNoColour, 0},
        {"show_col=1\ncol_0=FF0000\n", "colorval_0=\"0\"", EditorKind::Plain, 0, 0x0000FF, 1},
        {"show_col=1\ncol_0=FF0000\n", "colorval_0=\"123456\"", EditorKind::Plain, 0, 0x563412, 1},
        {"show_col=1\ncol_1=00FF01\n", "colorval_0=\"1\" colorval_1=\"0\"", EditorKind::Plain, 0, 0x01FF00, 2},
        {"show_col=0\ncol_0=FF0000\n", "colorval_0=\"0\"", EditorKind::Plain, 0, kNoColour, 0},
        {"show_col=1\n", "", EditorKind::Plain, 0, kNoColour, 0},
    };
    for (const Case& c : cases) {
        app("CONFIG/config.ini", std::string("[SHOW_COL]\n") + c.showCol);
        const CatalogNode& n = item(c.attrs);
        EXPECT_EQ(n.editor, c.editor) << c.attrs;
        EXPECT_EQ(n.startid, c.startid) << c.attrs;
        EXPECT_EQ(n.colour, c.colour) << c.attrs;
        EXPECT_EQ(n.colourSlot, c.slot) << c.attrs;
    }
}

// The ids before the terminator, and whether the terminator is there.
std::vector<int> ids(const IdList& l) {
    std::vector<int> v;
    for (std::uint16_t id : l) v.push_back(id);
    v.resize(static_cast<std::size_t>(std::find(l.begin(), l.end(), kIdListEnd) - l.begin()) + 1);
    return v;
}

TEST_F(Loader, OptionIdListsAreCutAtNineteen) {
    std::string many;
    for (int i = 1; i <= 25; ++i) many += std::to_string(i) + "|";
    const CatalogNode& n = item("comboedit=\"1\"", "<option name=\"a\" value=\"1\" enableitem=\"3|5|1012\" disableitem=\"" +
                                                   many + "\"/><option enableitem=\"x||7|70000|-2\"/>");
    ASSERT_EQ(n.options.size(), 2u);
    EXPECT_EQ(n.options[0].name + n.options[0].value, "a1");
    EXPECT_EQ(ids(n.options[0].enable), (std::vector<int>{3, 5, 1012, kIdListEnd}));
    std::vector<int> first19(19);
    for (int i = 0; i < 19; ++i) first19[static_cast<std::size_t>(i)] = i + 1;
    first19.push_back(kIdListEnd);
    EXPECT_EQ(ids(n.options[0].disable), first19);
    EXPECT_EQ(ids(n.options[1].enable), (std::vector<int>{0, 7, 0, 0, kIdListEnd}))
        << "a field that is no 16-bit number is 0; empty fields are skipped";
    EXPECT_EQ(n.options[1].disable, emptyIdList());
}

TEST_F(Loader, FolderOrderFileNamesAndIoObjects) {
    file("b.xml", doc("value=\"4017\" hardver=\"1\"", "<catalog name=\"B\"/>",
                      "<IOMsg addr=\"6000\" name=\"dup\" dir=\"1\"/><IOMsg addr=\"7000\" reslen=\"2\"/>"));
    file("a.xml", doc("value=\"4017\" hardver=\"1\"", "<catalog name=\"A\"/>",
                      "<IOMsg addr=\"6000\" name=\"in\" dir=\"0\"/><IOMsg addr=\"6200\" dir=\"x\"/>"));
    for (const char* skipped : {"c.XML", "ml", "e.txt"}) file(skipped, doc("value=\"1111\"", ""));
    file("xml", doc("value=\"2222\"", ""));
    std::filesystem::create_directories(folder() + "/dir.xml");
    file("m.xml", "<devtype value=\"1\"/>\n<root>\n<catalog>");

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(loadFolder(), 3);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(folder() + "/m.xml:"), std::string::npos) << err;
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->sectionsA[0].name + list[1]->sectionsA[0].name, "AB") << "sorted: a.xml before b.xml";
    EXPECT_EQ(list[2]->typeCode(), 0x2222);
    EXPECT_EQ(LookupEntry(list, 0x4017, 1), list[0].get());
    EXPECT_EQ(LookupEntry(list, 0x1111, 0), nullptr) << "upper-case XML is not a catalog file";

    ASSERT_NE(io.group(0x4017), nullptr);
    EXPECT_EQ(io.group(0x4017)->size(), 4u) << "records of both files in one group";
    EXPECT_EQ(io.name(0x4017, 0x6000), "in") << "first in load order";
    std::uint8_t dir = 9, len = 0;
    EXPECT_FALSE(io.dir(0x4017, 0x6200, dir)) << "dir=\"x\" does not parse";
    EXPECT_TRUE(io.dir(0x4017, 0x6000, dir) && io.reslen(0x4017, 0x7000, len));
    EXPECT_EQ(dir * 10 + len, 2);
    EXPECT_EQ(io.name(0x5555, 1), "");
    EXPECT_NE(io.group(0x5555), nullptr) << "asking for a name creates the type's group";
    EXPECT_FALSE(io.reslen(0x6666, 1, len));
}

TEST_F(Loader, BadFilesContributeNothingAndAreNamed) {
    struct Case {
        const char* content;  // nullptr: no file at all
        int line;             // -1: any
    } cases[] = {
        {nullptr, -1},
        {"", -1},
        {"<devtype value=\"1\"/>\n<root>\n<catalog>\n<IOMsg addr=\"1\"/>", -1},
        {"<root/><IOMsg addr=\"1\"/>", 0},
        {"<devtype hardver=\"1\"/><root/>", 1},
        {"<devtype value=\"zz\"/><root/>", 1},
        {"<devtype value=\"1\"/><IOMsg addr=\"1\"/>", 0},
        {"<devtype value=\"1\" master=\"2\"/>\n\n<root/><IOMsg addr=\"1\"/>", 3},
    };
    for (const Case& c : cases) {
        const std::string path = appFile("devtype/0/bad.xml");
        std::filesystem::remove(path);
        if (c.content) file("bad.xml", c.content);
        std::string error;
        EXPECT_FALSE(LoadCatalogFile(path, settings, list, io, &error)) << (c.content ? c.content : "(no file)");
        EXPECT_EQ(error.rfind(path + ":", 0), 0u) << error;
        if (c.line >= 0) {
            EXPECT_EQ(error.rfind(path + ":" + std::to_string(c.line) + ":", 0), 0u) << error;
        }
        EXPECT_TRUE(list.empty());
        EXPECT_EQ(io.group(1), nullptr) << "no I/O records from a refused file";
    }
}

TEST_F(Loader, LookupPrefersTheClosestHardwareVersionNotAbove) {
    for (int hv : {7, 2, 0, 4}) file("t" + std::to_string(hv) + ".xml", doc("value=\"4017\" hardver=\"" + std::to_string(hv) + "\"", ""));
    file("u.xml", doc("value=\"5000\" hardver=\"2\"", ""));
    ASSERT_EQ(loadFolder(), 5);
    struct Case {
        std::uint16_t type, hardVer;
        int want;  // hardware version of the entry found, -1 none
    } cases[] = {
        {0x4017, 7, 7}, {0x4017, 5, 4}, {0x4017, 3, 2}, {0x4017, 1, 0}, {0x4017, 0, 0}, {0x4017, 0xFFFF, 7},
        {0x5000, 2, 2}, {0x5000, 1, -1}, {0x5000, 9, 2}, {0x9999, 0, -1},
    };
    for (const Case& c : cases) {
        const DevTypeEntry* e = LookupEntry(list, c.type, c.hardVer);
        EXPECT_EQ(e ? e->hardVer() + (e->typeCode() == c.type ? 0 : 1000) : -1, c.want) << std::hex << c.type << " hv " << c.hardVer;
    }
}

}  // namespace
