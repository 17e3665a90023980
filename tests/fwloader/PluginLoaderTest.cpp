// The plug-in loader and the device table: devdlls.ini, loading by name, load counts, chunk
// sizes, the rows each search makes and how indices move, and bad arguments everywhere.
#include "FwFixture.h"
#include "Progress.h"
#include "VexaBootParams.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

namespace fwtest {
namespace {

class Loader : public FwFixture {
protected:
    // Serial number byte 0 of each simulated device tells the rows apart.
    static vexa::sim::BootLoaderConfig tagged(std::uint8_t tag) {
        vexa::sim::BootLoaderConfig c;
        c.deviceInfo[12] = tag;
        return c;
    }
    static std::vector<int> rowTags(int rows) {
        std::vector<int> tags;
        for (int i = 0; i < rows; ++i) {
            BootDeviceInfo info{};
            tags.push_back(KB_GetDeviceInfo(i, &info) == 1 ? info.serial[0] : -1);
        }
        return tags;
    }
    static int rowCount() {
        int n = 0;
        while (KB_GetErrInfo(n, nullptr) != KB_NO_DEVICE) ++n;
        return n;
    }
};

TEST_F(Loader, DeviceListWithoutIniIsMinusOne) {
    char name[KB_NAME_SIZE] = "unchanged";
    EXPECT_EQ(KB_GetCommDeviceList(nullptr, 0), -1);
    EXPECT_EQ(KB_GetCommDeviceList(name, 0), -1);
    EXPECT_STREQ(name, "unchanged");
    EXPECT_EQ(KB_OpenCommDevice(0, nullptr), 0);
    EXPECT_EQ(messages(), std::vector<std::string>{"加载通信DLL失败"});
}

TEST_F(Loader, DeviceListNamesAndCount) {
    dir.writeIni({{"VEXA", "a.dll", {}}, {"", "b.dll", {}}, {"ModBus", "c.dll", {}}});
    char name[KB_NAME_SIZE] = {};
    EXPECT_EQ(KB_GetCommDeviceList(nullptr, 0), 3);
    EXPECT_EQ(KB_GetCommDeviceList(name, 3), 3);
    EXPECT_EQ(KB_GetCommDeviceList(name, -1), 3);
    EXPECT_EQ(KB_GetCommDeviceList(name, 0), 1);
    EXPECT_STREQ(name, "VEXA");
    EXPECT_EQ(KB_GetCommDeviceList(name, 1), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(KB_GetCommDeviceList(name, 2), 1);
    EXPECT_STREQ(name, "ModBus");
}

TEST_F(Loader, LongNamesFitTheDocumentedBuffer) {
    const std::string name200(200, 'n');
    const std::string name300(300, 'x');
    std::string utf8;  // 3-byte characters: a cut at 254 bytes must not split one
    while (utf8.size() < 300) utf8 += "升";
    dir.writeIni({{name200, "a.dll", {}}, {name300, "b.dll", {}}, {utf8, "c.dll", {}}});
    std::vector<char> buffer(KB_NAME_SIZE + 16, '#');
    EXPECT_EQ(KB_GetCommDeviceList(buffer.data(), 0), 1);
    EXPECT_EQ(std::string(buffer.data()), name200);
    EXPECT_EQ(KB_GetCommDeviceList(buffer.data(), 1), 1);
    EXPECT_EQ(std::string(buffer.data()), std::string(254, 'x'));
    EXPECT_EQ(KB_GetCommDeviceList(buffer.data(), 2), 1);
    EXPECT_EQ(std::strlen(buffer.data()), 252u);
    for (std::size_t i = KB_NAME_SIZE; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '#');
}

TEST_F(Loader, PluginNamesOutsideTheFolderAreRefused) {
    // Real plug-ins wait outside devdlls/ under the names a hostile entry would reach.
    dir.installPlugin("../evil.dll");
    dir.installPlugin("../libevil.so");
    const std::string absolute = dir.installPlugin("libabs.so");
    const std::vector<std::string> hostile = {"..\\evil.dll", "../evil.dll", "..", "sub/x.dll", "C:evil.dll",
                                              absolute, "", "missing.dll"};
    for (const std::string& dll : hostile) {
        SCOPED_TRACE(dll);
        messages().clear();
        dir.writeIni({{"VEXA", dll, {}}});
        EXPECT_EQ(KB_OpenCommDevice(0, nullptr), 0);
        EXPECT_EQ(messages(), std::vector<std::string>{"加载通信DLL失败"});
        EXPECT_EQ(KB_SearchDevice(0), 0);
        EXPECT_EQ(KB_CloseCommDevice(0), 0);
    }
}

TEST_F(Loader, IndicesOutsideTheIniAreRefused) {
    addPort("VEXA");
    for (int plugin : {-1, 1, 2, 1000}) {
        SCOPED_TRACE(plugin);
        messages().clear();
        EXPECT_EQ(KB_OpenCommDevice(plugin, nullptr), 0);
        EXPECT_EQ(messages().size(), 1u);
        EXPECT_EQ(KB_ConfigCommDevice(plugin, nullptr), 0);
        EXPECT_EQ(KB_EnterBootMode(plugin), 0);
        EXPECT_EQ(KB_SearchDevice(plugin), 0);
        EXPECT_EQ(KB_CloseCommDevice(plugin), 0);
    }
    EXPECT_EQ(ports.front()->openCalls, 0);
}

TEST_F(Loader, StoredWindowsNamesLoadTheSharedObject) {
    // addPort installs lib<file>.so and lists <file>.dll; a plain <file>.so is found as well.
    FakePort& first = addPort("VEXA");
    const std::string plain = dir.installPlugin("Other.so");
    FakePort other(plain);
    dir.writeIni({{"VEXA", "Port0.dll", {}}, {"Other", "Other.dll", {}}});
    int params = 42;
    EXPECT_EQ(KB_OpenCommDevice(0, &params), 1);
    EXPECT_EQ(first.lastOpenParams, &params);
    EXPECT_EQ(KB_OpenCommDevice(1, nullptr), 1);
    EXPECT_EQ(other.openCalls, 1);
    EXPECT_EQ(KB_CloseCommDevice(1), 1);
    EXPECT_TRUE(messages().empty());
}

TEST_F(Loader, PluginWithoutOpenIsNotLoaded) {
    addPort("VEXA", std::nullopt, PortBuild::WithoutOpen);
    EXPECT_EQ(KB_OpenCommDevice(0, nullptr), 0);
    EXPECT_EQ(messages(), std::vector<std::string>{"加载通信DLL失败"});
    EXPECT_EQ(KB_CloseCommDevice(0), 0);
}

TEST_F(Loader, OpenResultAndForwardedCalls) {
    FakePort& port = addPort("VEXA");
    port.openResult = 0;  // the plug-in refused its parameters
    EXPECT_EQ(KB_OpenCommDevice(0, nullptr), 0);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(KB_ConfigCommDevice(0, nullptr), 1);
    EXPECT_EQ(KB_EnterBootMode(0), 1);
    EXPECT_EQ(port.configCalls, 1);
    EXPECT_EQ(port.enterBootCalls, 1);
}

TEST_F(Loader, EachOpenNeedsItsClose) {
    FakePort& port = addPort("VEXA");
    port.addDevice();
    ASSERT_EQ(KB_OpenCommDevice(0, nullptr), 1);
    ASSERT_EQ(KB_OpenCommDevice(0, nullptr), 1);
    EXPECT_EQ(KB_CloseCommDevice(0), 1);
    EXPECT_EQ(KB_SearchDevice(0), 1);  // still loaded
    EXPECT_EQ(KB_CloseCommDevice(0), 1);
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(KB_SearchDevice(0), 0);
    EXPECT_EQ(KB_CloseCommDevice(0), 0);
    EXPECT_EQ(port.closeCalls, 2);
}

TEST_F(Loader, ChunkSizes) {
    struct Case {
        const char* name;
        int plugin;
        std::optional<std::string> goodWriteLen;
        unsigned largest;
    };
    const Bytes body(3000, 0x11);
    for (const Case& c : {Case{"index 0 ignores its setting", 0, "16", 1024},
                          Case{"configured", 1, "16", 16},
                          Case{"zero means the default", 1, "0", 1024},
                          Case{"missing means no limit", 1, std::nullopt, 3004}}) {
        SCOPED_TRACE(c.name);
        resetPorts();
        FakePort& first = addPort("first", c.plugin == 0 ? c.goodWriteLen : std::nullopt);
        FakePort& port = c.plugin == 0 ? first : addPort("second", c.goodWriteLen);
        port.searchResult = 1;
        ASSERT_EQ(KB_OpenCommDevice(c.plugin, nullptr), 1);
        ASSERT_EQ(KB_SearchDevice(c.plugin), 1);
        ASSERT_EQ(KB_SendCmd(0, body.data(), static_cast<int>(body.size())), 1);
        EXPECT_EQ(port.largestWrite, c.largest);
        EXPECT_EQ(port.written.size(), 3004u);
        EXPECT_EQ(KB_CloseCommDevice(c.plugin), 1);
    }
}

TEST_F(Loader, SearchCountIsClampedToTheHandleArray) {
    FakePort& port = addPort("VEXA");
    ASSERT_EQ(KB_OpenCommDevice(0, nullptr), 1);
    port.searchResult = 400;
    EXPECT_EQ(KB_SearchDevice(0), 300);
    EXPECT_EQ(rowCount(), 300);
    port.searchResult = -5;
    EXPECT_EQ(KB_SearchDevice(0), 0);
    EXPECT_EQ(rowCount(), 0);
}

TEST_F(Loader, RowsMoveWhenAPluginIsSearchedAgainOrClosed) {
    FakePort& a = addPort("A");
    FakePort& b = addPort("B");
    a.addDevice(tagged(0xA0));
    a.addDevice(tagged(0xA1));
    for (std::uint8_t t : {0xB0, 0xB1, 0xB2}) b.addDevice(tagged(t));
    ASSERT_EQ(KB_OpenCommDevice(0, nullptr), 1);
    ASSERT_EQ(KB_OpenCommDevice(1, nullptr), 1);
    ASSERT_EQ(KB_SearchDevice(0), 2);
    ASSERT_EQ(KB_SearchDevice(1), 3);
    EXPECT_EQ(rowTags(5), (std::vector<int>{0xA0, 0xA1, 0xB0, 0xB1, 0xB2}));

    a.searchResult = 1;  // A now finds one device; its rows go to the end
    ASSERT_EQ(KB_SearchDevice(0), 1);
    EXPECT_EQ(rowTags(4), (std::vector<int>{0xB0, 0xB1, 0xB2, 0xA0}));
    EXPECT_EQ(rowCount(), 4);

    EXPECT_EQ(KB_CloseCommDevice(1), 1);
    EXPECT_EQ(rowTags(1), (std::vector<int>{0xA0}));
    EXPECT_EQ(rowCount(), 1);
}

TEST_F(Loader, WriteThatTakesNothingFailsAtOnce) {
    FakePort& port = addPort("VEXA");
    port.searchResult = 1;
    ASSERT_EQ(KB_OpenCommDevice(0, nullptr), 1);
    ASSERT_EQ(KB_SearchDevice(0), 1);
    const std::uint8_t cmd[] = {0x81, 0x00};
    port.writeMode = FakePort::WriteMode::ReturnZero;
    EXPECT_EQ(KB_SendCmd(0, cmd, 2), 0);
    EXPECT_EQ(port.writeCalls, 1);
    port.writeMode = FakePort::WriteMode::ReturnMore;
    EXPECT_EQ(KB_SendCmd(0, cmd, 2), 0);
    EXPECT_EQ(port.writeCalls, 2);
}

TEST_F(Loader, BadDeviceIndicesLeaveEverythingAlone) {
    openWithDevices(1);
    for (int device : {-1, 1, 1000}) {
        SCOPED_TRACE(device);
        BootDeviceInfo info;
        std::memset(&info, 0x5A, sizeof info);
        EXPECT_EQ(KB_GetDeviceInfo(device, &info), 0);
        EXPECT_EQ(info.model, 0x5A5A5A5Au);
        BootVersionInfo ver;
        std::memset(&ver, 0x5A, sizeof ver);
        EXPECT_EQ(KB_GetBootVer(device, &ver), 0);
        EXPECT_EQ(ver.version, 0x5A5A);
        EXPECT_EQ(KB_ResetDevice(device), 0);
        EXPECT_EQ(KB_UpdateFirware(device, "/nonexistent.upf"), 0);
        EXPECT_EQ(KB_GetUpdateFirwareProgress(device), 10000);
        char text[KB_ERR_TEXT_SIZE];
        EXPECT_EQ(KB_GetErrInfo(device, text), KB_NO_DEVICE);
        EXPECT_STREQ(text, "设备不存在");
    }
    EXPECT_EQ(ports.front()->writeCalls, 0);
    char text[KB_ERR_TEXT_SIZE] = "x";
    EXPECT_EQ(KB_GetErrInfo(0, text), 0);  // a fresh row: no result yet
    EXPECT_STREQ(text, "");
    EXPECT_EQ(KB_GetUpdateFirwareProgress(0), 10000);
}

TEST_F(Loader, ProgressArithmeticDoesNotWrap) {
    EXPECT_EQ(fwl::progressPermyriad(true, 500000, 600000), 8333);
    EXPECT_EQ(fwl::progressPermyriad(true, 0xFFFFFFF0u, 0xFFFFFFFFu), 9999);
    EXPECT_EQ(fwl::progressPermyriad(true, 0, 0), 10000);
    EXPECT_EQ(fwl::progressPermyriad(true, 11, 10), 10000);
    EXPECT_EQ(fwl::progressPermyriad(false, 1, 10), 10000);
    EXPECT_EQ(fwl::progressPermyriad(true, 0, 10), 0);
}

TEST_F(Loader, DefaultMessageGoesToStandardError) {
    KB_SetMessageHandler(nullptr);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(KB_OpenCommDevice(0, nullptr), 0);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("加载通信DLL失败"), std::string::npos);
}

// Runs `body` in a child process; true when it exits with 0 within `limit`.
bool inChild(const std::function<int()>& body, std::chrono::seconds limit) {
    std::fflush(nullptr);  // nothing buffered may be written twice
    const pid_t pid = ::fork();
    if (pid == 0) std::_Exit(body() == 0 ? 0 : 3);  // never returns into the test runner
    if (pid < 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(Loader, UnloadClosesPluginsAndDropsRowsOfThoseWithoutClose) {
    FakePort& closing = addPort("A");
    FakePort& noClose = addPort("B", std::nullopt, PortBuild::WithoutClose);
    closing.addDevice();
    noClose.addDevice();
    noClose.addDevice();
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    // The child searches both, then exits: the library's unload must close A (which reports
    // through the pipe) and must not hang on B's rows.
    const bool exited = inChild(
        [&] {
            closing.onClose = [&] { (void)!::write(pipeFds[1], "C", 1); };
            if (KB_OpenCommDevice(0, nullptr) != 1 || KB_OpenCommDevice(1, nullptr) != 1) return 1;
            if (KB_SearchDevice(1) != 2 || KB_SearchDevice(0) != 1) return 2;
            if (KB_CloseCommDevice(1) != 0 || rowCount() != 3) return 3;  // B cannot be closed
            std::exit(0);  // runs the library's unload
        },
        std::chrono::seconds(20));
    ::close(pipeFds[1]);
    char got = 0;
    EXPECT_TRUE(exited);
    EXPECT_EQ(::read(pipeFds[0], &got, 1), 1);
    EXPECT_EQ(got, 'C');
    ::close(pipeFds[0]);
}

TEST_F(Loader, OpenParameterRecordsKeepTheirLayout) {
    const std::uint8_t vexa[] = {0x41, 0x58, 0x45, 0x56};
    const std::uint8_t mbus[] = {0x73, 0x75, 0x42, 0x4D};
    VexaPortParams v{};
    MbPortParams m{};
    v.magic = VEXA_PORT_MAGIC;
    m.magic = MB_PORT_MAGIC;
    EXPECT_EQ(std::memcmp(&v, vexa, 4), 0);
    EXPECT_EQ(std::memcmp(&m, mbus, 4), 0);
    EXPECT_EQ(offsetof(VexaPortParams, ipAddress), 8u);
    EXPECT_EQ(offsetof(VexaPortParams, rsParam), 16u);
    EXPECT_EQ(offsetof(MbPortParams, lineMode), 16u);
    EXPECT_EQ(offsetof(MbPortParams, serial), 32u + sizeof(void*) - 4);
}

}  // namespace
}  // namespace fwtest
