#pragma once
// For targets whose parser reads a file: one temporary file per process, rewritten with each
// input and removed at exit.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace vexa::fuzz {

class InputFile {
public:
    // `stem`: the file name's start under /tmp, e.g. "vexa-fuzz-ini".
    explicit InputFile(const char* stem) {
        std::string name = std::string("/tmp/") + stem + "-XXXXXX";
        if (int fd = mkstemp(name.data()); fd >= 0) close(fd);
        path_ = name;
    }
    ~InputFile() { std::remove(path_.c_str()); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // The file now holds exactly these bytes; its path.
    const std::string& write(const std::uint8_t* data, std::size_t size) const {
        if (std::FILE* f = std::fopen(path_.c_str(), "wb")) {
            if (size > 0) std::fwrite(data, 1, size, f);
            std::fclose(f);
        }
        return path_;
    }

private:
    std::string path_;
};

}  // namespace vexa::fuzz
