// The simulated USB bus: every SOCK_SEQPACKET Unix socket in a folder is one device. On connect
// the device sends a hello of "key=value" lines; after that each message is one report.
#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/HidBackend.h"
#include "platform/Net.h"

namespace vexa {

namespace {

constexpr int kHelloTimeoutMs = 200;

UniqueFd connectTo(const std::string& path) {
    sockaddr_un sa{};
    if (path.size() >= sizeof sa.sun_path) return {};
    UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return {};
    sa.sun_family = AF_UNIX;
    std::memcpy(sa.sun_path, path.c_str(), path.size() + 1);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return {};
    return fd;
}

bool readHello(int fd, HidDeviceInfo& info) {
    if (waitReadable(fd, kHelloTimeoutMs) <= 0) return false;
    char buf[1024];
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    std::istringstream in(std::string(buf, static_cast<size_t>(n)));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string k = line.substr(0, eq), v = line.substr(eq + 1);
        if (k == "manufacturer") info.manufacturer = v;
        else if (k == "product") info.product = v;
        else if (k == "input") info.inputReportLength = std::atoi(v.c_str());
        else if (k == "output") info.outputReportLength = std::atoi(v.c_str());
    }
    return true;
}

class SimHidDevice : public HidDevice {
public:
    explicit SimHidDevice(UniqueFd fd) : fd_(std::move(fd)) {}

    int write(const std::uint8_t* report, int len, int timeoutMs) override {
        if (!report || len <= 0) return -1;
        if (waitWritable(fd_.get(), timeoutMs) <= 0) return -1;
        ssize_t n = ::send(fd_.get(), report, static_cast<size_t>(len), MSG_NOSIGNAL);
        return n < 0 ? -1 : static_cast<int>(n);
    }

    int read(std::uint8_t* report, int cap, int timeoutMs) override {
        if (!report || cap <= 0) return -1;
        int r = waitReadable(fd_.get(), timeoutMs);
        if (r == 0) return 0;
        if (r < 0) return -1;
        ssize_t n = ::recv(fd_.get(), report, static_cast<size_t>(cap), 0);
        if (n <= 0) return -1;  // closed by the device
        return static_cast<int>(n);
    }

private:
    UniqueFd fd_;
};

class SimHidBackend : public HidBackend {
public:
    explicit SimHidBackend(std::string folder) : folder_(std::move(folder)) {
        if (!folder_.empty() && folder_.back() == '/') folder_.pop_back();
    }

    std::vector<HidDeviceInfo> enumerate() override {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(folder_.c_str())) {
            while (dirent* e = ::readdir(d)) {
                std::string path = folder_ + "/" + e->d_name;
                struct stat st;
                if (::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) names.push_back(e->d_name);
            }
            ::closedir(d);
        }
        std::sort(names.begin(), names.end());
        std::vector<HidDeviceInfo> out;
        for (auto& n : names) {
            HidDeviceInfo info;
            info.path = folder_ + "/" + n;
            UniqueFd fd = connectTo(info.path);
            if (!fd.valid() || !readHello(fd.get(), info)) continue;  // silent sockets are skipped
            out.push_back(std::move(info));
        }
        return out;
    }

    std::unique_ptr<HidDevice> open(const std::string& path) override {
        UniqueFd fd = connectTo(path);
        if (!fd.valid()) return nullptr;
        HidDeviceInfo info;
        if (!readHello(fd.get(), info)) return nullptr;
        return std::make_unique<SimHidDevice>(std::move(fd));
    }

private:
    std::string folder_;
};

}  // namespace

std::unique_ptr<HidBackend> makeSimHidBackend(const std::string& folder) {
    return std::make_unique<SimHidBackend>(folder);
}

}  // namespace vexa
