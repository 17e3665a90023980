#pragma once
// Loading plug-in libraries by name from a folder.
#include <string>

namespace vexa {

class DynLib {
public:
    DynLib() = default;
    ~DynLib() { close(); }
    DynLib(const DynLib&) = delete;
    DynLib& operator=(const DynLib&) = delete;

    bool open(const std::string& path);  // false with error() set
    void* symbol(const char* name) const;
    void close();
    bool isOpen() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

// The file in `folder` that a stored plug-in name stands for: the name itself when present,
// else for "X.dll" the files "libX.so" then "X.so". Names holding '/', '\', ':' or ".." are
// refused (empty result), as is an empty name; so is a name with no existing file.
std::string resolvePluginFile(const std::string& folder, const std::string& name);

}  // namespace vexa
