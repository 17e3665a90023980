#include "FwFixture.h"

namespace fwtest {

namespace {
void captureMessage(const char* text) { FwFixture::messages().emplace_back(text); }
}  // namespace

std::vector<std::string>& FwFixture::messages() {
    static std::vector<std::string> shown;
    return shown;
}

void FwFixture::SetUp() {
    ASSERT_FALSE(dir.root().empty());
    messages().clear();
    KB_SetMessageHandler(&captureMessage);
}

void FwFixture::TearDown() {
    resetPorts();
    KB_SetMessageHandler(nullptr);
}

void FwFixture::resetPorts() {
    // Each close undoes one open; a plug-in not loaded answers 0.
    for (int plugin = 0; plugin < static_cast<int>(entries_.size()) + 2; ++plugin)
        for (int i = 0; i < 16 && KB_CloseCommDevice(plugin) != 0; ++i) {
        }
    ports.clear();
    entries_.clear();
}

FakePort& FwFixture::addPort(const std::string& name, std::optional<std::string> goodWriteLen, PortBuild build) {
    const std::string file = "Port" + std::to_string(installed_++);
    const std::string installed = dir.installPlugin("lib" + file + ".so", build);
    entries_.push_back({name, file + ".dll", std::move(goodWriteLen)});
    rewriteIni();
    ports.push_back(std::make_unique<FakePort>(installed));
    EXPECT_TRUE(ports.back()->attached()) << installed;
    return *ports.back();
}

FakePort& FwFixture::openWithDevices(int devices, const vexa::sim::BootLoaderConfig& config) {
    FakePort& port = addPort("VEXA");
    for (int i = 0; i < devices; ++i) port.addDevice(config);
    EXPECT_EQ(KB_OpenCommDevice(0, nullptr), 1);
    EXPECT_EQ(KB_SearchDevice(0), devices);
    return port;
}

FwFixture::Result FwFixture::upgrade(int device, const std::string& path) {
    Result r{};
    r.ok = KB_UpdateFirware(device, path.c_str());
    char text[KB_ERR_TEXT_SIZE] = {};
    r.code = KB_GetErrInfo(device, text);
    r.text = text;
    return r;
}

std::string FwFixture::errText(int device) {
    char text[KB_ERR_TEXT_SIZE] = {};
    KB_GetErrInfo(device, text);
    return text;
}

}  // namespace fwtest
