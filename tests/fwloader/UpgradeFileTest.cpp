// The upgrade file check: every malformed file is refused with its code and text before a single
// byte goes to the device, and the file is closed on every path.
#include "FwFixture.h"

#include <dirent.h>

namespace fwtest {
namespace {

int openFileCount() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d)) ++n;
        ::closedir(d);
    }
    return n;
}

class UpgradeFile : public FwFixture {};

TEST_F(UpgradeFile, UnopenableFilesAreRefused) {
    FakePort& port = openWithDevices();
    for (const std::string& path : {dir.path("missing.upf"), dir.root(), std::string()}) {
        SCOPED_TRACE(path);
        const Result r = upgrade(0, path);
        EXPECT_EQ(r.ok, 0);
        EXPECT_EQ(r.code, KB_FW_FILE_ERROR);
        EXPECT_EQ(r.text, "打开升级文件失败");
    }
    EXPECT_EQ(KB_UpdateFirware(0, nullptr), 0);
    EXPECT_EQ(errText(0), "打开升级文件失败");
    EXPECT_TRUE(port.written.empty());
}

TEST_F(UpgradeFile, MalformedFilesAreRefusedBeforeAnythingIsSent) {
    FakePort& port = openWithDevices();
    const Bytes payload = makePayload(40);
    const Bytes valid = buildUpf({.payload = payload});
    const std::uint32_t length = static_cast<std::uint32_t>(valid.size());
    struct Case {
        const char* name;
        Bytes file;
    };
    auto with = [&](UpfLayout layout) { return buildUpf(layout); };
    const std::vector<Case> cases = {
        {"empty", {}},
        {"97 bytes", Bytes(valid.begin(), valid.begin() + 97)},
        {"payload of 7 bytes (P = L - 23)", with({.payload = payload, .p = length - 23})},
        {"payload offset past the end", with({.payload = payload, .p = length + 100})},
        {"payload offset near 2^32", with({.payload = payload, .p = 0xFFFFFFF0u})},
        {"header offset after the payload offset (H = P + 1)",
         with({.payload = payload, .h = 42 + 32 + 1, .p = 42 + 32})},
        {"header offset near 2^32", with({.payload = payload, .h = 0xFFFFFFFFu})},
        {"header block of 129 bytes",
         with({.payload = payload, .header = vexa::sim::BootHeader::forImage(payload).encode(107)})},
        {"stored digest wrong", with({.payload = payload, .badDigest = true})},
        {"byte 0 changed", with({.payload = payload, .flipByte = 0})},
        {"byte 33 changed", with({.payload = payload, .flipByte = 33})},
        {"gap byte changed", with({.payload = payload, .gap = 4, .flipByte = 44})},
        {"last payload byte changed", with({.payload = payload, .flipByte = length - 17})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = upgrade(0, dir.writeFile("bad.upf", c.file));
        EXPECT_EQ(r.ok, 0);
        EXPECT_EQ(r.code, KB_FW_FILE_ERROR);
        EXPECT_EQ(r.text, "升级文件格式错误");
        EXPECT_TRUE(port.written.empty()) << "bytes were sent";
        EXPECT_EQ(KB_GetUpdateFirwareProgress(0), 10000);
    }
}

TEST_F(UpgradeFile, SmallestAndLargestLayoutsAreAccepted) {
    FakePort& port = openWithDevices();
    struct Case {
        const char* name;
        UpfLayout layout;
        std::size_t fileLength;
    };
    const Bytes eight = makePayload(8, 2);
    const Bytes eighteen = makePayload(18, 3);
    const Bytes big = makePayload(3000, 4);
    const std::vector<Case> cases = {
        // 42 + 22-byte header + 18-byte payload + 16 = the 98-byte minimum.
        {"98 bytes", {.payload = eighteen, .header = vexa::sim::BootHeader::forImage(eighteen).encode()}, 98},
        {"8-byte payload (P = L - 24)", {.payload = eight}, 42 + 32 + 8 + 16},
        {"header block of 128 bytes", {.payload = big, .header = vexa::sim::BootHeader::forImage(big).encode(106)},
         42 + 128 + 3000 + 16},
        {"empty header block", {.payload = big, .header = Bytes{}}, 42 + 3000 + 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = buildUpf(c.layout);
        ASSERT_EQ(file.size(), c.fileLength);
        vexa::sim::BootLoaderSim& sim = port.device(1);
        const Result r = upgrade(0, dir.writeFile("ok.upf", file));
        if (c.layout.header && c.layout.header->empty()) {
            // The host sends any header block; this boot loader wants its own.
            EXPECT_EQ(r.code, KB_FW_DEVICE_ERROR);
            EXPECT_EQ(r.text, "升级文件头格式不正确");
            continue;
        }
        EXPECT_EQ(r.code, KB_FW_OK) << r.text;
        EXPECT_TRUE(sim.image() == c.layout.payload);
    }
}

TEST_F(UpgradeFile, FileIsClosedOnEveryPath) {
    FakePort& port = openWithDevices();
    const Bytes payload = makePayload(2000);
    const std::string good = dir.writeFile("good.upf", buildUpf({.payload = payload}));
    const std::string bad = dir.writeFile("bad.upf", buildUpf({.payload = payload, .badDigest = true}));
    const std::string shortFile = dir.writeFile("short.upf", Bytes(50, 1));
    const int before = openFileCount();
    upgrade(0, good);
    upgrade(0, bad);
    upgrade(0, shortFile);
    port.device(1).misbehaviour().grant = 0;
    upgrade(0, good);
    port.writeMode = FakePort::WriteMode::Fail;
    upgrade(0, good);
    EXPECT_EQ(openFileCount(), before);
}

}  // namespace
}  // namespace fwtest
