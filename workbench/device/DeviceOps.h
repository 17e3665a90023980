#pragma once
// What the workbench asks of a device, as plain functions over the library's exports. Every
// function here runs on the device thread (CDeviceThread) and returns what it found as a value;
// the window thread places it.
#include <string>
#include <vector>

#include "models/DeviceRecord.h"

namespace vexadesk {

// Opens the coupler when its handle is 0. 0 on success, else the library's result.
int openDevice(DeviceRecord& r);
// Opens the coupler and logs in: the Ethernet and RS-485 couplers check the password themselves
// (kLoginRefused when it is wrong), the USB coupler's login is the workbench's own.
constexpr int kLoginRefused = -1;
int loginDevice(DeviceRecord& r, const std::string& password);
// Opens the coupler and the sub module with that id; null when either fails or the library has
// no class for the module's type.
void* openSubDevice(DeviceRecord& r, int subId);
// Closes the coupler (sub-module handles go with it).
void closeDevice(DeviceRecord& r);
// Releases the coupler and opens it again (a USB coupler by its path; when the path no longer opens, searches
// the USB devices again and takes the one with the record's type and serial number, keeping its
// new path). The new handle goes into the record (null on failure); the eight sub-module handles
// are dropped either way. True when it is open again.
bool reopenDevice(DeviceRecord& r);

// One row to read: its key, and for data pages whether it is read as a property.
struct RowRequest {
    std::string key;
    bool asProperty = false;
};
struct RowText {
    int rc = 0;  // per key
    std::string text;
};
struct ReadOutcome {
    int rc = 0;       // the block read's result; rows are valid only when it is 0
    bool noSub = false;  // the sub module could not be opened (unknown type, missing slot)
    std::vector<RowText> rows;  // one per request, in order
};

ReadOutcome readMainProperties(DeviceRecord& r, const std::vector<RowRequest>& rows);
ReadOutcome readSubProperties(DeviceRecord& r, int subId, const std::vector<RowRequest>& rows);
ReadOutcome readSubData(DeviceRecord& r, int subId, const std::vector<RowRequest>& rows);

// Fills the eight subSlots from the library's search of an open coupler. 0 on success.
int listSubModules(DeviceRecord& r);

}  // namespace vexadesk
