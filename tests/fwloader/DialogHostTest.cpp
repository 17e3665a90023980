// The upgrade dialog as a program without Qt sees it: FwLoader names no Qt library, and
// KB_UpdateFirwareDlg without a display returns 1, says why and loads no Qt. The file check the
// dialog runs before an upgrade refuses what is not an upgrade file.
#include <gtest/gtest.h>

#include <elf.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FwLoader.h"
#include "UpfBuilder.h"

namespace {

std::vector<std::string> g_messages;
void capture(const char* text) { g_messages.emplace_back(text ? text : ""); }

std::vector<char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The DT_NEEDED names of a 64-bit ELF shared object; empty when it is no such file.
std::vector<std::string> neededLibraries(const std::string& path) {
    const std::vector<char> f = readFile(path);
    std::vector<std::string> names;
    if (f.size() < sizeof(Elf64_Ehdr)) return names;
    const auto* eh = reinterpret_cast<const Elf64_Ehdr*>(f.data());
    if (std::string(reinterpret_cast<const char*>(eh->e_ident), 4) != ELFMAG || eh->e_ident[EI_CLASS] != ELFCLASS64)
        return names;
    if (eh->e_shoff + std::uint64_t{eh->e_shnum} * sizeof(Elf64_Shdr) > f.size()) return names;
    const auto* sh = reinterpret_cast<const Elf64_Shdr*>(f.data() + eh->e_shoff);
    for (int i = 0; i < eh->e_shnum; ++i) {
        if (sh[i].sh_type != SHT_DYNAMIC || sh[i].sh_link >= eh->e_shnum) continue;
        const Elf64_Shdr& strtab = sh[sh[i].sh_link];
        if (sh[i].sh_offset + sh[i].sh_size > f.size() || strtab.sh_offset + strtab.sh_size > f.size()) break;
        const auto* dyn = reinterpret_cast<const Elf64_Dyn*>(f.data() + sh[i].sh_offset);
        for (std::size_t k = 0; k < sh[i].sh_size / sizeof(Elf64_Dyn) && dyn[k].d_tag != DT_NULL; ++k)
            if (dyn[k].d_tag == DT_NEEDED && dyn[k].d_un.d_val < strtab.sh_size)
                names.emplace_back(f.data() + strtab.sh_offset + dyn[k].d_un.d_val);
    }
    return names;
}

bool qtMapped() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("libQt") != std::string::npos) return true;
    return false;
}

class DialogHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_messages.clear();
        KB_SetMessageHandler(&capture);
    }
    void TearDown() override { KB_SetMessageHandler(nullptr); }
};

TEST_F(DialogHostTest, FwLoaderNamesNoQtLibrary) {
    const std::vector<std::string> needed = neededLibraries(FWLOADER_LIBRARY);
    ASSERT_FALSE(needed.empty()) << FWLOADER_LIBRARY << " could not be read";
    for (const std::string& name : needed) EXPECT_EQ(name.rfind("libQt", 0), std::string::npos) << name;
}

TEST_F(DialogHostTest, WithoutADisplayTheDialogReturnsOneSaysWhyAndLoadsNoQt) {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    int value = 0;
    EXPECT_EQ(KB_UpdateFirwareDlg("VEXA", "/nonexistent.upf", &value), 1);
    EXPECT_EQ(KB_UpdateFirwareDlg(nullptr, nullptr, nullptr), 1);
    ASSERT_EQ(g_messages.size(), 2u);
    EXPECT_NE(g_messages[0].find("no display"), std::string::npos) << g_messages[0];
    EXPECT_FALSE(qtMapped()) << "a program that shows no dialog loads no Qt";
}

TEST_F(DialogHostTest, TheFileCheckRefusesWhatIsNoUpgradeFile) {
    char text[KB_ERR_TEXT_SIZE];
    EXPECT_EQ(KB_CheckUpgradeFile(nullptr, text), KB_FW_FILE_ERROR);
    EXPECT_STREQ(text, "打开升级文件失败");
    EXPECT_EQ(KB_CheckUpgradeFile("", nullptr), KB_FW_FILE_ERROR);
    EXPECT_EQ(KB_CheckUpgradeFile("/nonexistent/fw.upf", text), KB_FW_FILE_ERROR);
    EXPECT_STREQ(text, "打开升级文件失败");
    EXPECT_EQ(KB_CheckUpgradeFile("/tmp", text), KB_FW_FILE_ERROR) << "a folder";

    char tmpl[] = "/tmp/vexa-dlg-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string folder = tmpl;
    const std::string notes = folder + "/notes.upf";
    ASSERT_TRUE(fwtest::writeBytes(notes, fwtest::Bytes(200, 'x')));
    EXPECT_EQ(KB_CheckUpgradeFile(notes.c_str(), text), KB_FW_FILE_ERROR);
    EXPECT_STREQ(text, "升级文件格式错误");

    const std::string broken = folder + "/broken.upf";
    ASSERT_TRUE(fwtest::writeBytes(broken, fwtest::buildUpf({.payload = fwtest::makePayload(64), .badDigest = true})));
    EXPECT_EQ(KB_CheckUpgradeFile(broken.c_str(), text), KB_FW_FILE_ERROR);
    EXPECT_STREQ(text, "升级文件格式错误");

    const std::string good = folder + "/good.upf";
    ASSERT_TRUE(fwtest::writeBytes(good, fwtest::buildUpf({.payload = fwtest::makePayload(64)})));
    EXPECT_EQ(KB_CheckUpgradeFile(good.c_str(), text), KB_FW_OK);
    EXPECT_STREQ(text, "");
    for (const char* f : {"/notes.upf", "/broken.upf", "/good.upf"}) ::unlink((folder + f).c_str());
    ::rmdir(folder.c_str());
    EXPECT_TRUE(g_messages.empty()) << "the check shows nothing";
}

}  // namespace
