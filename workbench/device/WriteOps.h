#pragma once
// Writes to a device: submits of changed rows, "发送", state toggles, reboots and the
// single-value commands of send-data rows (counter resets, calibrations, the output check).
// Every function runs on the device thread and returns what happened; the window thread
// decides what to say.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "models/DeviceRecord.h"

namespace vexadesk {

struct RowWrite {
    std::string key;
    std::string text;
};

struct WriteOutcome {
    int rc = 0;              // 0: everything was written
    std::string refusedKey;  // the change the library refused, when that was the failure
};

// Coupler: reset, one change per row, submit with the stored password.
WriteOutcome submitMain(DeviceRecord& r, const std::vector<RowWrite>& rows, const std::string& password);
// Sub module: the early rows in a write of their own (then re-read, since they change how the
// others parse), then the rest.
WriteOutcome submitSub(DeviceRecord& r, int subId, const std::vector<RowWrite>& early,
                       const std::vector<RowWrite>& rest);
// "发送": property changes (submitted and re-read), then data changes.
WriteOutcome sendSub(DeviceRecord& r, int subId, const std::vector<RowWrite>& properties,
                     const std::vector<RowWrite>& data);
// One data value: reset, change, submit.
WriteOutcome writeSubData(DeviceRecord& r, int subId, const std::string& key, const std::string& text);
int rebootSub(DeviceRecord& r, int subId);
int rebootMain(DeviceRecord& r);

// The single-value commands of send-data rows, picked by the row's key.
enum class CommandKind {
    OutputCheck,      // analog-output check with its read-back flag
    CalibrateFlag,    // calibration that reports done with a flag
    CalibrateRanges,  // calibration that reports per range
    CounterReset,     // counter value back to 0
    CounterClear,     // the module clears a counter itself
    OutputSync,       // one property written as shown
    DataValue,        // any other key: its data value written as shown
};
CommandKind commandFor(const std::string& key);

constexpr int kCommandPolls = 10;
constexpr int kCommandPollMs = 500;

struct CommandOutcome {
    int rc = 0;              // the write's result (0 when it was accepted and submitted)
    bool polled = false;     // the command waits for the module
    bool succeeded = false;  // the module reported done (success for the flag commands)
    unsigned report = 0;     // CalibrateRanges: the module's result word
    int polls = 0;
};

// `date` is the text written with the output check ("yy-mm-dd"). `progress` is called on the
// device thread after every poll.
CommandOutcome runCommand(DeviceRecord& r, int subId, CommandKind kind, const std::string& key,
                          const std::string& text, const std::string& date,
                          const std::function<void(int poll)>& progress = {});

// A calibration flag read as a number, whatever base the module's text uses ("1", "0x1").
bool flagIsOne(const std::string& text);

}  // namespace vexadesk
