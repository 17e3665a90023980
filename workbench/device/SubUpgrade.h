#pragma once
// Firmware upgrades started from the main frame's upgrade menu.
//
// A sub module is handed over to the upgrade library's dialog: it is told to start its boot
// loader, the coupler is told an upgrade starts (7E 05 83) and released, the library's dialog
// runs on the window thread (it is modal), and then the coupler is opened again and told the
// upgrade ended (7E 05 84). Device calls run as jobs on the device thread, in between.
#include <QString>

#include <cstdint>
#include <functional>

#include "models/DeviceRecord.h"

class QWidget;

namespace vexadesk {

class CDeviceThread;

// How a sub-module hand-over ended.
enum SubUpgradeResult : int {
    kSubUpgradeDone = 0,       // the library dialog ran and the coupler took the end notice
    kSubUpgradeDeclined,       // the user said no
    kSubUpgradeNoModule,       // no sub module with that id in the record, or one runs already
    kSubUpgradeBootFailed,     // AA AA not taken: "进入升级模式失败"
    kSubUpgradeStartNotSent,   // 7E 05 83 could not be sent
    kSubUpgradeStartBadReply,  // its reply was not the 5-byte echo
    kSubUpgradeReopenFailed,   // the coupler could not be opened after the dialog
    kSubUpgradeEndNotSent,     // 7E 05 84 could not be sent
    kSubUpgradeEndBadReply,
};

// The library's dialog: plug-in name, preset file path (may be null), open parameters.
// Returns what the dialog returns (1 when it closed).
using UpgradeDialogStep = std::function<int(const char* commName, const char* path, void* openParams)>;
// The upgrade library's own dialog.
int libraryUpgradeDialog(const char* commName, const char* path, void* openParams);

// Types whose module already runs its boot loader: no question, no AA AA.
bool runsBootLoader(std::uint16_t type);

// The confirmation's text for a sub module.
QString subUpgradeQuestion(std::uint16_t type, int subId);
// The coupler upgrade's confirmation.
QString couplerUpgradeQuestion(std::uint16_t type);

// True when the 5 bytes read back are the coupler's echo of `command` (7E 05 command x 7E).
bool isCommandEcho(const unsigned char* reply, int length, unsigned char command);

// Forgets what the pages last showed of the coupler's sub modules. Window thread.
void forgetSubRows(DeviceRecord& r);

// The sub-module hand-over for the module `subId` of the coupler `r` (logged in; the caller
// checks). `done` gets a SubUpgradeResult on the window thread after every message was shown;
// the record must outlive it. `step` replaces the library's dialog (tests).
void runSubUpgrade(QWidget* parent, CDeviceThread& thread, DeviceRecord& r, int subId,
                   std::function<void(int rc)> done, UpgradeDialogStep step = {});

// The coupler image download: asks the question, then runs CDlgUpdateFirme modally (an RS-485
// coupler: the upgrade library's dialog with the Modbus plug-in, `step` in tests). True when the
// user said yes.
bool runCouplerUpgrade(QWidget* parent, CDeviceThread& thread, DeviceRecord& r, UpgradeDialogStep step = {});

// Whether a sub-module hand-over is under way (between its question and `done`).
bool subUpgradeRunning();

}  // namespace vexadesk
