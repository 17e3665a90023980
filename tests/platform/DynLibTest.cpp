#include "platform/DynLib.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"

namespace vexa {
namespace {

using test::TempDir;

TEST(ResolvePluginFileTest, NamesThatCouldLeaveTheFolderAreRefused) {
    TempDir dir;
    dir.write("x.dll", "");
    dir.write("a/b.so", "");
    for (const char* name : {"..\\x.dll", "../x.dll", "a/b.so", "a\\b.so", "C:x.dll", "..", "x..dll", ""})
        EXPECT_EQ(resolvePluginFile(dir.path(), name), "") << name;
    EXPECT_EQ(resolvePluginFile(dir.path(), "x.dll"), dir.file("x.dll"));
}

TEST(ResolvePluginFileTest, AStoredDllNameFallsBackToLibXThenX) {
    TempDir dir;
    EXPECT_EQ(resolvePluginFile(dir.path(), "Port.dll"), "");  // nothing there
    dir.write("libPort.so/inside", "");                        // a folder is no plug-in
    EXPECT_EQ(resolvePluginFile(dir.path(), "Port.dll"), "");
    dir.write("Port.so", "");
    EXPECT_EQ(resolvePluginFile(dir.path(), "Port.dll"), dir.file("Port.so"));
    EXPECT_EQ(resolvePluginFile(dir.path() + "/", "Port.DLL"), dir.file("Port.so"));
    dir.write("libPort2.so", "");
    dir.write("Port2.so", "");
    EXPECT_EQ(resolvePluginFile(dir.path(), "Port2.dll"), dir.file("libPort2.so"));
    dir.write("Port2.dll", "");  // the stored name itself wins when present
    EXPECT_EQ(resolvePluginFile(dir.path(), "Port2.dll"), dir.file("Port2.dll"));
}

TEST(ResolvePluginFileTest, AnEmptyFolderMeansTheWorkingFolderAsAPath) {
    TempDir dir;
    dir.write("libHere.so", "");
    auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    std::string found = resolvePluginFile("", "Here.dll");
    std::filesystem::current_path(old);
    // With a '/' in it, dlopen takes the file named rather than searching the system folders.
    EXPECT_EQ(found, "./libHere.so");
}

TEST(DynLibTest, LoadsAPluginAndFindsItsSymbol) {
    const std::filesystem::path file = VEXA_TEST_PLUGIN_FILE;
    std::string path = resolvePluginFile(file.parent_path().string(), "vexatestplugin.dll");
    ASSERT_EQ(path, file.string());

    DynLib lib;
    ASSERT_TRUE(lib.open(path)) << lib.error();
    EXPECT_TRUE(lib.isOpen());
    auto twice = reinterpret_cast<int (*)(int)>(lib.symbol("vexa_test_plugin_twice"));
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(twice(21), 42);
    EXPECT_EQ(lib.symbol("no_such_symbol"), nullptr);
    EXPECT_EQ(lib.symbol(nullptr), nullptr);
    lib.close();
    EXPECT_FALSE(lib.isOpen());
    EXPECT_EQ(lib.symbol("vexa_test_plugin_twice"), nullptr);
}

TEST(DynLibTest, WhatCannotBeLoadedIsRefusedWithAReason) {
    TempDir dir;
    dir.write("libbroken.so", "not a library");
    for (const std::string& path : {std::string(), dir.file("libbroken.so"), dir.file("missing.so")}) {
        DynLib lib;
        EXPECT_FALSE(lib.open(path)) << path;
        EXPECT_FALSE(lib.isOpen()) << path;
        EXPECT_FALSE(lib.error().empty()) << path;
        EXPECT_EQ(lib.symbol("main"), nullptr) << path;
    }
}

}  // namespace
}  // namespace vexa
