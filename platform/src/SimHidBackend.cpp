// The simulated USB bus: every SOCK_SEQPACKET Unix socket in a folder is one device. On connect
// the device sends a hello of "key=value" lines; after that each message is one report.
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/HidBackend.h"
#include "platform/Net.h"

namespace vexa {

namespace {

constexpr int kHelloTimeoutMs = 200;

// Connects within `timeoutMs`. A device that listens but never accepts fills its backlog, and a
// blocking connect would then wait for ever; the send time-out bounds that wait. The socket is
// left non-blocking so that a large report can never block a write past its own time-out.
UniqueFd connectTo(const std::string& path, int timeoutMs) {
    sockaddr_un sa{};
    if (path.empty()) return {};
    // A socket address holds about a hundred bytes; a longer path is reached through a
    // descriptor of its folder, so that device paths of any length work as on a real bus.
    std::string target = path;
    UniqueFd dir;
    if (path.size() >= sizeof sa.sun_path) {
        auto slash = path.rfind('/');
        if (slash == std::string::npos || slash == 0) return {};
        dir.reset(::open(path.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!dir.valid()) return {};
        target = "/proc/self/fd/" + std::to_string(dir.get()) + path.substr(slash);
        if (target.size() >= sizeof sa.sun_path) return {};
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return {};
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) != 0) return {};
    sa.sun_family = AF_UNIX;
    std::memcpy(sa.sun_path, target.c_str(), target.size() + 1);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return {};
    int fl = ::fcntl(fd.get(), F_GETFL);
    if (fl < 0 || ::fcntl(fd.get(), F_SETFL, fl | O_NONBLOCK) != 0) return {};
    return fd;
}

// A report length from the hello; anything but a positive number keeps the default.
void parseLength(const std::string& v, int& out) {
    int n = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (ec == std::errc() && end == v.data() + v.size() && n > 0) out = n;
}

bool readHello(int fd, HidDeviceInfo& info, Clock::time_point deadline) {
    if (waitReadable(fd, msUntil(deadline)) <= 0) return false;
    char buf[1024];
    ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
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
        else if (k == "input") parseLength(v, info.inputReportLength);
        else if (k == "output") parseLength(v, info.outputReportLength);
    }
    return true;
}

// Connects and takes the hello, all within the hello bound.
UniqueFd connectWithHello(const std::string& path, HidDeviceInfo& info) {
    auto deadline = Clock::now() + std::chrono::milliseconds(kHelloTimeoutMs);
    UniqueFd fd = connectTo(path, kHelloTimeoutMs);
    if (!fd.valid() || !readHello(fd.get(), info, deadline)) return {};
    return fd;
}

class SimHidDevice : public HidDevice {
public:
    explicit SimHidDevice(UniqueFd fd) : fd_(std::move(fd)) {}

    int write(const std::uint8_t* report, int len, int timeoutMs) override {
        if (!report || len <= 0) return -1;
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
        for (;;) {
            ssize_t n = ::send(fd_.get(), report, static_cast<size_t>(len), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n >= 0) return static_cast<int>(n);
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
            int left = timeoutMs < 0 ? -1 : msUntil(deadline);
            if (left == 0 || waitWritable(fd_.get(), left) <= 0) return -1;
        }
    }

    int read(std::uint8_t* report, int cap, int timeoutMs) override {
        if (!report || cap <= 0) return -1;
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
        for (;;) {
            ssize_t n = ::recv(fd_.get(), report, static_cast<size_t>(cap), MSG_DONTWAIT);
            if (n > 0) return static_cast<int>(n);
            if (n == 0) return -1;  // closed by the device
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
            int left = timeoutMs < 0 ? -1 : msUntil(deadline);
            if (left == 0) return 0;
            int r = waitReadable(fd_.get(), left);
            if (r < 0) return -1;
            if (r == 0) return 0;
        }
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
            if (!connectWithHello(info.path, info).valid()) continue;  // silent sockets are skipped
            out.push_back(std::move(info));
        }
        return out;
    }

    std::unique_ptr<HidDevice> open(const std::string& path) override {
        HidDeviceInfo info;
        UniqueFd fd = connectWithHello(path, info);
        if (!fd.valid()) return nullptr;
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
