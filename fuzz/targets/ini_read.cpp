// INI files beside the program (settings, plug-in list): every lookup the tool-set makes on a
// file whose contents are the input, then a write into it.
#include <cstdint>
#include <string>

#include "common/InputFile.h"
#include "platform/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const vexa::fuzz::InputFile input("vexa-fuzz-ini");
    const std::string& file = input.write(data, size);
    using namespace vexa::ini;
    // Every lookup reads the file again: a few names of each kind are enough.
    constexpr std::size_t kNames = 4;
    std::uint8_t record[64];
    const auto allSections = sections(file);
    for (std::size_t s = 0; s < allSections.size() && s < kNames; ++s) {
        const std::string& section = allSections[s];
        const auto allKeys = keys(file, section);
        for (std::size_t k = 0; k < allKeys.size() && k < kNames; ++k) {
            const std::string& key = allKeys[k];
            getString(file, section, key, "default");
            getInt(file, section, key, -1);
            getStruct(file, section, key, record, 4);
            getStruct(file, section, key, record, sizeof record);
        }
    }
    // The lookups the program makes by fixed names.
    getInt(file, "DEVDLL", "DEV_COUNT", -1);
    getString(file, "DEVDLL0", "Dll");
    writeString(file, "fuzz", "key", "value");
    deleteKey(file, "fuzz", "key");
    return 0;
}
