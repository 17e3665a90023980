#pragma once
// Texts recorded with an upgrade result, as the library records them (Chinese); the table in
// FwLoaderTexts.h gives programs their English.
#include <cstdint>
#include <string>

#include "FwLoaderTexts.h"

namespace fwl {

inline constexpr const char* kTextFileOpen = vexa::fwtext::kFileOpen.chinese;
inline constexpr const char* kTextFileFormat = vexa::fwtext::kFileFormat.chinese;
inline constexpr const char* kTextTypeMismatch = vexa::fwtext::kTypeMismatch.chinese;
inline constexpr const char* kTextSendFailed = vexa::fwtext::kSendFailed.chinese;
inline constexpr const char* kTextNoReply = vexa::fwtext::kNoReply.chinese;
inline constexpr const char* kTextBadReply = vexa::fwtext::kBadReply.chinese;
inline constexpr const char* kTextNoDevice = vexa::fwtext::kNoDevice.chinese;
inline constexpr const char* kTextLoadFailed = vexa::fwtext::kLoadFailed.chinese;

// Text for an error code the boot loader reported with status 2.
std::string deviceErrorText(std::uint16_t code);

// Text for a device that took a block beyond the one being sent.
std::string blockMismatchText(unsigned current, unsigned wanted);

}  // namespace fwl
