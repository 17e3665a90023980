#include "platform/AppDir.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace vexa {

namespace {

bool exists(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

std::vector<std::string> splitComponents(const std::string& rel) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : rel) {
        if (c == '/' || c == '\\') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

// The entry of `dir` whose name equals `name` ignoring case, or empty.
std::string findNoCase(const std::string& dir, const std::string& name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string found;
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

}  // namespace

std::string appDir() {
    if (const char* env = std::getenv("VEXA_APPDIR"); env && *env) {
        std::string dir = env;
        if (dir.back() != '/') dir += '/';
        return dir;
    }
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    std::string exe(buf, static_cast<size_t>(n));
    auto slash = exe.rfind('/');
    return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
}

std::string resolvePath(const std::string& base, const std::string& rel) {
    std::string root = base;
    if (!root.empty() && root.back() != '/') root += '/';
    auto parts = splitComponents(rel);
    std::string exact = root;
    for (size_t i = 0; i < parts.size(); ++i) exact += (i ? "/" : "") + parts[i];
    if (exists(exact)) return exact;

    // Walk down while components exist in some case; from the first missing one on, the rest
    // is kept as given, so a file about to be created lands in the folder that does exist.
    std::string cur = root;
    bool found = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string next = cur + parts[i];
        if (found && !exists(next)) {
            std::string match = findNoCase(cur, parts[i]);
            if (match.empty())
                found = false;
            else
                next = cur + match;
        }
        cur = next + (i + 1 < parts.size() ? "/" : "");
    }
    return cur;
}

std::string appPath(const std::string& rel) { return resolvePath(appDir(), rel); }

}  // namespace vexa
