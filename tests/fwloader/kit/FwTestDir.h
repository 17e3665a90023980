#pragma once
// A temporary program folder (VEXA_APPDIR) with devdlls/ and its devdlls.ini, removed again at
// the end. One per test; every test process gets its own folder.
#include "UpfBuilder.h"

#include <optional>
#include <string>
#include <vector>

namespace fwtest {

enum class PortBuild { Full, WithoutClose, WithoutOpen };

// The built test plug-in of that kind.
std::string builtPlugin(PortBuild build = PortBuild::Full);

class FwTestDir {
public:
    FwTestDir();
    ~FwTestDir();
    FwTestDir(const FwTestDir&) = delete;
    FwTestDir& operator=(const FwTestDir&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& rel) const { return root_ + rel; }

    // Copies the plug-in into devdlls/ as `fileName` (a copy, so each is its own instance).
    std::string installPlugin(const std::string& fileName, PortBuild build = PortBuild::Full);

    struct Entry {
        std::string name;
        std::string dll;
        std::optional<std::string> goodWriteLen;
    };
    // DEV_COUNT defaults to the number of entries.
    void writeIni(const std::vector<Entry>& entries, std::optional<int> count = std::nullopt);
    void writeRawIni(const std::string& text);
    std::string writeFile(const std::string& name, const Bytes& bytes);

private:
    std::string root_;
    std::string previousAppDir_;
    bool hadAppDir_ = false;
};

}  // namespace fwtest
