#include "platform/IniFile.h"

// Settings are 8-bit text kept as bytes; no Unicode conversion layer is wanted.
#define SI_NO_CONVERSION
// Debian's header holds the template bodies back unless asked; taking them here spares a link
// to its library and the ICU that comes with it.
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace vexa::ini {

namespace {

// Case-insensitive names and no multi-line values, as the private-profile calls have. Of a key
// written twice the first counts there; SimpleIni keeps only the last unless it keeps them all,
// so it keeps them all, reads the first, and a write replaces every copy.
struct Ini {
    CSimpleIniA ini{false, true, false};  // the "Case" flavour would compare with case
    bool loaded = false;
    explicit Ini(const std::string& file) {
        ini.SetQuotes(false);
        loaded = ini.LoadFile(file.c_str()) >= 0;
    }
};

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

int hexNibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The value as the Windows call returns it: trimmed, matching quotes removed. False when the
// file, section or key is missing.
bool lookup(const std::string& file, const std::string& section, const std::string& key, std::string& out) {
    Ini f(file);
    if (!f.loaded) return false;
    const char* v = f.ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (!v) return false;
    out = trim(v);
    if (out.size() >= 2 && (out.front() == '"' || out.front() == '\'') && out.back() == out.front())
        out = out.substr(1, out.size() - 2);
    return true;
}

}  // namespace

std::string getString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& def) {
    std::string s;
    return lookup(file, section, key, s) ? s : def;
}

int getInt(const std::string& file, const std::string& section, const std::string& key, int def) {
    std::string s;
    if (!lookup(file, section, key, s)) return def;
    // An empty value counts as missing; a value without leading digits reads as 0, as the
    // Windows call does, so "Count=abc" means none rather than the caller's default.
    if (s.empty()) return def;
    size_t i = 0;
    bool neg = false;
    if (s[i] == '-' || s[i] == '+') neg = s[i++] == '-';
    long long n = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        n = n * 10 + (s[i++] - '0');
        if (n > 0xFFFFFFFFLL) n = 0xFFFFFFFFLL;
    }
    return static_cast<int>(static_cast<unsigned>(neg ? -n : n));
}

bool writeString(const std::string& file, const std::string& section, const std::string& key,
                 const std::string& value) {
    Ini f(file);
    f.ini.SetValue(section.c_str(), key.c_str(), value.c_str(), nullptr, true);
    return f.ini.SaveFile(file.c_str(), false) >= 0;
}

bool deleteKey(const std::string& file, const std::string& section, const std::string& key) {
    Ini f(file);
    if (!f.loaded) return false;
    f.ini.Delete(section.c_str(), key.c_str(), true);
    return f.ini.SaveFile(file.c_str(), false) >= 0;
}

bool getStruct(const std::string& file, const std::string& section, const std::string& key, void* data,
               std::size_t size) {
    if (!data) return false;
    std::string s = getString(file, section, key, "");
    if (s.size() != (size + 1) * 2) return false;
    std::vector<unsigned char> bytes(size + 1);
    for (size_t i = 0; i <= size; ++i) {
        int hi = hexNibble(s[2 * i]), lo = hexNibble(s[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[i] = static_cast<unsigned char>(hi << 4 | lo);
    }
    unsigned char sum = 0;
    for (size_t i = 0; i < size; ++i) sum = static_cast<unsigned char>(sum + bytes[i]);
    if (sum != bytes[size]) return false;
    std::copy(bytes.begin(), bytes.begin() + static_cast<long>(size), static_cast<unsigned char*>(data));
    return true;
}

bool writeStruct(const std::string& file, const std::string& section, const std::string& key,
                 const void* data, std::size_t size) {
    if (!data && size) return false;
    const auto* p = static_cast<const unsigned char*>(data);
    std::string s;
    s.reserve((size + 1) * 2);
    unsigned char sum = 0;
    char hex[3];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(hex, sizeof hex, "%02X", p[i]);
        s += hex;
        sum = static_cast<unsigned char>(sum + p[i]);
    }
    std::snprintf(hex, sizeof hex, "%02X", sum);
    s += hex;
    return writeString(file, section, key, s);
}

std::vector<std::string> sections(const std::string& file) {
    Ini f(file);
    CSimpleIniA::TNamesDepend names;
    f.ini.GetAllSections(names);
    names.sort(CSimpleIniA::Entry::LoadOrder());
    std::vector<std::string> out;
    for (auto& n : names) out.emplace_back(n.pItem);
    return out;
}

std::vector<std::string> keys(const std::string& file, const std::string& section) {
    Ini f(file);
    CSimpleIniA::TNamesDepend names;
    f.ini.GetAllKeys(section.c_str(), names);
    names.sort(CSimpleIniA::Entry::LoadOrder());
    std::vector<std::string> out;
    for (auto& n : names) out.emplace_back(n.pItem);
    return out;
}

}  // namespace vexa::ini
