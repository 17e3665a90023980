#pragma once
// Argument parsing, output (text or JSON) and the command registry of vexactl.
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vexactl {

struct Args {
    std::vector<std::string> positional;        // after the command name
    std::map<std::string, std::string> options;  // --name value, or --flag (value "1")
    bool json = false;

    bool has(const std::string& name) const { return options.count(name) != 0; }
    std::string get(const std::string& name, const std::string& def = "") const;
    long getInt(const std::string& name, long def) const;  // decimal or 0x-hex
};

// Exit statuses: 0 success, 1 the device or library reported a failure, 2 bad usage.
enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

// One line of output: ordered key/value pairs. Text mode prints "key: value" lines (or a table
// row for lists); JSON mode prints one object per record.
class Record {
public:
    Record& add(const std::string& key, const std::string& value);
    Record& add(const std::string& key, long long value);
    const std::vector<std::pair<std::string, std::string>>& fields() const { return fields_; }
    const std::vector<bool>& numeric() const { return numeric_; }
private:
    std::vector<std::pair<std::string, std::string>> fields_;
    std::vector<bool> numeric_;
};

// Prints records as text or JSON. In JSON mode everything goes out as one object when finish()
// is called: {"records":[...], "result":{code, name, ok}, "messages":[...], "error":"..."}
// (messages and error only when there are any); texts are always valid UTF-8, and a value that
// is an analog reading also comes split as "reading": {value, unit, raw, state}.
class Output {
public:
    explicit Output(bool json) : json_(json) {}
    void record(const Record& r);
    void message(const std::string& text);  // human text; in JSON mode kept for "messages"
    // Prints the outcome ("result: 203 RC_NO_REPLY (no reply from the device)") and returns the
    // exit status.
    int finish(int code, const std::string& name, bool ok, const std::string& meaning = "");
    bool json() const { return json_; }
private:
    bool json_;
    std::vector<Record> records_;
    std::vector<std::string> messages_;
};

// `s` as valid UTF-8: a byte that starts no valid sequence is taken as its Latin-1 character.
std::string utf8Safe(const std::string& s);

// The progress of a long command on stderr: drawn only when wanted and stderr is a terminal
// (never into a file or a pipe), one line redrawn in place, closed by end().
class Progress {
public:
    explicit Progress(bool wanted);
    ~Progress() { end(); }
    bool drawing() const { return drawing_; }
    // `done` of `total`, with an optional text after the bar.
    void show(long done, long total, const std::string& text = "");
    void end();
private:
    bool drawing_;
    bool open_ = false;
    int shown_ = -1;  // tenths of a percent on the line now
};

using Handler = std::function<int(const Args&, Output&)>;

// One option a command takes. The parser accepts a command's own options and no other, and
// refuses a number that is none or out of range, so a handler reads only values it can use.
struct Option {
    enum Kind { Flag, Text, Number, Stations };  // Stations: "N" or a range "A-B", each lo..hi
    const char* name;   // without the dashes
    Kind kind;
    const char* value;  // how the help names the value, e.g. "MS"
    long lo, hi;        // Number and Stations
    const char* help;

    static constexpr Option flag(const char* name, const char* help) { return {name, Flag, "", 0, 0, help}; }
    static constexpr Option text(const char* name, const char* value, const char* help) {
        return {name, Text, value, 0, 0, help};
    }
    static constexpr Option number(const char* name, const char* value, long lo, long hi, const char* help) {
        return {name, Number, value, lo, hi, help};
    }
    static constexpr Option stations(const char* name, long lo, long hi, const char* help) {
        return {name, Stations, "N|A-B", lo, hi, help};
    }
};

// What an option's value must be, in words: "a number from 1 to 247".
std::string takes(const Option& o);
// "" when `text` is a value `o` takes; else the complaint.
std::string badValue(const Option& o, const std::string& text);

struct Command {
    std::string name;   // e.g. "search", "mb"
    std::string usage;  // one line, e.g. "search eth [--ip A] | rs PORT --station N [--ascii] | hid"
    std::string help;   // one line description
    Handler run;
    std::vector<Option> options;  // every option it reads (--json and --help come with every command)
};

// Registers a command at static-initialisation time; returns true so it can initialise a global.
bool registerCommand(Command cmd);
const std::vector<Command>& commands();

}  // namespace vexactl

#define VEXACTL_CONCAT2(a, b) a##b
#define VEXACTL_CONCAT(a, b) VEXACTL_CONCAT2(a, b)
// VEXACTL_COMMAND("name", "usage", "help", handler, {Option::flag(...), ...})
#define VEXACTL_COMMAND(...) \
    static const bool VEXACTL_CONCAT(vexactl_cmd_, __LINE__) = ::vexactl::registerCommand({__VA_ARGS__})
