// Callers on several threads at once, on every coupler kind and the searches: the library lock
// runs them one after another, so each caller sees only its own results. Built with TSan by
// scripts/sanitize.sh, this must also be free of data races.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "SimFixture.h"

namespace vexa::test {
namespace {

constexpr int kRounds = 25;

// Writes its own names to one coupler and reads each back.
void ownNames(KO_HANDLE h, const char* prefix, std::atomic<int>& failures) {
    for (int i = 0; i < kRounds; ++i) {
        const std::string name = prefix + std::to_string(i);
        if (KO_ModifyMainProperty(h, "MAIN_NAME", name.c_str()) != RC_OK) ++failures;
        if (KO_SubmitMainProperty(h, "") != RC_OK) ++failures;
        if (KO_ReadMainProperty(h) != RC_OK) ++failures;
        char text[KO_TEXT_SIZE] = {};
        if (KO_GetMainProperty(h, "MAIN_NAME", text) != RC_OK || name != text) ++failures;
    }
}

TEST_F(SimTest, ConcurrentCallersOnEveryCouplerKindAndTheSearchesStayApart) {
    auto* eth = rack->addEthernet({});
    auto* serial = rack->addSerial({});
    auto* hid = rack->addHid({});
    start();
    KO_HANDLE he = operateEth(eth);
    KO_HANDLE hs = operateSerial(serial, 0);
    KO_HANDLE hh = operateHid(hid);
    ASSERT_TRUE(he && hs && hh);

    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    threads.emplace_back([&] { ownNames(he, "eth-", failures); });
    threads.emplace_back([&] { ownNames(hs, "rs-", failures); });
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            const std::string addr = std::to_string(i % 100 + 1);
            if (KO_ModifyMainProperty(hh, "MAIN_CANOPEN_ADDR", addr.c_str()) != RC_OK) ++failures;
            if (KO_SubmitMainProperty(hh, "") != RC_OK) ++failures;
            if (KO_ReadMainProperty(hh) != RC_OK || get(hh, "MAIN_CANOPEN_ADDR") != addr) ++failures;
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            KO_EthSearchByIP(eth->address().c_str());
            char ip[16], mac[18];
            int hard, type, mode, flags, extra;
            if (KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra) != RC_OK || eth->address() != ip)
                ++failures;
            KO_HIDSearchAll();
            char path[KO_HID_PATH_SIZE];
            short manufacturer, t, m, hv, sv;
            int sn;
            int found = 0;
            while (KO_HIDGetSearchDev(path, &manufacturer, &t, &m, &hv, &sv, &sn) == RC_OK) ++found;
            if (found != 1) ++failures;
        }
    });
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    for (KO_HANDLE h : {he, hs, hh}) KO_UnOperateDev(h);
}

}  // namespace
}  // namespace vexa::test
