#pragma once
// A simulated rack for one test process, with the environment pointed at it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "VexaSdk.h"
#include "sim/SimRack.h"

namespace vexa::test {

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Loopback answers in microseconds, but a loaded test machine may stall the simulator
        // for longer than the 100 ms an operated Ethernet coupler gets.
        setenv("VEXA_TEST_ETH_TIMEOUT_MS", "1000", 0);
        rack = std::make_unique<sim::SimRack>(sim::RackOptions{.liveData = false});
    }

    // Starts the rack and points the library at it.
    void start() {
        ASSERT_EQ(rack->start(), sim::kSimOk);
        setenv("VEXA_ETH_BROADCAST", rack->hubAddress().c_str(), 1);
        setenv("VEXA_HID", ("sim:" + rack->hidFolder()).c_str(), 1);
    }

    // Search, collect and operate the Ethernet coupler `c`.
    KO_HANDLE operateEth(sim::SimCoupler* c) {
        KO_EthSearchByIP(c->address().c_str());
        char ip[16], mac[18];
        int hard, type, mode, flags, extra;
        if (KO_EthGetSearchDev(ip, mac, &hard, &type, &mode, &flags, &extra) != RC_OK) return nullptr;
        return KO_EthSetOperateDev(ip, mac, type, mode);
    }

    KO_HANDLE operateSerial(sim::SimCoupler* c, int framing) {
        std::string port = rack->serialPath(c->line());
        if (KO_RSSearchByID(c->station(), framing, port.c_str(), 115200, 8, 0, 0, 1, 1, 0, 0, 1000) != RC_OK)
            return nullptr;
        char addr;
        short manufacturer, type, mode, hard, soft;
        int serial;
        if (KO_RSGetSearch(&addr, &manufacturer, &type, &mode, &hard, &soft, &serial) != RC_OK) return nullptr;
        return KO_RSSetOperateDev(static_cast<unsigned char>(addr), static_cast<unsigned short>(type),
                                  static_cast<unsigned short>(mode), framing, port.c_str(), 115200, 8, 0, 0, 1, 1, 0,
                                  0, 1000);
    }

    KO_HANDLE operateHid(sim::SimCoupler* c) {
        KO_HIDSearchAll();
        char path[KO_HID_PATH_SIZE];
        short manufacturer, type, mode, hard, soft;
        int serial;
        while (KO_HIDGetSearchDev(path, &manufacturer, &type, &mode, &hard, &soft, &serial) == RC_OK)
            if (c->address() == path) return KO_HIDSetOperateDev(path, static_cast<unsigned short>(type), 0);
        return nullptr;
    }

    static std::string get(KO_HANDLE h, const char* key) {
        char text[KO_TEXT_SIZE] = {};
        int rc = KO_GetMainProperty(h, key, text);
        return rc == RC_OK ? std::string(text) : "rc=" + std::to_string(rc);
    }

    std::unique_ptr<sim::SimRack> rack;
};

}  // namespace vexa::test
