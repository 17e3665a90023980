#include "CVEXAMainMgr.h"

#include <cstring>

#include "msg/CUsbMsg.h"
#include "msg/FrameChecks.h"
#include "msg/vexa_rc.h"
#include "platform/HidBackend.h"

namespace vexa {

namespace {
constexpr const char* kHidManufacturer = "KXTMCU";
constexpr const char* kHidProduct = "VEXA-9020";
constexpr int kHidEnumerationMax = 255;
constexpr int kReport = 65;
}  // namespace

CVEXAMainMgr::CVEXAMainMgr() = default;
CVEXAMainMgr::~CVEXAMainMgr() = default;

CVEXAMainMgr& CVEXAMainMgr::instance() {
    static CVEXAMainMgr mgr;
    return mgr;
}

CouplerEntry* CVEXAMainMgr::adopt(std::unique_ptr<CVEXAMain> main) {
    auto entry = std::make_unique<CouplerEntry>();
    entry->main = std::move(main);
    // The sub-module slots are filled before the caller gets the handle.
    entry->main->SearchSub();
    CouplerEntry* raw = entry.get();
    std::lock_guard<std::mutex> g(registryLock_);
    couplers_.push_back(std::move(entry));
    return raw;
}

CouplerEntry* CVEXAMainMgr::FindCoupler(void* handle) const {
    if (!handle) return nullptr;
    std::lock_guard<std::mutex> g(registryLock_);
    for (const auto& c : couplers_)
        if (c->main.get() == handle) return c.get();
    return nullptr;
}

CVEXAMain* CVEXAMainMgr::FindMain(void* handle) const {
    CouplerEntry* c = FindCoupler(handle);
    return c ? c->main.get() : nullptr;
}

CVEXASub* CVEXAMainMgr::FindSub(void* handle) const {
    if (!handle) return nullptr;
    std::lock_guard<std::mutex> g(registryLock_);
    for (const auto& c : couplers_)
        if (CVEXASub* s = c->subs.Find(handle)) return s;
    return nullptr;
}

// ---------------- Ethernet ----------------

void CVEXAMainMgr::EthSearch(const char* ip) {
    CTransfer& t = ethSearch_.transfer();
    t.SetEthernet(kTransferEthernet, ip ? ip : "", CEthMain::kPort, 0, CEthMain::kSearchTimeoutMs);
    if (!t.Open()) return;
    ethSearch_.msg().SetSearchMsg();
    t.Send(ethSearch_.msg());
}

int CVEXAMainMgr::EthGetSearchDev(EthSearchRecord& out) {
    CTransfer& t = ethSearch_.transfer();
    if (t.Receive(ethSearch_.msg()) <= 0) return RC_NO_REPLY;
    int rc = ethSearch_.msg().ParseEthSearchReply(out);
    // Every result is kept, never merged or pruned: a caller may operate any result it was
    // handed, from this search or an earlier one.
    if (rc == RC_OK) ethRecords_.push_back(out);
    return rc;
}

CVEXAMain* CVEXAMainMgr::EthOperate(const char* ip, const char* mac, int type, int mode) {
    if (type != CEthMain9000::kType || !ip || !mac) return nullptr;
    const EthSearchRecord* rec = nullptr;
    for (const auto& r : ethRecords_)
        if (r.address == ip && r.mac == mac && r.type == type && r.mode == mode) {
            rec = &r;
            break;
        }
    if (!rec) return nullptr;
    auto main = std::make_unique<CEthMain9000>();
    main->SetEthSearch(*rec);
    if (!main->OpenEth(type, mode, ip, mac, 0, 0, CEthMain::OperateTimeoutMs())) return nullptr;
    return adopt(std::move(main))->main.get();
}

// ---------------- RS-485 ----------------

int CVEXAMainMgr::RsSearch(int station, int framing, const char* port, const SerialSettings& line) {
    comSearch_.SetFraming(framing);
    comSearch_.SetStation(station);
    CTransfer& t = comSearch_.transfer();
    t.Close();
    t.SetSerial(kTransferSerial, port ? port : "", line, CComMain::kSearchTimeoutMs);
    if (!port || !t.Open()) return RC_OPEN_FAILED;
    comSearch_.msg().SetSearchStationMsg(station);
    if (t.Send(comSearch_.msg()) <= 0) return RC_SEND_FAILED;
    return RC_OK;
}

int CVEXAMainMgr::RsGetSearch(RsSearchRecord& out) {
    CTransfer& t = comSearch_.transfer();
    int n = t.Receive(comSearch_.msg());
    if (n <= 0) {
        t.Close();
        return RC_NO_REPLY;
    }
    int rc = comSearch_.msg().ParseStationSearchReply(out);
    t.Close();
    if (rc == RC_OK) rsRecords_.push_back(out);
    return rc;
}

CVEXAMain* CVEXAMainMgr::RsOperate(int station, int type, int devMode, int framing, const char* port,
                                   const SerialSettings& line) {
    if (type != CComMain9010::kType || !port) return nullptr;
    const RsSearchRecord* rec = nullptr;
    for (const auto& r : rsRecords_)
        if (r.station == (station & 0xFF) && r.id.type == (type & 0xFFFF) && r.id.mode == (devMode & 0xFFFF)) {
            rec = &r;
            break;
        }
    if (!rec) return nullptr;
    auto main = std::make_unique<CComMain9010>();
    main->SetIdentity(rec->id);
    if (!main->OpenSerial(station, framing, port, line)) return nullptr;
    return adopt(std::move(main))->main.get();
}

// ---------------- USB ----------------

void CVEXAMainMgr::HidSearchAll() {
    auto& results = usbSearch_.searchResults();
    results.clear();
    auto backend = makeHidBackend();
    auto devices = backend->enumerate();
    for (int index = 0; index < static_cast<int>(devices.size()) && index < kHidEnumerationMax; ++index) {
        const HidDeviceInfo& info = devices[static_cast<size_t>(index)];
        // A path the caller's buffer cannot hold whole is no path to hand out.
        if (info.path.empty() || info.path.size() >= static_cast<size_t>(kHidPathMax)) continue;
        if (info.manufacturer != kHidManufacturer || info.product != kHidProduct) continue;
        auto dev = backend->open(info.path);
        if (!dev) continue;
        CUsbMsg& msg = static_cast<CUsbMsg&>(usbSearch_.msg());
        msg.SetIdentifyMsg();
        std::uint8_t report[kReport] = {};
        std::memcpy(report + 1, msg.sendBuffer().data(), msg.sendBuffer().size());
        if (dev->write(report, kReport, kHidIdentifyTimeoutMs) != kReport) continue;
        // A device that never answers is skipped after the bound; the search goes on.
        std::uint8_t reply[kReport] = {};
        int n = dev->read(reply, kReport, kHidIdentifyTimeoutMs);
        if (n <= 0) continue;
        HidSearchRecord rec;
        rec.path = info.path;
        rec.inputReportLength = info.inputReportLength;
        rec.outputReportLength = info.outputReportLength;
        if (n == kReport) {
            const std::uint8_t* f = reply + 1;
            rec.id.manufacturer = be16(f + 3);
            rec.id.mode = be16(f + 5);
            rec.id.type = be16(f + 7);
            rec.id.hardVer = be16(f + 9);
            rec.id.softVer = be16(f + 11);
            std::memcpy(rec.id.serial, f + 13, 4);
        }
        results[index + 1] = rec;
    }
}

int CVEXAMainMgr::HidGetSearchDev(HidSearchRecord& out) {
    auto& results = usbSearch_.searchResults();
    if (results.empty()) return RC_NO_MORE;
    auto it = results.begin();
    out = it->second;
    results.erase(it);
    hidRecords_.push_back(out);
    return RC_OK;
}

CVEXAMain* CVEXAMainMgr::HidOperate(const char* path, int type) {
    if (type != CUsbMain::kType || !path) return nullptr;
    const HidSearchRecord* rec = nullptr;
    for (const auto& r : hidRecords_)
        if (r.path == path) {
            rec = &r;
            break;
        }
    if (!rec) return nullptr;
    auto main = std::make_unique<CUsbMain>();
    main->SetIdentity(rec->id);
    if (!main->OpenHid(path, 0)) return nullptr;
    CUsbMain& usb = *main;
    CouplerEntry* entry = adopt(std::move(main));
    entry->mapping = std::make_unique<CHidMapping>(usb, entry->subs);
    return entry->main.get();
}

}  // namespace vexa
