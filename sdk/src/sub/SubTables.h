#pragma once
// The sub-module classes as data: one row per supported type code and hardware version, each
// naming its register items, its SDO records and the family that converts its class-specific
// (format 20) values. A new module type is a new row here, not a new class.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexa {

// What an item is to the module and to the caller.
enum class ItemRole : std::uint8_t {
    Setting,  // property, written on submit
    Local,    // property kept on this side only (a display derived from another item)
    Input,    // process value, read-only
    Output,   // process value, written on submit
};

// One register item, or a run of per-channel items. Keys of a run are the key followed by the
// channel number ("DATA_AIN_" + 3).
struct ItemRow {
    const char* key;
    std::uint8_t channels;  // 0: a single item named `key`
    std::uint16_t reg;      // register of channel 0
    std::uint8_t step;      // registers from one channel to the next; 0 with bit items
    std::uint8_t length;    // bytes
    std::uint8_t format;    // ValueFormat
    ItemRole role;
    std::int8_t bit;        // bit items: bit of channel 0 (channel n uses bit + n); -1 otherwise
    std::uint8_t resolution;  // converter bits kept in the item's bit count (calibrated modules)
    std::int16_t block;     // item group; -1: the block its register lies in
};

// A run of SDO sub-indexes mapping registers `reg`, `reg + step`, ...
struct SdoRow {
    std::uint8_t firstSub, lastSub;
    std::uint16_t reg;
    std::uint8_t step;
    std::uint8_t lengthRegs;
};

// Which family turns the class's format-20 items into text and back.
enum class SubFamily : std::uint8_t {
    Plain,          // no class-specific items
    Counter,        // 32-bit counters, low word first
    Bipolar,        // 16-bit bipolar inputs by range code
    OffsetBinary,   // 12-bit offset-binary inputs
    SignMagnitude,  // 14-bit sign-magnitude inputs with a range check
    Millivolt,      // 15-bit sign-magnitude millivolt inputs and 12-bit outputs
    Mixed,          // inputs with a state word and 12-bit outputs
    AnalogOut16,    // 16-bit outputs by range code
    Calibrated,     // calibrated inputs and outputs (coefficient tables)
    Encoder,        // counter/frequency channels and encoders
};

constexpr int kMaxItemTables = 3;

struct SubClassRow {
    std::uint16_t type;        // the slot type code this row serves
    std::uint16_t minHardVer;  // from this hardware version on
    const char* className;
    std::uint16_t ownCode;     // the type code the class reports as its own
    SubFamily family;
    std::uint8_t variant;      // family-specific: text set, shared coefficients
    std::uint16_t sdoBase;     // 0: no SDO objects
    std::span<const ItemRow> items[kMaxItemTables];
    std::span<const SdoRow> sdo;
};

// The identity items every sub module carries first, filled from its search slot.
struct IdentityRow {
    const char* key;
    std::uint8_t length;
    std::uint8_t format;
};
std::span<const IdentityRow> IdentityRows();

// The key of channel `channel` of a row.
std::string ItemKey(const ItemRow& row, int channel);

// The row for a slot's type code and hardware version; null when no class serves the type.
const SubClassRow* FindSubClass(std::uint16_t type, std::uint16_t hardVer);

// Every row, in table order (tools list and test them).
std::span<const SubClassRow> SubClassRows();

// The keys of a class in table order: its properties (identity first) or its data items.
std::vector<std::string> SubClassKeys(const SubClassRow& row, bool data);

// Variants of the bipolar family (their texts differ).
enum BipolarVariant : std::uint8_t { kBipolar4017 = 0, kBipolar4017E = 1, kBipolar9308 = 2 };
// Calibrated family: every input channel uses channel 0's coefficients.
constexpr std::uint8_t kCalibSharedCoefficients = 1;

}  // namespace vexa
