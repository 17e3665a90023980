#pragma once
// A fresh folder under /tmp for one test, removed with everything in it afterwards.
#include <string>

namespace vexa::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& rel) const { return path_ + "/" + rel; }
    // Writes `content` to `rel`, creating the folders on the way.
    void write(const std::string& rel, const std::string& content) const;
    std::string read(const std::string& rel) const;

private:
    std::string path_;
};

}  // namespace vexa::test
