#pragma once
// Which keys are what: the coupler's keys per kind, the settings a backup keeps, the identity a
// restore leaves alone and the selectors a restore writes first.
#include <span>
#include <string>

namespace vexa::rackconfig {

// Every property key of a coupler kind (KO_KIND_*), in the order a person reads them.
std::span<const char* const> couplerKeys(int kind);

// The coupler settings a backup keeps: the writable keys, without the password and without the
// firmware-download items.
std::span<const char* const> couplerSettingKeys(int kind);

// True for what belongs to this piece of hardware or to its place on the network rather than to
// the job it does: network addresses, serial-line parameters of the link we talk over, MAC,
// serial number, CANopen node address, module name, and a sub module's own calibration. A
// restore writes such a key only when the caller names it.
bool isIdentityKey(const std::string& key);

// True for a selector the module parses its other settings by (range, type, gain, sampling,
// work mode); a restore writes these in a submit of their own, first.
bool isEarlyKey(const std::string& key);

// True for a sub-module key a backup keeps: a SET_ key that is no command.
bool isSubSettingKey(const std::string& key);

}  // namespace vexa::rackconfig
