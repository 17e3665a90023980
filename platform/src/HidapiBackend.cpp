// Real USB devices through hidapi (hidraw on Linux).
#include <hidapi/hidapi.h>

#include <cwchar>
#include <mutex>

#include "platform/HidBackend.h"

namespace vexa {

namespace {

std::string toUtf8(const wchar_t* w) {
    std::string out;
    if (!w) return out;
    for (; *w; ++w) {
        auto c = static_cast<std::uint32_t>(*w);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void initOnce() {
    static std::once_flag once;
    std::call_once(once, [] { hid_init(); });
}

class HidapiDevice : public HidDevice {
public:
    explicit HidapiDevice(hid_device* d) : dev_(d) {}
    ~HidapiDevice() override { hid_close(dev_); }

    int write(const std::uint8_t* report, int len, int /*timeoutMs*/) override {
        if (!report || len <= 0) return -1;
        int n = hid_write(dev_, report, static_cast<size_t>(len));
        return n < 0 ? -1 : n;
    }

    int read(std::uint8_t* report, int cap, int timeoutMs) override {
        if (!report || cap < 2) return -1;
        // Reports without numbered IDs come back without the ID byte; put the 0 back in front.
        int n = hid_read_timeout(dev_, report + 1, static_cast<size_t>(cap - 1), timeoutMs);
        if (n < 0) return -1;
        if (n == 0) return 0;
        report[0] = 0;
        return n + 1;
    }

private:
    hid_device* dev_;
};

class HidapiBackend : public HidBackend {
public:
    std::vector<HidDeviceInfo> enumerate() override {
        initOnce();
        std::vector<HidDeviceInfo> out;
        hid_device_info* list = hid_enumerate(0, 0);
        for (auto* d = list; d; d = d->next) {
            HidDeviceInfo info;
            info.path = d->path ? d->path : "";
            info.manufacturer = toUtf8(d->manufacturer_string);
            info.product = toUtf8(d->product_string);
            out.push_back(std::move(info));
        }
        hid_free_enumeration(list);
        return out;
    }

    std::unique_ptr<HidDevice> open(const std::string& path) override {
        initOnce();
        hid_device* d = hid_open_path(path.c_str());
        if (!d) return nullptr;
        return std::make_unique<HidapiDevice>(d);
    }
};

}  // namespace

std::unique_ptr<HidBackend> makeHidapiBackend() { return std::make_unique<HidapiBackend>(); }

}  // namespace vexa
