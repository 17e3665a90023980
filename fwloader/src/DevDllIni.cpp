#include "DevDllIni.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform/AppDir.h"
#include "platform/IniFile.h"

namespace fwl::devdlls {

namespace {

constexpr std::uint32_t kDefaultChunk = 1024;

// The folder beside the library itself: its own install's program folder (<libdir>/vexa), or
// the folder it was built into. "" when the library cannot tell where it is.
std::string besideLibrary() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<const void*>(&besideLibrary), &info) || !info.dli_fname) return {};
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir = fs::canonical(info.dli_fname, ec).parent_path();
    if (ec) return {};
    for (const fs::path& candidate : {dir / "vexa" / "devdlls", dir / "devdlls"})
        if (fs::is_directory(candidate, ec)) return candidate.string();
    return {};
}

std::string iniFile() { return folder() + "/devdlls.ini"; }
std::string section(int index) { return "DEV_" + std::to_string(index); }

// Cuts at kMaxText bytes without splitting a UTF-8 sequence.
std::string bounded(std::string s) {
    if (s.size() <= kMaxText) return s;
    std::size_t cut = kMaxText;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    s.resize(cut);
    return s;
}

}  // namespace

std::string folder() {
    // The program's own folder first (as it always was); a program installed elsewhere that
    // uses the library finds the plug-ins installed with the library.
    const std::string own = vexa::appPath("devdlls");
    std::error_code ec;
    if (std::filesystem::is_directory(own, ec)) return own;
    const std::string beside = besideLibrary();
    return beside.empty() ? own : beside;
}

int count() { return vexa::ini::getInt(iniFile(), "DEVDLL", "DEV_COUNT", -1); }

std::string name(int index) { return bounded(vexa::ini::getString(iniFile(), section(index), "Name")); }

std::string dll(int index) { return bounded(vexa::ini::getString(iniFile(), section(index), "Dll")); }

std::uint32_t chunkSize(int index) {
    if (index == 0 || index > count()) return kDefaultChunk;
    // A missing key reads -1, which taken as unsigned means no limit.
    const int v = vexa::ini::getInt(iniFile(), section(index), "GoodWriteLen", -1);
    return v == 0 ? kDefaultChunk : static_cast<std::uint32_t>(v);
}

}  // namespace fwl::devdlls
