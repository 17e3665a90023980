#include "device/CouplerSearch.h"

#include <VexaSdk.h>

#include <algorithm>

namespace vexadesk {

namespace {

class UsbSearch : public CouplerSearch {
public:
    void begin() override { KO_HIDSearchAll(); }
    Step next(DeviceRecord& out) override {
        char path[KO_HID_PATH_SIZE + 1] = {};
        short manufacturer = 0, type = 0, mode = 0, hard = 0, soft = 0;
        int serial = 0;
        if (KO_HIDGetSearchDev(path, &manufacturer, &type, &mode, &hard, &soft, &serial) != RC_OK)
            return Step::Nothing;
        out.linkType = kLinkUsb;
        out.path = path;
        out.type = static_cast<std::uint16_t>(type);
        out.mode = static_cast<std::uint16_t>(mode);
        out.serial = serial;  // finds the coupler again should its path change
        return Step::Found;
    }
    int pauseMs() const override { return 200; }
};

class EthSearch : public CouplerSearch {
public:
    explicit EthSearch(std::string ip) : ip_(std::move(ip)) {}
    void begin() override {
        // The library honours VEXA_ETH_BROADCAST for the broadcast search.
        ended_ = (ip_.empty() ? KO_EthSearchAll() : KO_EthSearchByIP(ip_.c_str())) != RC_OK;
    }
    Step next(DeviceRecord& out) override {
        if (ended_) return Step::Done;
        char ip[KO_IP_TEXT_SIZE] = {}, mac[KO_MAC_TEXT_SIZE] = {};
        int hard = 0, type = 0, mode = 0, flags = 0, extra = 0;
        // Each fetch waits for the next reply; none within the library's window ends the search.
        if (KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra) != RC_OK) return Step::Done;
        out.linkType = kLinkEthernet;
        out.ip = ip;
        out.mac = mac;
        out.type = static_cast<std::uint16_t>(type);
        out.mode = static_cast<std::uint16_t>(mode);
        // One address asked, one answer: no need to wait out the window.
        if (!ip_.empty() && ip_ == ip) ended_ = true;
        return Step::Found;
    }

private:
    std::string ip_;
    bool ended_ = false;
};

class RsSearch : public CouplerSearch {
public:
    RsSearch(SerialLine line, int first, int last)
        : line_(std::move(line)), first_(std::clamp(first, 1, 247)), last_(std::clamp(last, first_, 247)) {}
    void begin() override { station_ = first_; }
    Step next(DeviceRecord& out) override {
        if (station_ > last_) return Step::Done;
        const int station = station_++;
        const SerialLine& l = line_;
        if (KO_RSSearchByID(station, l.framing, l.port.c_str(), l.baud, l.dataBits, l.parity, l.stopBits, 1, 1, 0, 0,
                            l.timeoutMs) != RC_OK)
            return Step::Nothing;
        char addr = 0;
        short manufacturer = 0, type = 0, mode = 0, hard = 0, soft = 0;
        int serial = 0;
        if (KO_RSGetSearch(&addr, &manufacturer, &type, &mode, &hard, &soft, &serial) != RC_OK) return Step::Nothing;
        out.linkType = kLinkSerial;
        out.line = line_;
        out.station = static_cast<unsigned char>(addr);
        out.type = static_cast<std::uint16_t>(type);
        out.mode = static_cast<std::uint16_t>(mode);
        out.serial = serial;
        return Step::Found;
    }
    int total() const override { return last_ - first_ + 1; }
    int done() const override { return station_ - first_; }

private:
    SerialLine line_;
    int first_, last_;
    int station_ = 0;
};

}  // namespace

bool covers(const SearchRequest& request, const DeviceRecord& r) {
    if (r.linkType != request.kind) return false;
    switch (r.linkType) {
        case kLinkEthernet: return request.ip.empty() || request.ip == r.ip;
        case kLinkSerial:
            return r.line.port == request.line.port && r.station >= request.firstStation &&
                   r.station <= request.lastStation;
        default: return true;
    }
}

std::unique_ptr<CouplerSearch> CouplerSearch::make(const SearchRequest& request) {
    switch (request.kind) {
        case kLinkEthernet: return std::make_unique<EthSearch>(request.ip);
        case kLinkSerial: return std::make_unique<RsSearch>(request.line, request.firstStation, request.lastStation);
        default: return std::make_unique<UsbSearch>();
    }
}

}  // namespace vexadesk
