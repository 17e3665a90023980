// Modbus TCP replies: the MBAP header and the PDU checks of every function.
#include "CMbTcpMsg.h"
#include "common/MbFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vexa::mb::CMbTcpMsg msg;
    vexa::mb::fuzz::exchange(msg, data, size);
    return 0;
}
