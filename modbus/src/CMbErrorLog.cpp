#include "CMbErrorLog.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "platform/AppDir.h"

namespace vexa::mb {

std::string CMbErrorLog::path() { return vexa::appDir() + kFileName; }

std::string CMbErrorLog::fallbackPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string dir;
    if (state && *state == '/') {
        dir = state;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) return {};
        dir = std::string(home) + "/.local/state";
    }
    return dir + "/vexa/" + kFileName;
}

namespace {

// Opens the log for appending where it can be written: the program folder, else (an installed
// program's folder is not the user's to write) the user's state folder, made when missing.
std::FILE* openLog(std::string& file) {
    file = CMbErrorLog::path();
    if (std::FILE* f = std::fopen(file.c_str(), "ab")) return f;
    file = CMbErrorLog::fallbackPath();
    if (file.empty()) return nullptr;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
    return std::fopen(file.c_str(), "ab");
}

}  // namespace

void CMbErrorLog::write(std::string_view message) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&secs, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "@%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(ms));
    std::string entry = stamp;
    entry.append(message);
    entry += "\r\n";

    std::string file;
    std::FILE* f = openLog(file);
    if (!f) return;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    if (size < 0 || size + static_cast<long>(entry.size()) > kCapBytes) {
        f = std::freopen(file.c_str(), "wb", f);
        if (!f) return;
    }
    if (static_cast<long>(entry.size()) <= kCapBytes) std::fwrite(entry.data(), 1, entry.size(), f);
    std::fclose(f);
}

}  // namespace vexa::mb
