#include "device/WriteOps.h"

#include <VexaSdk.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "device/DeviceOps.h"

namespace vexadesk {

namespace {

using ModifyFn = int (*)(KO_SUBHANDLE, const char*, const char*);

// Reset, change every row, submit: the library's unit of writing.
WriteOutcome writeRows(KO_SUBHANDLE s, const std::vector<RowWrite>& rows, bool data) {
    WriteOutcome out;
    data ? KO_ResetSubDevData(s) : KO_ResetSubDevProperty(s);
    ModifyFn modify = data ? KO_ModifySubDevData : KO_ModifySubDevProperty;
    for (const auto& row : rows) {
        int rc = modify(s, row.key.c_str(), row.text.c_str());
        if (rc != RC_OK) {
            out.rc = rc;
            out.refusedKey = row.key;
            return out;
        }
    }
    out.rc = data ? KO_SubmitSubDevData(s) : KO_SubmitSubDevProperty(s);
    return out;
}

KO_SUBHANDLE openSub(DeviceRecord& r, int subId, WriteOutcome& out) {
    KO_SUBHANDLE s = openSubDevice(r, subId);
    if (!s) out.rc = RC_FAILED;
    return s;
}

struct CommandRule {
    const char* key;
    bool exact;  // false: any key that contains it
    CommandKind kind;
};

// In this order: the first rule that matches decides.
constexpr CommandRule kCommandRules[] = {
    {"DATA_AOUT_CHECK_SEND", true, CommandKind::OutputCheck},
    {"SET_CMD_CALIB_W", true, CommandKind::CalibrateFlag},
    {"SET_WORKMODE", true, CommandKind::CalibrateRanges},
    {"DATA_COUNT_", false, CommandKind::CounterReset},
    {"SET_CF_EMPTY_", false, CommandKind::CounterClear},
    {"SET_AOUT_SYNC", true, CommandKind::OutputSync},
};

std::string textOf(KO_SUBHANDLE s, const char* key, bool data) {
    char text[KO_TEXT_SIZE] = {};
    int rc = data ? KO_GetSubDevData(s, key, text) : KO_GetSubDevProperty(s, key, text);
    return rc == RC_OK ? std::string(text) : std::string();
}

void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(kCommandPollMs)); }

}  // namespace

WriteOutcome submitMain(DeviceRecord& r, const std::vector<RowWrite>& rows, const std::string& password) {
    WriteOutcome out;
    out.rc = openDevice(r);
    if (out.rc != RC_OK) return out;
    KO_HANDLE h = r.handle.load();
    KO_ResetMainProperty(h);
    for (const auto& row : rows) {
        int rc = KO_ModifyMainProperty(h, row.key.c_str(), row.text.c_str());
        if (rc != RC_OK) {
            out.rc = rc;
            out.refusedKey = row.key;
            return out;
        }
    }
    out.rc = KO_SubmitMainProperty(h, password.c_str());
    return out;
}

WriteOutcome submitSub(DeviceRecord& r, int subId, const std::vector<RowWrite>& early,
                       const std::vector<RowWrite>& rest) {
    WriteOutcome out;
    KO_SUBHANDLE s = openSub(r, subId, out);
    if (!s) return out;
    if (!early.empty()) {
        out = writeRows(s, early, false);
        if (out.rc == RC_OK) out.rc = KO_ReadSubDevProperty(s);
        if (out.rc != RC_OK) return out;
    }
    if (!rest.empty()) out = writeRows(s, rest, false);
    return out;
}

WriteOutcome sendSub(DeviceRecord& r, int subId, const std::vector<RowWrite>& properties,
                     const std::vector<RowWrite>& data) {
    WriteOutcome out;
    KO_SUBHANDLE s = openSub(r, subId, out);
    if (!s) return out;
    if (!properties.empty()) {
        out = writeRows(s, properties, false);
        if (out.rc == RC_OK) out.rc = KO_ReadSubDevProperty(s);
        if (out.rc != RC_OK) return out;
    }
    if (!data.empty()) {
        out.rc = KO_ReadSubDevData(s);
        if (out.rc != RC_OK) return out;
        out = writeRows(s, data, true);
    }
    return out;
}

