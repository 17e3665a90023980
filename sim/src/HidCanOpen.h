#pragma once
// The USB coupler's CANopen object image: downloads of the I/O mapping words (0x30 begin, 0x31
// word, 0x32 end) and of the SDO and PDO settings (0x20 begin, 0x21 entry, 0x22 end), and the
// length and entry queries that read them back (0x33/0x34, 0x23/0x24).
#include "HidCommands.h"

namespace vexa::sim::detail {

Outcome ioBegin(Coupler& c, const HidRequest& r, Bytes& body);
Outcome ioWord(Coupler& c, const HidRequest& r, Bytes& body);
Outcome ioEnd(Coupler& c, const HidRequest& r, Bytes& body);
Outcome ioLength(Coupler& c, const HidRequest& r, Bytes& body);
Outcome ioEntry(Coupler& c, const HidRequest& r, Bytes& body);
Outcome spdoBegin(Coupler& c, const HidRequest& r, Bytes& body);
Outcome spdoEntry(Coupler& c, const HidRequest& r, Bytes& body);
Outcome spdoEnd(Coupler& c, const HidRequest& r, Bytes& body);
Outcome spdoLengths(Coupler& c, const HidRequest& r, Bytes& body);
Outcome spdoQuery(Coupler& c, const HidRequest& r, Bytes& body);

}  // namespace vexa::sim::detail
