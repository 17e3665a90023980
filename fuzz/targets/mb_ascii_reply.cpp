// Modbus ASCII replies: delimiters, hex digits, LRC, and the PDU checks.
#include "CMbSerialMsg.h"
#include "common/MbFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vexa::mb::CMbSerialMsg msg(vexa::mb::CMbSerialMsg::kAscii);
    vexa::mb::fuzz::exchange(msg, data, size);
    return 0;
}
