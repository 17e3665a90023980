#pragma once
// Owns every coupler object the library creates with what hangs off it (its sub-module objects,
// a USB coupler's CANopen mapping), the three search objects, and the search records the
// set-operate calls look up. One instance lives inside the library.
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hid/CHidMapping.h"
#include "main/CComMain.h"
#include "main/CEthMain.h"
#include "main/CUsbMain.h"
#include "msg/SearchRecords.h"
#include "sub/CVEXASubMgr.h"

namespace vexa {

// A coupler handed out, and what hangs off it. Members go in reverse order: the sub modules
// and the mapping before the coupler they talk through.
struct CouplerEntry {
    std::unique_ptr<CVEXAMain> main;
    CVEXASubMgr subs;
    std::unique_ptr<CHidMapping> mapping;  // USB couplers only
};

class CVEXAMainMgr {
public:
    CVEXAMainMgr();
    ~CVEXAMainMgr();

    static CVEXAMainMgr& instance();

    // ---- Ethernet ----
    void EthSearch(const char* ip);  // null or empty: broadcast
    int EthGetSearchDev(EthSearchRecord& out);
    CVEXAMain* EthOperate(const char* ip, const char* mac, int type, int mode);
    // ---- RS-485 ----
    int RsSearch(int station, int framing, const char* port, const SerialSettings& line);
    int RsGetSearch(RsSearchRecord& out);
    CVEXAMain* RsOperate(int station, int type, int devMode, int framing, const char* port, const SerialSettings& line);
    // ---- USB ----
    void HidSearchAll();
    int HidGetSearchDev(HidSearchRecord& out);
    CVEXAMain* HidOperate(const char* path, int type);

    // Handle checks: the object when it is one this library handed out, else null. Safe to call
    // without the library lock.
    CVEXAMain* FindMain(void* handle) const;
    CouplerEntry* FindCoupler(void* handle) const;
    CVEXASub* FindSub(void* handle) const;

    // How long the USB search waits for a device to answer its identify request.
    static constexpr int kHidIdentifyTimeoutMs = 1000;

private:
    CouplerEntry* adopt(std::unique_ptr<CVEXAMain> main);

    CEthMain ethSearch_;
    CComMain comSearch_;
    CUsbMain usbSearch_;
    mutable std::mutex registryLock_;  // guards mains_ for the lock-free handle checks
    std::vector<std::unique_ptr<CouplerEntry>> couplers_;
    std::deque<EthSearchRecord> ethRecords_;
    std::deque<RsSearchRecord> rsRecords_;
    std::deque<HidSearchRecord> hidRecords_;
};

}  // namespace vexa
