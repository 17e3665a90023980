#include "platform/IniFile.h"

// Settings are 8-bit text kept as bytes; no Unicode conversion layer is wanted.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace vexa::ini {

namespace {

// Case-insensitive names, duplicate keys collapse to the last one, no multi-line values:
// how the private-profile calls behave.
struct Ini {
    CSimpleIniCaseA ini{false, false, false};
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

}  // namespace

std::string getString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& def) {
    Ini f(file);
    if (!f.loaded) return def;
    const char* v = f.ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (!v) return def;
    std::string s = trim(v);
    // A value in matching quotes is returned without them.
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        s = s.substr(1, s.size() - 2);
    return s;
}

int getInt(const std::string& file, const std::string& section, const std::string& key, int def) {
    Ini f(file);
    if (!f.loaded) return def;
    const char* v = f.ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (!v) return def;
    std::string s = trim(v);
    size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
    if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return def;
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
    f.ini.SetValue(section.c_str(), key.c_str(), value.c_str());
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
    CSimpleIniCaseA::TNamesDepend names;
    f.ini.GetAllSections(names);
    names.sort(CSimpleIniCaseA::Entry::LoadOrder());
    std::vector<std::string> out;
    for (auto& n : names) out.emplace_back(n.pItem);
    return out;
}

std::vector<std::string> keys(const std::string& file, const std::string& section) {
    Ini f(file);
    CSimpleIniCaseA::TNamesDepend names;
    f.ini.GetAllKeys(section.c_str(), names);
    names.sort(CSimpleIniCaseA::Entry::LoadOrder());
    std::vector<std::string> out;
    for (auto& n : names) out.emplace_back(n.pItem);
    return out;
}

}  // namespace vexa::ini
