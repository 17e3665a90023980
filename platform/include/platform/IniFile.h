#pragma once
// Private-profile INI access: the lookups a Windows program makes with
// GetPrivateProfileString/Int/Struct and their Write counterparts, on SimpleIni.
// Section and key names compare without case; a missing file, section or key gives the default.
#include <cstddef>
#include <string>
#include <vector>

namespace vexa::ini {

std::string getString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& def = "");
// Leading decimal integer of the value (optional sign), as GetPrivateProfileInt does; `def` when
// the key is missing or its value empty, 0 when the value has no leading digits.
int getInt(const std::string& file, const std::string& section, const std::string& key, int def);
// Writes (creating file and section as needed). Returns false when the file cannot be written.
bool writeString(const std::string& file, const std::string& section, const std::string& key,
                 const std::string& value);
bool deleteKey(const std::string& file, const std::string& section, const std::string& key);

// Struct blocks: the bytes as upper-case hex pairs followed by one checksum byte (the 8-bit
// sum of the bytes). getStruct fails (false, `data` untouched) unless the stored length and
// checksum match exactly.
bool getStruct(const std::string& file, const std::string& section, const std::string& key, void* data,
               std::size_t size);
bool writeStruct(const std::string& file, const std::string& section, const std::string& key,
                 const void* data, std::size_t size);

std::vector<std::string> sections(const std::string& file);
std::vector<std::string> keys(const std::string& file, const std::string& section);

}  // namespace vexa::ini
