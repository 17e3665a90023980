#include "platform/AppDir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ScopedEnv.h"
#include "TempDir.h"

namespace vexa {
namespace {

using test::ScopedEnv;
using test::TempDir;

TEST(AppDirTest, IsTheProgramFolderUnlessOverridden) {
    std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string exeDir = exe.substr(0, exe.rfind('/') + 1);
    {
        ScopedEnv env("VEXA_APPDIR", nullptr);
        EXPECT_EQ(appDir(), exeDir);
    }
    {
        ScopedEnv env("VEXA_APPDIR", "");  // empty counts as unset
        EXPECT_EQ(appDir(), exeDir);
    }
    {
        ScopedEnv env("VEXA_APPDIR", "/opt/vexa");
        EXPECT_EQ(appDir(), "/opt/vexa/");
    }
    {
        ScopedEnv env("VEXA_APPDIR", "/opt/vexa/");
        EXPECT_EQ(appDir(), "/opt/vexa/");
    }
}

TEST(AppDirTest, AppPathResolvesBelowTheOverride) {
    TempDir dir;
    dir.write("config/Config.INI", "");
    ScopedEnv env("VEXA_APPDIR", dir.path().c_str());
    EXPECT_EQ(appPath("CONFIG\\config.ini"), dir.file("config/Config.INI"));
}

class ResolvePathTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string resolve(const std::string& rel) const { return resolvePath(dir.path(), rel); }
};

TEST_F(ResolvePathTest, ExactSpellingWinsOverACaseVariant) {
    dir.write("devtype/1/item.xml", "");
    dir.write("DEVTYPE/1/item.xml", "");
    EXPECT_EQ(resolve("DEVTYPE\\1\\item.xml"), dir.file("DEVTYPE/1/item.xml"));
    EXPECT_EQ(resolve("devtype/1/item.xml"), dir.file("devtype/1/item.xml"));
}

TEST_F(ResolvePathTest, EveryComponentMatchesIgnoringCase) {
    dir.write("Devtype/Lang/CATALOG.xml", "");
    EXPECT_EQ(resolve("devtype\\lang\\catalog.xml"), dir.file("Devtype/Lang/CATALOG.xml"));
    // Mixed, doubled and leading separators are all one separator.
    EXPECT_EQ(resolve("\\DEVTYPE//lang\\\\Catalog.XML"), dir.file("Devtype/Lang/CATALOG.xml"));
    // The base may come without its trailing '/'.
    EXPECT_EQ(resolvePath(dir.path() + "/", "DEVTYPE\\LANG"), dir.file("Devtype/Lang"));
}

TEST_F(ResolvePathTest, AMissingComponentKeepsTheRestAsGivenInTheFolderFound) {
    dir.write("CONFIG/config.ini", "");
    // A file about to be created lands in the folder that exists, whatever its case.
    EXPECT_EQ(resolve("config\\VEXA_9020tmp.eds"), dir.file("CONFIG/VEXA_9020tmp.eds"));
    // Once a folder is missing, nothing below it is looked up.
    EXPECT_EQ(resolve("Config\\Missing\\CONFIG.INI"), dir.file("CONFIG/Missing/CONFIG.INI"));
    EXPECT_EQ(resolve("nowhere\\x.ini"), dir.file("nowhere/x.ini"));
    // A file where a folder is expected is no match for what lies below it.
    EXPECT_EQ(resolve("config\\CONFIG.INI\\deeper"), dir.file("CONFIG/config.ini/deeper"));
}

}  // namespace
}  // namespace vexa
