#pragma once
// devdlls/devdlls.ini beside the program (or beside the library when the program has none):
// which plug-ins exist and how to drive them.
//
//   [DEVDLL]  DEV_COUNT=n
//   [DEV_<i>] Name=<display name>  Dll=<file in devdlls/>  GoodWriteLen=<chunk size>
#include <cstdint>
#include <string>

namespace fwl::devdlls {

// Names and file names are handed out in KB_NAME_SIZE-byte buffers, so longer values are cut to fit.
inline constexpr std::size_t kMaxText = 254;

std::string folder();               // <AppDir>/devdlls, else the one installed with the library
int count();                        // DEV_COUNT, -1 when missing
std::string name(int index);        // Name of DEV_<index>, at most kMaxText bytes
std::string dll(int index);         // Dll of DEV_<index>, at most kMaxText bytes
std::uint32_t chunkSize(int index); // from GoodWriteLen, with the rules for index 0 and defaults

}  // namespace fwl::devdlls
