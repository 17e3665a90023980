#pragma once
// One coupler kind's discovery, as steps the search worker drives on the device thread: USB by
// the library's HID enumeration, Ethernet by broadcast or one address, RS-485 station by station
// over one line. Each step takes at most one library call, so a stop is honoured between them.
#include <memory>
#include <string>

#include "models/DeviceRecord.h"

namespace vexadesk {

// What the user asked to search.
struct SearchRequest {
    int kind = kLinkUsb;
    std::string ip;  // Ethernet: "" searches by broadcast
    SerialLine line;  // RS-485
    int firstStation = 1, lastStation = 32;
};

// True when a search for `request` would find `r` again: its results replace such records.
bool covers(const SearchRequest& request, const DeviceRecord& r);

class CouplerSearch {
public:
    enum class Step {
        Found,    // `out` holds a coupler
        Nothing,  // nothing this step; step again (after a pause when pauseMs() says so)
        Done,     // the search has ended by itself
    };
    virtual ~CouplerSearch() = default;
    virtual void begin() = 0;
    virtual Step next(DeviceRecord& out) = 0;
    // The wait after a step that found nothing (USB polls its enumeration).
    virtual int pauseMs() const { return 0; }
    // Progress in steps, for searches that know their length (0: unknown, the dialog shows time).
    virtual int total() const { return 0; }
    virtual int done() const { return 0; }

    static std::unique_ptr<CouplerSearch> make(const SearchRequest& request);
};

}  // namespace vexadesk
