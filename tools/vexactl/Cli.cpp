#include "Cli.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <regex>

#include <nlohmann/json.hpp>

namespace vexactl {

std::string Args::get(const std::string& name, const std::string& def) const {
    auto it = options.find(name);
    return it == options.end() ? def : it->second;
}

long Args::getInt(const std::string& name, long def) const {
    auto it = options.find(name);
    if (it == options.end()) return def;
    char* end = nullptr;
    long v = std::strtol(it->second.c_str(), &end, 0);
    return (end && *end == '\0' && !it->second.empty()) ? v : def;
}

namespace {

// Decimal or 0x-hex, the whole text, within lo..hi.
bool numberIn(const std::string& text, long lo, long hi, long& v) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    v = std::strtol(text.c_str(), &end, 0);
    return errno == 0 && *end == '\0' && v >= lo && v <= hi;
}

}  // namespace

std::string takes(const Option& o) {
    const std::string range = std::to_string(o.lo) + " to " + std::to_string(o.hi);
    switch (o.kind) {
        case Option::Flag: return "no value";
        case Option::Text: return o.value;
        case Option::Number: return "a number from " + range;
        case Option::Stations: return "a station N or a range A-B, from " + range;
    }
    return "";
}

std::string badValue(const Option& o, const std::string& text) {
    long first = 0, last = 0;
    bool ok = true;
    if (o.kind == Option::Number) ok = numberIn(text, o.lo, o.hi, first);
    if (o.kind == Option::Stations) {
        const auto dash = text.find('-', 1);
        ok = dash == std::string::npos ? numberIn(text, o.lo, o.hi, first)
                                       : numberIn(text.substr(0, dash), o.lo, o.hi, first) &&
                                             numberIn(text.substr(dash + 1), o.lo, o.hi, last) && first <= last;
    }
    return ok ? "" : "'" + text + "' is not " + takes(o);
}

Record& Record::add(const std::string& key, const std::string& value) {
    fields_.emplace_back(key, value);
    numeric_.push_back(false);
    return *this;
}

Record& Record::add(const std::string& key, long long value) {
    fields_.emplace_back(key, std::to_string(value));
    numeric_.push_back(true);
    return *this;
}

std::string utf8Safe(const std::string& s) {
    // Valid sequences pass; any other byte is taken as the Latin-1 character it would be (a
    // device name such as "caf\xe9" reads "café"), so the output is always valid UTF-8.
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool valid = len > 0 && i + len <= n;
        for (std::size_t k = 1; valid && k < len; ++k) valid = (p[i + k] & 0xC0) == 0x80;
        // Overlong two-byte forms and surrogates are not characters either.
        if (valid && len == 2 && c < 0xC2) valid = false;
        if (valid && len == 3 && c == 0xED && p[i + 1] >= 0xA0) valid = false;
        if (valid && len == 3 && c == 0xE0 && p[i + 1] < 0xA0) valid = false;
        if (valid && len == 4 && (c > 0xF4 || (c == 0xF0 && p[i + 1] < 0x90) || (c == 0xF4 && p[i + 1] >= 0x90)))
            valid = false;
        if (valid) {
            out.append(s, i, len);
            i += len;
            continue;
        }
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
        ++i;
    }
    return out;
}

namespace {

// "-1.036 V---0x72bd----Normal": a reading, its unit, the raw code and the state, as the
// library renders analog values. False for any other text.
bool splitReading(const std::string& text, nlohmann::ordered_json& parts) {
    static const std::regex kReading(R"(^\s*([-+]?[0-9]+(?:\.[0-9]+)?)\s*([^-0-9][^-]*?)?\s*---(0x[0-9A-Fa-f]+)-+([A-Za-z]+)\s*$)");
    std::smatch m;
    if (!std::regex_match(text, m, kReading)) return false;
    parts["value"] = std::stod(m[1].str());
    parts["unit"] = m[2].matched ? m[2].str() : "";
    parts["raw"] = m[3].str();
    parts["state"] = m[4].str();
    return true;
}

}  // namespace

void Output::record(const Record& r) {
    if (json_) {
        records_.push_back(r);
        return;
    }
    const auto& f = r.fields();
    for (size_t i = 0; i < f.size(); ++i) std::printf("%s%s=%s", i ? "  " : "", f[i].first.c_str(), f[i].second.c_str());
    std::printf("\n");
}

void Output::message(const std::string& text) {
    if (json_)
        messages_.push_back(text);
    else
        std::printf("%s\n", text.c_str());
}

int Output::finish(int code, const std::string& name, bool ok, const std::string& meaning) {
    if (json_) {
        using Json = nlohmann::ordered_json;
        Json records = Json::array();
        for (const auto& r : records_) {
            Json o = Json::object();
            const auto& f = r.fields();
            const auto& num = r.numeric();
            for (std::size_t k = 0; k < f.size(); ++k) {
                const std::string key = utf8Safe(f[k].first);
                if (num[k]) {
                    o[key] = std::stoll(f[k].second);
                    continue;
                }
                o[key] = utf8Safe(f[k].second);
                Json parts;
                if (key == "value" && splitReading(f[k].second, parts)) o["reading"] = parts;
            }
            records.push_back(std::move(o));
        }
        Json doc = {{"records", std::move(records)},
                    {"result", {{"code", code}, {"name", utf8Safe(name)}, {"ok", ok}}}};
        if (!meaning.empty()) doc["result"]["text"] = meaning;
        if (!messages_.empty()) {
            Json texts = Json::array();
            for (const auto& m : messages_) texts.push_back(utf8Safe(m));
            doc["messages"] = std::move(texts);
        }
        if (!ok) doc["error"] = utf8Safe(messages_.empty() ? (meaning.empty() ? name : meaning) : messages_.back());
        std::printf("%s\n", doc.dump().c_str());
    } else {
        const std::string said = meaning.empty() || ok ? name : name + " (" + meaning + ")";
        std::fprintf(ok ? stdout : stderr, "result: %d %s\n", code, said.c_str());
    }
    std::fflush(stdout);
    return ok ? kOk : kFailed;
}

Progress::Progress(bool wanted) : drawing_(wanted && ::isatty(STDERR_FILENO)) {}

void Progress::show(long done, long total, const std::string& text) {
    if (!drawing_ || total <= 0) return;
    done = std::clamp(done, 0L, total);
    const int tenths = static_cast<int>(done * 1000 / total);
    if (open_ && tenths == shown_ && text.empty()) return;
    shown_ = tenths;
    open_ = true;
    constexpr int kWidth = 40;
    const int filled = tenths * kWidth / 1000;
    std::fprintf(stderr, "\r[%s%s] %5.1f%% %s", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(kWidth - filled), '.').c_str(), tenths / 10.0, text.c_str());
    std::fflush(stderr);
}

void Progress::end() {
    if (!open_) return;
    open_ = false;
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

bool registerCommand(Command cmd) {
    const_cast<std::vector<Command>&>(commands()).push_back(std::move(cmd));
    return true;
}

const std::vector<Command>& commands() {
    static std::vector<Command> list;
    return list;
}

}  // namespace vexactl
