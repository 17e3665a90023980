#pragma once
// Test knobs: environment variables that only tests set, to shorten (or lengthen) the waits
// that real devices need. Nothing in use sets them; every one is read here and nowhere else, at
// each use, so a test may change them between calls.
//
//   VEXA_TEST_ETH_TIMEOUT_MS  Ethernet coupler: time-out of one operation
//   VEXA_TEST_HID_TIMEOUT_MS  USB coupler: time-out of one reply
//   VEXA_TEST_HID_RETRY_MS    USB coupler firmware update: wait before a retry (0 allowed)
//   VEXA_BOOT_PACING          boot plug-ins: "0" drops the pauses boot loaders need
//
// The settings a user may make (VEXA_HID, VEXA_ETH_BROADCAST, VEXA_APPDIR) are not test knobs;
// they are read where they take effect.
#include <climits>

namespace vexa {

inline constexpr char kKnobEthTimeoutMs[] = "VEXA_TEST_ETH_TIMEOUT_MS";
inline constexpr char kKnobHidTimeoutMs[] = "VEXA_TEST_HID_TIMEOUT_MS";
inline constexpr char kKnobHidRetryMs[] = "VEXA_TEST_HID_RETRY_MS";

// The knob `name` in ms when set and within min..max, else `fallback`.
int testSettingMs(const char* name, int fallback, int min = 1, int max = INT_MAX);

// False when a test has turned the boot plug-ins' pauses off.
bool bootPacing();

}  // namespace vexa
