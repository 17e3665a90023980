#pragma once
// One settings file of the program, read and written through the platform's private-profile
// calls. An installed program folder is usually read-only, so a file bound by its AppDir-relative
// name has a per-user twin, $XDG_CONFIG_HOME/vexa/<same relative path> (~/.config/vexa/...):
//  - reads look there first; a key present there wins over the program folder's;
//  - writes go there when it already exists or when the program folder's file cannot be
//    written; a write that succeeds nowhere returns false.
// A file bound by an absolute path outside AppDir has no twin. Never throws.
#include <cstddef>
#include <string>

namespace name_share {

class CControlIni {
public:
    CControlIni() = default;
    // AppDir-relative name ("CONFIG\\config.ini", either separator); an absolute path is taken
    // as SetFile would take it.
    explicit CControlIni(const std::string& appRelative);

    // Binds to `path`. When it lies below AppDir, the per-user twin is derived from the rest.
    bool SetFile(const std::string& path);
    // Binds to AppDir + `rel` (resolved ignoring case) with its per-user twin.
    bool SetAppFile(const std::string& rel);

    // out = def first; reads the text (at most 255 characters). Empty or missing text: false,
    // out keeps def. Otherwise parses "%x" (hex) or "%d"; text that holds no number: false.
    bool GetInt(const std::string& section, const std::string& key, int& out, bool hex, int def) const;
    // At most `maxChars` bytes, cut back to a whole UTF-8 character. True when at least one
    // character was read; a missing key gives `def` (also cut) and the same rule.
    bool GetString(const std::string& section, const std::string& key, std::string& out, std::size_t maxChars,
                   const char* def = "") const;
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInt(const std::string& section, const std::string& key, int value, bool hex);
    bool GetStruct(const std::string& section, const std::string& key, void* data, std::size_t size) const;
    bool WriteStruct(const std::string& section, const std::string& key, const void* data, std::size_t size);

    // Where the program folder's file and the per-user twin are ("" when there is no twin).
    const std::string& File() const { return file_; }
    std::string UserFile() const;

    // $XDG_CONFIG_HOME/vexa/ (or ~/.config/vexa/) with a trailing '/'; "" when neither is known.
    static std::string UserConfigDir();

private:
    // The file a read of this key uses: the twin when it holds the key, else the program's.
    std::string readSource(const std::string& section, const std::string& key) const;
    bool write(const std::string& section, const std::string& key, const std::string& value);
    template <class WriteFn>
    bool writeWith(WriteFn&& fn);

    std::string file_;
    std::string userRel_;  // relative path below UserConfigDir(); "" for no twin
};

}  // namespace name_share
