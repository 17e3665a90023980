#include <QCoreApplication>
#include <QTranslator>

#include <tuple>
#include <vector>

#include "CoreFixture.h"
#include "core/CGenGlobal.h"
#include "core/CKNetCom2Global.h"
#include "platform/IniFile.h"

namespace {

using name_share::CGenGlobal;
using Global = vexadesk::test::CoreFixture;

class RecordingPresenter : public name_share::IMessagePresenter {
public:
    RecordingPresenter() { CGenGlobal::SetPresenter(this); }
    ~RecordingPresenter() override { CGenGlobal::SetPresenter(nullptr); }
    int present(void*, const std::string& caption, const std::string& text, int, int style) override {
        shown.push_back(caption + "/" + text + "/" + std::to_string(style));
        return 6;
    }
    std::vector<std::string> shown;
};

class Bare : public CGenGlobal {
public:
    void Notify(const std::string&, int, int, int) override {}
};

const char kLanguages[] =
    "[LANGUAGES]\nCount=2\n0=0|2052|中文|zh_CN|vexadesk_zh_CN.qm\n1=1|1033|English\n[LAST]\nSel=";

TEST(LanguageEntry, MissingFieldsAreZeroOrEmpty) {
    using T = std::tuple<int, int, std::string, std::string, std::string>;
    const std::pair<const char*, T> cases[] = {
        {"1|1033|English|en_US|en.qm|extra", {1, 1033, "English", "en_US", "en.qm"}},
        {"1|1033|English", {1, 1033, "English", "", ""}},
        {"x||Name", {0, 0, "Name", "", ""}},
        {"", {0, 0, "", "", ""}},
    };
    for (const auto& [text, want] : cases) {
        const auto e = CGenGlobal::ParseLanguageEntry(text);
        EXPECT_EQ(T(e.index, e.localeId, e.displayName, e.locale, e.qmFile), want) << text;
    }
}

TEST_F(Global, ReadsTheLanguageListAndGuardsTheSelection) {
    for (auto [sel, want] : {std::pair{"1", 1}, {"2", 0}, {"-1", 0}, {"junk", 0}}) {
        app("language/config.ini", std::string(kLanguages) + sel + "\n");
        Bare g;
        ASSERT_EQ(g.Languages().size(), 2u);
        EXPECT_EQ(g.Languages()[0].displayName + g.Languages()[1].displayName, "中文English");
        EXPECT_EQ(g.Selected(), want) << sel;
    }
}

TEST_F(Global, SelectionIsWrittenAtExitAndReadAtTheNextStart) {
    app("language/config.ini", std::string(kLanguages) + "0\n");
    {
        Bare g;
        EXPECT_FALSE(g.setSelected(2));
        EXPECT_TRUE(g.setSelected(1));
    }
    EXPECT_EQ(vexa::ini::getString(appFile("language/config.ini"), "LAST", "Sel"), "1");
    EXPECT_EQ(Bare().Selected(), 1);

    std::filesystem::remove_all(appFile("language"));
    EXPECT_TRUE(Bare().Languages().empty());
    EXPECT_EQ(vexa::ini::getString(userFile("language/config.ini"), "LAST", "Sel"), "0")
        << "no language folder beside the program: the choice is kept per user";
}

TEST_F(Global, MessagesPickTheCaptionByKindOrShowNothing) {
    Bare g;
    EXPECT_EQ(g.MessageBoxText(nullptr, "t", 0, 0), 0) << "no presenter: nothing shown";
    RecordingPresenter rec;
    for (int kind : {0, 1, 2, 3, -1}) EXPECT_EQ(g.MessageBoxText(nullptr, "hi", kind, 0x30), kind >= 0 && kind < 3 ? 6 : 0);
    EXPECT_EQ(g.MessageBoxById(nullptr, 0xF014, 1, 0), 6);
    EXPECT_EQ(g.MessageBoxById(nullptr, 0x1234, 0, 0), 0);
    EXPECT_EQ(rec.shown, (std::vector<std::string>{"Information/hi/48", "Warning/hi/48", "Error/hi/48", "Warning/未登录/0"}));
    EXPECT_FALSE(g.OpenProgramFile("no/such/file.pdf"));
}

class EnglishIds : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override {
        return QByteArray(context) == "StringId" && QByteArray(source) == "0xF009" ? "Select a module first" : QString();
    }
    bool isEmpty() const override { return false; }
};

TEST_F(Global, LoadedTranslationReplacesTheOwnTable) {
    Bare g;
    int argc = 1;
    char arg0[] = "test";
    char* argv[] = {arg0, nullptr};
    QCoreApplication qapp(argc, argv);
    EnglishIds english;
    ASSERT_TRUE(QCoreApplication::installTranslator(&english));
    EXPECT_EQ(g.StringById(0xF009), "Select a module first");
    EXPECT_EQ(g.StringById(0xF015), "已登录");
    EXPECT_EQ(g.StringById(0x7777), "");
    QCoreApplication::removeTranslator(&english);
}

TEST_F(Global, TheGlobalObjectLoadsTheChosenLanguagesCatalog) {
    app("language/config.ini", std::string(kLanguages) + "1\n");
    app("devtype/1/a.xml", "<devtype value=\"9020\"/><root><catalog name=\"c\"/></root><IOMsg addr=\"10\" name=\"x\"/>");
    EXPECT_EQ(CKNetCom2Global::Instance(), nullptr);
    {
        CKNetCom2Global g;
        EXPECT_EQ(CKNetCom2Global::Instance(), &g);
        EXPECT_EQ(g.Settings().File(), appFile("CONFIG/config.ini"));
        EXPECT_EQ(g.LoadCatalog(), 1);
        EXPECT_EQ(g.LoadCatalog(), 1) << "a reload replaces, it does not add";
        EXPECT_EQ(g.CatalogFolder(), appFile("devtype/1"));
        EXPECT_NE(g.Lookup(0x9020, 3), nullptr);
        EXPECT_EQ(g.IoMsgs().group(0x9020)->size(), 1u);
        g.setSelected(0);
        EXPECT_EQ(g.LoadCatalog(), 0) << "no folder for language 0: an empty catalog, no error";
    }
    EXPECT_EQ(CKNetCom2Global::Instance(), nullptr);
}

}  // namespace
