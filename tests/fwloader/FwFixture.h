#pragma once
// A temporary AppDir with test plug-ins in devdlls/, each played by a FakePort, and helpers
// around the KB_ exports. Everything opened is closed again at the end of the test.
#include "FakePort.h"
#include "FwLoader.h"
#include "FwTestDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace fwtest {

class FwFixture : public ::testing::Test {
public:
    // Messages the plug-in loader showed during the test.
    static std::vector<std::string>& messages();

protected:
    void SetUp() override;
    void TearDown() override;

    // Adds a plug-in as the next DEV_<n>: installed as lib<file>.so, listed as "<file>.dll".
    FakePort& addPort(const std::string& name, std::optional<std::string> goodWriteLen = std::nullopt,
                      PortBuild build = PortBuild::Full);
    // One plug-in "VEXA" opened and searched with `devices` simulated boot loaders.
    FakePort& openWithDevices(int devices = 1, const vexa::sim::BootLoaderConfig& config = {});
    void rewriteIni() { dir.writeIni(entries_); }
    // Closes every plug-in and forgets them, for a fresh devdlls.ini.
    void resetPorts();

    struct Result {
        int ok;
        int code;
        std::string text;
    };
    Result upgrade(int device, const std::string& path);
    Result upgrade(int device, const UpfLayout& layout) { return upgrade(device, dir.writeFile("fw.upf", buildUpf(layout))); }
    static std::string errText(int device);

    FwTestDir dir;
    std::vector<std::unique_ptr<FakePort>> ports;

private:
    std::vector<FwTestDir::Entry> entries_;
    int installed_ = 0;  // plug-in files get fresh names, never overwriting a loaded one
};

}  // namespace fwtest
