#include "DevDllIni.h"

#include "platform/AppDir.h"
#include "platform/IniFile.h"

namespace fwl::devdlls {

namespace {

constexpr std::uint32_t kDefaultChunk = 1024;

std::string iniFile() { return vexa::appPath("devdlls/devdlls.ini"); }
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

std::string folder() { return vexa::appPath("devdlls"); }

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
