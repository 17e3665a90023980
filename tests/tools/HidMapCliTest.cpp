// vexactl's USB coupler commands, run as a user runs them: map download/show and hid-update.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "CliRun.h"
#include "sim/SimRack.h"

namespace {

using clitest::CliRun;
using clitest::vexactl;

bool has(const CliRun& r, const std::string& text) { return r.out.find(text) != std::string::npos; }

class HidMapCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        hid = rack.addHid({.subs = {{1, vexa::sim::subIdentity(0x4017)}, {2, vexa::sim::subIdentity(0x2808)}}});
        eth = rack.addEthernet({});
        ASSERT_EQ(rack.start(), vexa::sim::kSimOk);
        setenv("VEXA_ETH_BROADCAST", rack.hubAddress().c_str(), 1);
        setenv("VEXA_HID", ("sim:" + rack.hidFolder()).c_str(), 1);
        setenv("VEXA_TEST_HID_TIMEOUT_MS", "50", 1);
        setenv("VEXA_TEST_HID_RETRY_MS", "1", 1);
        char tmpl[] = "/tmp/vexactl-hid-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override {
        for (const auto& f : files) unlink(f.c_str());
        rmdir(dir.c_str());
    }
    std::string writeFile(const std::string& name, const std::vector<unsigned char>& bytes) {
        std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        files.push_back(path);
        return path;
    }
    static std::vector<unsigned char> fupf(const std::vector<unsigned char>& image, size_t declared) {
        std::vector<unsigned char> f(256, 0);
        for (int i = 0; i < 4; ++i) f[static_cast<size_t>(i)] = static_cast<unsigned char>(declared >> (8 * i));
        f.insert(f.end(), image.begin(), image.end());
        return f;
    }

    vexa::sim::SimRack rack{vexa::sim::RackOptions{.liveData = false}};
    vexa::sim::SimCoupler *hid = nullptr, *eth = nullptr;
    std::string dir;
    std::vector<std::string> files;
};

}  // namespace

TEST_F(HidMapCliTest, DownloadShowsTheReadBackAndVerifiesIt) {
    CliRun r = vexactl("map download hid t:0:0:1:0x40:1 t:1:0:1:0x41:1 r:0:0:2:0x20:1");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, "verified=yes")) << r.out;
    EXPECT_TRUE(has(r, "list=tpdo  offset=1  pdo=0  pos=1  addr=1  reg=0x41  words=1")) << r.out;
    auto img = hid->canOpenImage();
    ASSERT_EQ(img.tpdo.size(), 2u);
    EXPECT_EQ(img.tpdo[1], (std::array<std::uint8_t, 6>{1, 0x10, 1, 0x41, 1, 0}));
    ASSERT_EQ(img.rpdo.size(), 1u);

    r = vexactl("map show hid:" + hid->address() + " --json");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, "{\"list\":\"rpdo\",\"offset\":0,\"pdo\":0,\"pos\":0,\"addr\":2,\"reg\":\"0x20\",\"words\":1}"))
        << r.out;

    r = vexactl("map download hid --all");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, "verified=yes")) << r.out;
}

TEST_F(HidMapCliTest, BadMapArgumentsAreUsageErrors) {
    EXPECT_EQ(vexactl("map download hid t:0:0:1:0x40:3").status, 2);   // three words
    EXPECT_EQ(vexactl("map download hid t:63:0:1:0x40:2").status, 2);  // past the input image
    EXPECT_EQ(vexactl("map download hid x:0:0:1:0x40:1").status, 2);
    EXPECT_EQ(vexactl("map show eth:" + eth->address()).status, 2);
    EXPECT_EQ(vexactl("map frobnicate hid").status, 2);
    // An empty download would wipe the mapping: it takes --clear, and --clear takes nothing else.
    EXPECT_EQ(vexactl("map download hid").status, 2);
    EXPECT_EQ(vexactl("map download hid --clear --all").status, 2);
    EXPECT_EQ(hid->requestCount(), 0u);
    CliRun r = vexactl("map download hid --clear");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(hid->canOpenImage().tpdo.empty());
}

TEST_F(HidMapCliTest, UpdateDownloadsTheImageByteExactWithProgress) {
    std::vector<unsigned char> image(1000);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i * 13 + 1);
    std::string path = writeFile("fw.fupf", fupf(image, image.size()));
    CliRun r = vexactl("hid-update hid " + path + " --settle 0");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(has(r, "100.0%")) << "no bar into a pipe: " << r.out;
    EXPECT_TRUE(has(r, "pieces=32")) << r.out;
    auto kept = hid->firmwareImage();
    ASSERT_EQ(kept.size(), 1024u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), kept.begin()));

    // A bare image only when asked: any other file must be a .fupf image.
    std::string raw = writeFile("fw.img", std::vector<unsigned char>(image.begin(), image.begin() + 33));
    EXPECT_EQ(vexactl("hid-update hid " + raw + " --settle 0").status, 2);
    r = vexactl("hid-update hid " + raw + " --format raw --settle 0 --no-progress");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(has(r, "%")) << r.out;
    EXPECT_EQ(hid->firmwareImage().size(), 64u);
}

TEST_F(HidMapCliTest, UpdateRefusesBadFilesAndReportsASilentCoupler) {
    std::vector<unsigned char> image(100, 0x5A);
    EXPECT_EQ(vexactl("hid-update hid " + writeFile("short.fupf", fupf(image, 101)) + " --settle 0").status, 2);
    EXPECT_EQ(vexactl("hid-update hid " + writeFile("big.fupf", fupf(image, 0x10000)) + " --settle 0").status, 2);
    EXPECT_EQ(vexactl("hid-update hid " + dir + "/missing.fupf --settle 0").status, 2);
    CliRun folder = vexactl("hid-update hid " + dir + " --settle 0");
    EXPECT_EQ(folder.status, 2);
    EXPECT_TRUE(has(folder, "not a file")) << folder.out;
    EXPECT_EQ(hid->requestCount(), 0u);
    std::string good = writeFile("ok.fupf", fupf(image, image.size()));
    hid->setSilent(true);
    CliRun r = vexactl("hid-update hid " + good + " --settle 0");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(hid->firmwareUpdates(), 0u);
}
