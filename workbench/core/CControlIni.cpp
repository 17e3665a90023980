#include "core/CControlIni.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/TextNumber.h"
#include "platform/AppDir.h"
#include "platform/IniFile.h"

namespace name_share {

namespace {

// A value no settings file holds: tells a missing key from an empty one.
const char kMissing[] = "\x01\x02missing\x02\x01";

constexpr std::size_t kIntTextMax = 255;

std::string toSlashes(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    while (!s.empty() && s.front() == '/') s.erase(s.begin());
    return s;
}

// Keeps at most `max` bytes without splitting a UTF-8 sequence.
void cutUtf8(std::string& s, std::size_t max) {
    if (s.size() <= max) return;
    std::size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    s.resize(n);
}

}  // namespace

CControlIni::CControlIni(const std::string& appRelative) {
    if (!appRelative.empty() && appRelative.front() == '/')
        SetFile(appRelative);
    else
        SetAppFile(appRelative);
}

bool CControlIni::SetFile(const std::string& path) {
    file_ = path;
    userRel_.clear();
    const std::string dir = vexa::appDir();
    if (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0) userRel_ = toSlashes(path.substr(dir.size()));
    return true;
}

bool CControlIni::SetAppFile(const std::string& rel) {
    file_ = vexa::appPath(rel);
    userRel_ = toSlashes(rel);
    return true;
}

std::string CControlIni::UserConfigDir() {
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/')
        base = x;
    else if (const char* h = std::getenv("HOME"); h && *h == '/')
        base = std::string(h) + "/.config";
    else
        return {};
    if (base.back() != '/') base += '/';
    return base + "vexa/";
}

std::string CControlIni::UserFile() const {
    if (userRel_.empty()) return {};
    const std::string base = UserConfigDir();
    return base.empty() ? std::string() : vexa::resolvePath(base, userRel_);
}

std::string CControlIni::readSource(const std::string& section, const std::string& key) const {
    if (const std::string user = UserFile(); !user.empty())
        if (vexa::ini::getString(user, section, key, kMissing) != kMissing) return user;
    return file_;
}

bool CControlIni::GetInt(const std::string& section, const std::string& key, int& out, bool hex, int def) const {
    out = def;
    std::string text;
    if (!GetString(section, key, text, kIntTextMax)) return false;
    if (hex) {
        std::uint32_t v = 0;
        if (!vexadesk::parseHex(text, v)) return false;
        out = static_cast<int>(v);
        return true;
    }
    int v = 0;
    if (!vexadesk::parseDec(text, v)) return false;
    out = v;
    return true;
}

bool CControlIni::GetString(const std::string& section, const std::string& key, std::string& out,
                            std::size_t maxChars, const char* def) const {
    out = vexa::ini::getString(readSource(section, key), section, key, def ? def : "");
    cutUtf8(out, maxChars);
    return !out.empty();
}

template <class WriteFn>
bool CControlIni::writeWith(WriteFn&& fn) {
    const std::string user = UserFile();
    std::error_code ec;
    const bool userExists = !user.empty() && std::filesystem::exists(user, ec);
    if (!userExists && !file_.empty() && fn(file_)) return true;
    if (user.empty()) return false;
    std::filesystem::create_directories(std::filesystem::path(user).parent_path(), ec);
    return fn(user);
}

bool CControlIni::write(const std::string& section, const std::string& key, const std::string& value) {
    return writeWith([&](const std::string& f) { return vexa::ini::writeString(f, section, key, value); });
}

bool CControlIni::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    return write(section, key, value);
}

bool CControlIni::WriteInt(const std::string& section, const std::string& key, int value, bool hex) {
    char buf[16];
    if (hex)
        std::snprintf(buf, sizeof buf, "%x", static_cast<unsigned>(value));
    else
        std::snprintf(buf, sizeof buf, "%d", value);
    return write(section, key, buf);
}

bool CControlIni::GetStruct(const std::string& section, const std::string& key, void* data, std::size_t size) const {
    return vexa::ini::getStruct(readSource(section, key), section, key, data, size);
}

bool CControlIni::WriteStruct(const std::string& section, const std::string& key, const void* data, std::size_t size) {
    if (!data && size) return false;
    return writeWith([&](const std::string& f) { return vexa::ini::writeStruct(f, section, key, data, size); });
}

}  // namespace name_share
