#pragma once
// 12-bit analog outputs chosen by an output type (the mixed modules 0x3402 and 0x3412):
// type 0 is 0-10 V, types 1 and 2 (0-20 mA, 4-20 mA) span 0-20 mA over the full code 4095.
#include <string>

#include "main/PropertyItem.h"

namespace vexa {

// How the item shows its output: the safe value and plain outputs follow the type, while the
// voltage and current views of one output show zero under the other kind of type.
enum class OutputView { Value, Voltage, Current };

void formatOutput12(PropertyItem& item, int type, OutputView view);
// Limits the value to 0..full scale before converting (a negative text is 0, not a wrapped
// code); under a type without a scale the raw value stays. False for a text without a number.
bool parseOutput12(PropertyItem& item, int type, const std::string& text);

}  // namespace vexa
