#pragma once
// The error log "M_Sdk_ErrorLog.Log" in the program folder (or, where that cannot be written, in
// $XDG_STATE_HOME/vexa/, by default ~/.local/state/vexa/): one "@hh:mm:ss.mmm<message>\r\n"
// entry per failure, emptied before an entry would take it past its cap.
#include <string>
#include <string_view>

namespace vexa::mb {

class CMbErrorLog {
public:
    static constexpr long kCapBytes = 10'000'000;
    static constexpr const char* kFileName = "M_Sdk_ErrorLog.Log";

    // Appends one entry. Failures to write are ignored: the log must never fail a request.
    static void write(std::string_view message);
    // Where entries go: the program folder, looked up per entry so that a relocated program
    // folder (VEXA_APPDIR) takes effect at once.
    static std::string path();
    // Where entries go when the program folder cannot be written; "" without a home folder.
    static std::string fallbackPath();
};

}  // namespace vexa::mb
