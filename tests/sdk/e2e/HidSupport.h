#pragma once
// Shared by the USB coupler mapping and firmware tests: a rack with one USB coupler operated
// through the exports, the frames it received, and test-only settings scoped to one test.
#include <stdlib.h>

#include <optional>
#include <string>
#include <vector>

#include "SimFixture.h"

namespace vexa::test {

// Sets an environment variable for the life of the object and restores the old value after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_.c_str(), old_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// One frame a coupler received: its command and the payload between command and check.
struct ReceivedFrame {
    std::uint8_t command = 0;
    sim::Bytes payload;
    int length = 0;  // the frame's length byte
};

inline std::vector<ReceivedFrame> receivedFrames(const sim::SimCoupler* c) {
    std::vector<ReceivedFrame> out;
    for (const auto& report : c->requests()) {
        // report[0] is the report ID; then 7E, length, command, payload, check, 7E.
        if (report.size() < 6 || report[1] != 0x7E || report[2] < 5 || report[2] + 1u > report.size()) continue;
        ReceivedFrame f;
        f.length = report[2];
        f.command = report[3];
        f.payload.assign(report.begin() + 4, report.begin() + 1 + report[2] - 2);
        out.push_back(std::move(f));
    }
    return out;
}

inline std::vector<ReceivedFrame> receivedFrames(const sim::SimCoupler* c, std::uint8_t command) {
    std::vector<ReceivedFrame> all = receivedFrames(c), out;
    for (auto& f : all)
        if (f.command == command) out.push_back(std::move(f));
    return out;
}

// A rack with one USB coupler (and the given sub modules), operated; its log cleared.
class HidCouplerTest : public SimTest {
protected:
    void openCoupler(const std::vector<sim::SubModuleConfig>& subs = {}) {
        coupler = rack->addHid({.subs = subs});
        start();
        handle = operateHid(coupler);
        ASSERT_NE(handle, nullptr);
        coupler->clearLog();
    }

    // Replies that never come cost little in these tests.
    ScopedEnv shortReplyWait{"VEXA_TEST_HID_TIMEOUT_MS", "100"};
    ScopedEnv shortRetryWait{"VEXA_TEST_HID_RETRY_MS", "5"};
    sim::SimCoupler* coupler = nullptr;
    KO_HANDLE handle = nullptr;
};

}  // namespace vexa::test
