#include <sys/stat.h>
#include <unistd.h>

#include "CoreFixture.h"
#include "core/CControlIni.h"
#include "platform/IniFile.h"

namespace {

using name_share::CControlIni;
using Ini = vexadesk::test::CoreFixture;

const char kRel[] = "CONFIG\\config.ini";

TEST_F(Ini, GetIntReadsHexAndDecimalAndKeepsTheDefaultOtherwise) {
    struct Case {
        const char* stored;  // nullptr: key missing
        bool hex, ok;
        int value;
    } cases[] = {
        {"1F", true, true, 0x1F},   {"0x10", true, true, 0x10}, {"ffffffff", true, true, -1},
        {"-5", false, true, -5},    {"42abc", false, true, 42}, {"abc", false, false, 77},
        {"", false, false, 77},     {nullptr, true, false, 77}, {"1FFFFFFFF", true, false, 77},
    };
    for (const Case& c : cases) {
        app("CONFIG/config.ini", c.stored ? std::string("[S]\nk=") + c.stored + "\n" : "[S]\n");
        int out = 0;
        EXPECT_EQ(CControlIni(kRel).GetInt("s", "K", out, c.hex, 77), c.ok) << (c.stored ? c.stored : "(missing)");
        EXPECT_EQ(out, c.value) << (c.stored ? c.stored : "(missing)");
    }
}

TEST_F(Ini, WritesRoundTripAndStringsAreCutAtWholeCharacters) {
    app("config/Config.INI", "");
    CControlIni ini(kRel);
    EXPECT_EQ(ini.File(), appFile("config/Config.INI"));
    ASSERT_TRUE(ini.WriteInt("SHOW_COL", "col_0", 0xFF0000, true));
    ASSERT_TRUE(ini.WriteInt("SHOW_COL", "show_col", -3, false));
    ASSERT_TRUE(ini.WriteString("ver", "ver", "测试abc"));
    EXPECT_EQ(vexa::ini::getString(appFile("config/Config.INI"), "SHOW_COL", "col_0"), "ff0000");

    int v = 0;
    EXPECT_TRUE(ini.GetInt("SHOW_COL", "show_col", v, false, 0));
    EXPECT_EQ(v, -3);
    std::string s;
    EXPECT_TRUE(ini.GetString("ver", "ver", s, 4));
    EXPECT_EQ(s, "测") << "the next character would not fit whole";
    EXPECT_TRUE(ini.GetString("ver", "missing", s, 10, "dflt"));
    EXPECT_EQ(s, "dflt");
    EXPECT_FALSE(ini.GetString("ver", "missing", s, 10, nullptr));
    EXPECT_FALSE(ini.WriteStruct("B", "b", nullptr, 4));
}

TEST_F(Ini, PerUserFileIsReadFirstAndTakesWritesOnceItExists) {
    app("CONFIG/config.ini", "[S]\na=1\nb=2\n");
    user("CONFIG/config.ini", "[S]\na=10\n");
    CControlIni ini(kRel);
    int a = 0, b = 0;
    ini.GetInt("S", "a", a, false, 0);
    ini.GetInt("S", "b", b, false, 0);
    EXPECT_EQ(a * 100 + b, 1002) << "a from the user file, b (missing there) from the program folder";
    ASSERT_TRUE(ini.WriteInt("S", "b", 20, false));
    EXPECT_EQ(tmp.read("app/CONFIG/config.ini"), "[S]\na=1\nb=2\n");
    ini.GetInt("S", "b", b, false, 0);
    EXPECT_EQ(b, 20);
}

TEST_F(Ini, UnwritableProgramFolderSendsWritesToTheUserFileOrFails) {
    tmp.write("app/CONFIG", "not a folder");  // nobody, not even root, can create CONFIG/config.ini
    ASSERT_TRUE(CControlIni(kRel).WriteInt("LAST", "Sel", 3, false));
    EXPECT_EQ(vexa::ini::getString(userFile("CONFIG/config.ini"), "LAST", "Sel"), "3");

    std::filesystem::remove_all(tmp.file("user"));
    tmp.write("user", "");  // now the per-user folder cannot be made either
    EXPECT_FALSE(CControlIni(kRel).WriteString("S", "k", "v"));
    CControlIni outside;
    outside.SetFile(tmp.file("nowhere/x.ini"));
    EXPECT_EQ(outside.UserFile(), "") << "only files below AppDir have a per-user twin";
    EXPECT_FALSE(outside.WriteString("S", "k", "v"));
}

TEST_F(Ini, ReadOnlyInstalledFolderKeepsItsValuesAndSendsWritesToTheUser) {
    app("CONFIG/config.ini", "[S]\na=1\n");
    ::chmod(appFile("CONFIG/config.ini").c_str(), 0444);
    ::chmod(appFile("CONFIG").c_str(), 0555);
    struct Restore {
        std::string dir;
        ~Restore() { ::chmod(dir.c_str(), 0755); }
    } restore{appFile("CONFIG")};
    if (::access(appFile("CONFIG/config.ini").c_str(), W_OK) == 0) GTEST_SKIP() << "permissions do not bind this user";

    CControlIni ini;
    ini.SetFile(appFile("CONFIG/config.ini"));
    ASSERT_TRUE(ini.WriteString("S", "b", "x"));
    std::string a, b;
    EXPECT_TRUE(ini.GetString("S", "a", a, 255));
    EXPECT_TRUE(ini.GetString("S", "b", b, 255));
    EXPECT_EQ(a + b, "1x");
}

}  // namespace
