#include "FwTestDir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fwtest {

std::string builtPlugin(PortBuild build) {
    switch (build) {
        case PortBuild::WithoutClose: return FWTEST_PORT_WITHOUT_CLOSE;
        case PortBuild::WithoutOpen: return FWTEST_PORT_WITHOUT_OPEN;
        case PortBuild::Full: break;
    }
    return FWTEST_PORT;
}

FwTestDir::FwTestDir() {
    char tmpl[] = "/tmp/vexa-fwl-XXXXXX";
    if (const char* dir = ::mkdtemp(tmpl)) root_ = std::string(dir) + "/";
    ::mkdir((root_ + "devdlls").c_str(), 0755);
    if (const char* prev = std::getenv("VEXA_APPDIR")) {
        hadAppDir_ = true;
        previousAppDir_ = prev;
    }
    ::setenv("VEXA_APPDIR", root_.c_str(), 1);
}

FwTestDir::~FwTestDir() {
    if (hadAppDir_)
        ::setenv("VEXA_APPDIR", previousAppDir_.c_str(), 1);
    else
        ::unsetenv("VEXA_APPDIR");
    std::error_code ec;
    if (!root_.empty()) std::filesystem::remove_all(root_, ec);
}

std::string FwTestDir::installPlugin(const std::string& fileName, PortBuild build) {
    const std::string target = root_ + "devdlls/" + fileName;
    std::error_code ec;
    std::filesystem::copy_file(builtPlugin(build), target, std::filesystem::copy_options::overwrite_existing, ec);
    return target;
}

void FwTestDir::writeIni(const std::vector<Entry>& entries, std::optional<int> count) {
    std::string text = "[DEVDLL]\nDEV_COUNT=" + std::to_string(count.value_or(static_cast<int>(entries.size()))) + "\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text += "[DEV_" + std::to_string(i) + "]\nName=" + entries[i].name + "\nDll=" + entries[i].dll + "\n";
        if (entries[i].goodWriteLen) text += "GoodWriteLen=" + *entries[i].goodWriteLen + "\n";
    }
    writeRawIni(text);
}

void FwTestDir::writeRawIni(const std::string& text) {
    std::ofstream(root_ + "devdlls/devdlls.ini", std::ios::binary | std::ios::trunc) << text;
}

std::string FwTestDir::writeFile(const std::string& name, const Bytes& bytes) {
    const std::string file = root_ + name;
    writeBytes(file, bytes);
    return file;
}

}  // namespace fwtest
