#include "RackFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace vexa::rackconfig {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kFormat = "vexa-rack";

Json moduleJson(const ModuleConfig& m, bool coupler, const std::string& kind) {
    Json j = Json::object();
    if (coupler)
        j["kind"] = kind;
    else
        j["slot"] = m.slot;
    j["type"] = m.type;
    j["hardware"] = m.hardware;
    j["software"] = m.software;
    if (!m.className.empty()) j["class"] = m.className;
    Json settings = Json::object();
    for (const auto& [key, text] : m.settings) settings[key] = text;
    j["settings"] = std::move(settings);
    return j;
}

// Reads one module object; every field that is not right becomes a problem named by `where`.
// False when the entry cannot stand for a module at all.
bool readModule(const Json& j, bool coupler, const std::string& where, ModuleConfig& m, std::string* kind,
                std::vector<std::string>& problems) {
    if (!j.is_object()) {
        problems.push_back(where + ": not an object");
        return false;
    }
    bool usable = true;
    auto text = [&](const char* field, std::string& out, bool required) {
        auto it = j.find(field);
        if (it == j.end()) {
            if (required) problems.push_back(where + ": '" + field + "' missing");
            return;
        }
        if (!it->is_string()) {
            problems.push_back(where + ": '" + field + "' is not a text");
            return;
        }
        out = it->get<std::string>();
    };
    if (coupler) {
        text("kind", *kind, true);
        if (kindFromName(*kind) < 0) problems.push_back(where + ": unknown kind '" + *kind + "'");
    } else {
        auto it = j.find("slot");
        if (it == j.end() || !it->is_number_integer() || it->get<long long>() < 1 || it->get<long long>() > 255) {
            problems.push_back(where + ": 'slot' is no address 1..255");
            usable = false;
        } else {
            m.slot = it->get<int>();
        }
    }
    text("type", m.type, true);
    text("hardware", m.hardware, true);
    text("software", m.software, false);
    text("class", m.className, false);
    auto s = j.find("settings");
    if (s == j.end() || !s->is_object()) {
        problems.push_back(where + ": 'settings' is not an object");
        usable = false;
    } else {
        for (auto it = s->begin(); it != s->end(); ++it) {
            if (it->is_string())
                m.settings.emplace_back(it.key(), it->get<std::string>());
            else
                problems.push_back(where + ": setting '" + it.key() + "' is not a text");
        }
    }
    static const std::set<std::string> kCouplerFields = {"kind", "type", "hardware", "software", "class", "settings"};
    static const std::set<std::string> kModuleFields = {"slot", "type", "hardware", "software", "class", "settings"};
    const auto& known = coupler ? kCouplerFields : kModuleFields;
    for (auto it = j.begin(); it != j.end(); ++it)
        if (!known.count(it.key())) problems.push_back(where + ": unknown field '" + it.key() + "'");
    return usable;
}

}  // namespace

std::string RackFile::toJson(const RackConfig& c) {
    Json j = Json::object();
    j["format"] = kFormat;
    j["version"] = c.fileVersion;
    j["date"] = c.date;
    j["tool"] = c.tool;
    j["coupler"] = moduleJson(c.coupler, true, c.couplerKind);
    Json modules = Json::array();
    for (const auto& m : c.modules) modules.push_back(moduleJson(m, false, ""));
    j["modules"] = std::move(modules);
    return j.dump(2) + "\n";
}

LoadResult RackFile::fromJson(const std::string& text, RackConfig& out) {
    LoadResult r;
    out = RackConfig{};
    Json j;
    try {
        j = Json::parse(text);
    } catch (const Json::parse_error& e) {
        r.error = "not a JSON file (damaged or cut short): byte " + std::to_string(e.byte);
        return r;
    }
    if (!j.is_object()) {
        r.error = "not a rack backup: the file holds no object";
        return r;
    }
    auto format = j.find("format");
    if (format == j.end() || !format->is_string() || format->get<std::string>() != kFormat) {
        r.error = std::string("not a rack backup: 'format' is not \"") + kFormat + "\"";
        return r;
    }
    auto version = j.find("version");
    if (version == j.end() || !version->is_number_integer()) {
        r.error = "not a rack backup: 'version' missing";
        return r;
    }
    if (version->get<long long>() != kFileVersion) {
        r.error =
            "unknown version " + version->dump() + " (this tool reads version " + std::to_string(kFileVersion) + ")";
        return r;
    }
    out.fileVersion = kFileVersion;
    auto coupler = j.find("coupler");
    if (coupler == j.end()) {
        r.error = "not a rack backup: 'coupler' missing";
        return r;
    }
    for (auto it = j.begin(); it != j.end(); ++it) {
        const std::string& k = it.key();
        if (k == "date" || k == "tool") {
            if (it->is_string())
                (k == "date" ? out.date : out.tool) = it->get<std::string>();
            else
                r.problems.push_back("'" + k + "' is not a text");
        } else if (k != "format" && k != "version" && k != "coupler" && k != "modules") {
            r.problems.push_back("unknown field '" + k + "'");
        }
    }
    readModule(*coupler, true, "coupler", out.coupler, &out.couplerKind, r.problems);
    out.coupler.slot = 0;
    auto modules = j.find("modules");
    if (modules == j.end() || !modules->is_array()) {
        r.problems.push_back("'modules' is not a list");
    } else {
        std::set<int> slots;
        for (std::size_t i = 0; i < modules->size(); ++i) {
            ModuleConfig m;
            std::string where = "modules[" + std::to_string(i) + "]";
            if (!readModule((*modules)[i], false, where, m, nullptr, r.problems)) continue;
            if (!slots.insert(m.slot).second) {
                r.problems.push_back(where + ": slot " + std::to_string(m.slot) + " twice");
                continue;
            }
            out.modules.push_back(std::move(m));
        }
    }
    r.ok = true;
    return r;
}

bool RackFile::save(const std::string& path, const RackConfig& config, std::string& error) {
    const std::string data = toJson(config);
    std::string tmp = path + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        error = "cannot write beside " + path + ": " + std::strerror(errno);
        return false;
    }
    const char* p = data.data();
    std::size_t left = data.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    int saved = errno;
    ok = ok && ::fsync(fd) == 0;
    if (!ok) saved = errno;
    ::fchmod(fd, 0644);
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        error = "cannot write " + path + ": " + std::strerror(saved);
    }
    return ok;
}

LoadResult RackFile::load(const std::string& path, RackConfig& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        out = RackConfig{};
        LoadResult r;
        r.error = "cannot read " + path + ": " + std::strerror(errno);
        return r;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return fromJson(text.str(), out);
}

}  // namespace vexa::rackconfig
