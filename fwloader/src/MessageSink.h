#pragma once
// Where the plug-in loader's one user message goes: a handler a GUI process installs, else a
// line on standard error.
#include "FwLoader.h"

namespace fwl {

void setMessageHandler(KB_MessageHandler handler);
void showMessage(const char* text);

}  // namespace fwl
