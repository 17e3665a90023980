#include "DialogHost.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/AppDir.h"

namespace fwdlg {

namespace {

constexpr const char kModuleFile[] = "libFwLoaderDialog.so";

bool isSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

// Folder (with '/') of the shared object this function is compiled into.
std::string ownFolder() {
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void*>(&ownFolder), &info) || !info.dli_fname) return {};
    std::string path = info.dli_fname;
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string{} : path.substr(0, slash + 1);
}

std::vector<std::string> candidates() {
    std::vector<std::string> folders{vexa::appDir()};
    const std::string own = ownFolder();
    if (!own.empty()) {
        folders.push_back(own);
        folders.push_back(own + "../");
        folders.push_back(own + "vexa/");
    }
    return folders;
}

std::mutex g_lock;
void* g_module = nullptr;

void* loadModule(std::string& why) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_module) return g_module;
    std::string tried;
    for (const std::string& folder : candidates()) {
        const std::string path = folder + kModuleFile;
        if (::access(path.c_str(), R_OK) != 0) continue;
        // Never unloaded: Qt's globals do not survive being unloaded and loaded again.
        g_module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (g_module) return g_module;
        const char* e = ::dlerror();
        tried += std::string(tried.empty() ? "" : "; ") + (e ? e : path);
    }
    why = tried.empty() ? std::string(kModuleFile) + " not found beside the program or the library"
                        : tried;
    return nullptr;
}

}  // namespace

bool displayAvailable() {
    const char* qpa = std::getenv("QT_QPA_PLATFORM");
    if (qpa && (std::strncmp(qpa, "offscreen", 9) == 0 || std::strncmp(qpa, "minimal", 7) == 0)) return true;
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

void* entry(const char* name, std::string& why) {
    void* module = loadModule(why);
    if (!module) return nullptr;
    void* fn = ::dlsym(module, name);
    if (!fn) why = std::string(kModuleFile) + " has no " + name;
    return fn;
}

int selectTransport(int current) {
    if (!displayAvailable()) return -1;
    std::string why;
    auto fn = reinterpret_cast<FwDlg_SelectTransportFn>(entry("FwDlg_SelectTransport", why));
    if (!fn) return -1;
    const int chosen = fn(current);
    return chosen >= 0 && chosen <= 2 ? chosen : -1;
}

}  // namespace fwdlg
