#include "platform/DynLib.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cctype>

namespace vexa {

bool DynLib::open(const std::string& path) {
    close();
    // dlopen takes an empty name for the running program itself, whose symbols a caller
    // looking for a plug-in must never get.
    if (path.empty()) {
        error_ = "no library named";
        return false;
    }
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* e = ::dlerror();
        error_ = e ? e : "cannot load " + path;
        return false;
    }
    error_.clear();
    return true;
}

void* DynLib::symbol(const char* name) const {
    if (!handle_ || !name) return nullptr;
    return ::dlsym(handle_, name);
}

void DynLib::close() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

namespace {
bool isFile(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
}  // namespace

std::string resolvePluginFile(const std::string& folder, const std::string& name) {
    if (name.empty() || name.find_first_of("/\\:") != std::string::npos || name.find("..") != std::string::npos)
        return {};
    // The result always holds a '/', so that dlopen takes it as a path and never searches the
    // system's library folders for it.
    std::string dir = folder.empty() ? "./" : folder;
    if (dir.back() != '/') dir += '/';
    if (isFile(dir + name)) return dir + name;
    std::string stem = name;
    if (stem.size() > 4) {
        std::string ext = stem.substr(stem.size() - 4);
        for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".dll") stem.resize(stem.size() - 4);
    }
    for (const std::string& candidate : {dir + "lib" + stem + ".so", dir + stem + ".so"})
        if (isFile(candidate)) return candidate;
    return {};
}

}  // namespace vexa
