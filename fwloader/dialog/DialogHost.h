#pragma once
// What a library without Qt needs to show a dialog of the dialog module: whether there is a
// display at all, and the module's entry points. Compiled into each library that shows one
// (FwLoader, VexaBootPort); nothing here links Qt.
#include <string>

#include "FwLoaderDialog.h"

namespace fwdlg {

// A window can be shown: Qt is told to draw offscreen, or DISPLAY or WAYLAND_DISPLAY is set.
bool displayAvailable();

// An entry point of the module, loaded on first use and kept for the life of the process (Qt
// does not survive being unloaded); null with the reason in `why`. The module is looked for in
// the program folder, then in the folder of the library this code is compiled into, that
// folder's parent (plug-ins live one level below the programs) and its "vexa/" sub folder (an
// installed library beside the installed program folder).
void* entry(const char* name, std::string& why);

// FwDlg_SelectTransport when a dialog can be shown, else -1.
int selectTransport(int current);

}  // namespace fwdlg
