#pragma once
// How raw bytes become text and back, by format code 0..21.
#include <string>

#include "PropertyItem.h"

namespace vexa {

enum ValueFormat {
    kFmtByteDec = 0,
    kFmtByteHex = 1,
    kFmtHexBytes = 2,
    kFmtFloatSwapped = 3,
    kFmtBe16Dec = 4,
    kFmtBe16Hex = 5,
    kFmtBe32Dec = 6,
    kFmtBe32Hex = 7,
    kFmtBe32Unsigned = 8,
    kFmtVersion = 9,
    kFmtModelName = 10,
    kFmtHost16Hex = 11,
    kFmtMac = 12,
    kFmtIPv4 = 13,
    kFmtBit = 14,
    kFmtTenths = 15,
    kFmtText = 16,
    kFmtDateBytes = 18,
    kFmtPackedDate = 19,
    kFmtClass = 20,
    kFmtSerial = 21,
};

// Renders item.raw into item.text. Formats without a rendering (and format 20, which the
// sub-module class renders) leave the text as it is.
void renderText(PropertyItem& item);

// Sets item.raw from `text` by the item's format. Returns false, leaving the raw bytes as they
// were, when the text does not parse. Formats that have no parse ("display only") return true
// and keep the raw bytes.
bool parseText(PropertyItem& item, const std::string& text);

// True when the format turns text back into raw bytes.
bool formatParses(int format);

}  // namespace vexa
