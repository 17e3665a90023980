#pragma once
// The program folder ("AppDir") and paths relative to it.
#include <string>

namespace vexa {

// Folder of the running executable with a trailing '/'. VEXA_APPDIR, when set and non-empty,
// overrides it (a trailing '/' is added when missing).
std::string appDir();

// Resolves `rel` (which may use '\' separators, as stored settings do) below `base`:
// the exact path first, then component by component ignoring case. From the first component
// that exists in no case on, the rest is kept as given (after the folders that were found), so
// that a caller creating a file gets a sensible name.
std::string resolvePath(const std::string& base, const std::string& rel);

// resolvePath(appDir(), rel)
std::string appPath(const std::string& rel);

}  // namespace vexa