WriteOutcome writeSubData(DeviceRecord& r, int subId, const std::string& key, const std::string& text) {
    WriteOutcome out;
    KO_SUBHANDLE s = openSub(r, subId, out);
    if (!s) return out;
    return writeRows(s, {{key, text}}, true);
}

int rebootSub(DeviceRecord& r, int subId) {
    int rc = openDevice(r);
    return rc == RC_OK ? KO_RebootSubDev(r.handle.load(), subId) : rc;
}

int rebootMain(DeviceRecord& r) {
    int rc = openDevice(r);
    return rc == RC_OK ? KO_RebootDev(r.handle.load()) : rc;
}

CommandKind commandFor(const std::string& key) {
    for (const auto& rule : kCommandRules)
        if (rule.exact ? key == rule.key : key.find(rule.key) != std::string::npos) return rule.kind;
    return CommandKind::DataValue;
}

bool flagIsOne(const std::string& text) {
    if (text.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 0);
    while (end && *end == ' ') ++end;
    return end && *end == '\0' && v == 1;
}

CommandOutcome runCommand(DeviceRecord& r, int subId, CommandKind kind, const std::string& key,
                          const std::string& text, const std::string& date,
                          const std::function<void(int)>& progress) {
    CommandOutcome out;
    WriteOutcome w;
    KO_SUBHANDLE s = openSub(r, subId, w);
    if (!s) {
        out.rc = w.rc;
        return out;
    }
    switch (kind) {
        case CommandKind::CounterReset: out.rc = writeRows(s, {{key, "0"}}, true).rc; return out;
        case CommandKind::CounterClear: out.rc = writeRows(s, {{key, "1"}}, false).rc; return out;
        case CommandKind::OutputSync: out.rc = writeRows(s, {{key, text}}, false).rc; return out;
        case CommandKind::DataValue: out.rc = writeRows(s, {{key, text}}, true).rc; return out;
        default: break;
    }

    out.polled = true;
    if (kind == CommandKind::OutputCheck) {
        // Both pending lists start empty, so only the check's own values go out.
        KO_ResetSubDevProperty(s);
        KO_ResetSubDevData(s);
        out.rc = KO_ModifySubDevProperty(s, "SET_CHECK_DATA", date.c_str());
        if (out.rc == RC_OK) out.rc = KO_ReadSubDevData(s);
        if (out.rc == RC_OK) out.rc = KO_ModifySubDevData(s, key.c_str(), text.c_str());
        if (out.rc == RC_OK) out.rc = KO_SubmitSubDevProperty(s);
        if (out.rc == RC_OK) out.rc = KO_SubmitSubDevData(s);
    } else {
        out.rc = writeRows(s, {{key, text}}, false).rc;
    }
    // The module is polled even after a refused start: it may still report a run of its own.
    for (out.polls = 1; out.polls <= kCommandPolls; ++out.polls) {
        bool done = false;
        if (kind == CommandKind::OutputCheck) {
            if (KO_ReadSubDevData(s) == RC_OK && textOf(s, "DATA_AOUT_CHECK_READ", true) == "1") {
                writeRows(s, {{"DATA_AOUT_CHECK_READ", "0"}}, true);
                done = out.succeeded = true;
            }
        } else if (KO_ReadSubDevProperty(s) == RC_OK) {
            std::string flag = textOf(s, "SET_CMD_CALIB_R", false);
            if (kind == CommandKind::CalibrateFlag) {
                done = out.succeeded = flagIsOne(flag);
            } else if (!flag.empty()) {
                unsigned long word = std::strtoul(flag.c_str(), nullptr, 16);
                if (word & 0x8000u) {
                    out.report = static_cast<unsigned>(word);
                    done = out.succeeded = true;
                }
            }
        }
        if (progress) progress(out.polls);
        if (done) break;
        if (out.polls < kCommandPolls) pause();
    }
    if (out.polls > kCommandPolls) out.polls = kCommandPolls;
    return out;
}

}  // namespace vexadesk
