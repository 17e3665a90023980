#include "Cli.h"

#include <cstdio>
#include <cstdlib>

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

std::string jsonEscape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

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
    if (!json_) std::printf("%s\n", text.c_str());
}

int Output::finish(int code, const std::string& name, bool ok) {
    if (json_) {
        std::string out = "{\"records\":[";
        for (size_t i = 0; i < records_.size(); ++i) {
            out += i ? ",{" : "{";
            const auto& f = records_[i].fields();
            const auto& num = records_[i].numeric();
            for (size_t k = 0; k < f.size(); ++k) {
                out += (k ? ",\"" : "\"") + jsonEscape(f[k].first) + "\":";
                out += num[k] ? f[k].second : "\"" + jsonEscape(f[k].second) + "\"";
            }
            out += "}";
        }
        out += "],\"result\":{\"code\":" + std::to_string(code) + ",\"name\":\"" + jsonEscape(name) +
               "\",\"ok\":" + (ok ? "true" : "false") + "}}";
        std::printf("%s\n", out.c_str());
    } else if (!ok) {
        std::fprintf(stderr, "result: %d %s\n", code, name.c_str());
    } else {
        std::printf("result: %d %s\n", code, name.c_str());
    }
    std::fflush(stdout);
    return ok ? kOk : kFailed;
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
