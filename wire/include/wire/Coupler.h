#pragma once
// The couplers' private frames, for every library that talks to them: the Ethernet coupler's
// datagrams (13-byte header: 0xA1, command, four parameter bytes, the coupler's MAC, 0x0A) and
// the RS-485 coupler's private Modbus functions (address, function, "KVMB", sub-function), and
// the text form of a MAC address.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexa::wire {

// --- Ethernet coupler ---
constexpr std::uint8_t kEthStart = 0xA1;
constexpr std::uint8_t kEthHeaderEnd = 0x0A;
constexpr int kEthHeaderBytes = 13;
constexpr int kEthMacAt = 6;

enum EthCommand : std::uint8_t {
    kEthReadMain = 0x01,
    kEthWriteMain = 0x02,
    kEthSearchSub = 0x03,
    kEthReadSub = 0x04,
    kEthWriteSubData = 0x05,
    kEthReboot = 0x06,
    kEthRebootSub = 0x07,
    kEthWriteSubProp = 0x09,
};

// A sub-module search reply: the header, then eight 15-byte records of the sub module's
// address (0 = empty slot) and its identity: manufacturer, type, mode, hardware and software
// version (big-endian words) and four serial bytes.
constexpr int kEthSubRecords = 8;
constexpr int kEthSubRecordBytes = 15;
constexpr int kEthRecordModeAt = 5;
constexpr int kEthRecordSerialAt = 11;

// Replaces `out` with the header; a null `mac` sends zeros.
void ethHeader(std::vector<std::uint8_t>& out, std::uint8_t command, std::uint8_t p0, std::uint8_t p1, std::uint8_t p2,
               std::uint8_t p3, const std::uint8_t* mac);
// A sub-module register write (command kEthWriteSubData or kEthWriteSubProp): the header with
// sub address, first register and register count, the module's identity as its search record
// gave it (mode word, four serial bytes; null = zeros), then `bytes` bytes of data.
void ethSubWrite(std::vector<std::uint8_t>& out, std::uint8_t command, const std::uint8_t* mac, int subAddr,
                 int startReg, std::uint16_t mode, const std::uint8_t* serial, const std::uint8_t* data, int bytes);

// --- RS-485 coupler ---
constexpr std::uint8_t kFnReadRegisters = 0x03;
constexpr std::uint8_t kFnWriteRegisters = 0x10;
constexpr std::uint8_t kFnSearch = 0x46;
constexpr std::uint8_t kFnPrivate = 0x47;
inline constexpr std::uint8_t kPrivateMagic[4] = {'K', 'V', 'M', 'B'};
constexpr int kPrivateMagicAt = 2;
constexpr int kPrivateSubFunctionAt = 6;

enum PrivateSubFunction : std::uint8_t {
    kSfStation = 0x01,    // with kFnSearch
    kSfSubSearch = 0x02,  // with kFnSearch
    kSfReadMain = 0x01,
    kSfWriteMain = 0x02,
    kSfReboot = 0x03,
    kSfReadSubProp = 0x04,
    kSfWriteSubProp = 0x05,
    kSfRebootSub = 0x06,
    kSfBootEnter = 0x08,  // boot frames carried to the coupler's boot loader
    kSfBootRead = 0x09,
    kSfBootWrite = 0x0A,
};

// Replaces `out` with the head of a private frame: address, function, "KVMB", sub-function.
void serialPrivate(std::vector<std::uint8_t>& out, int address, std::uint8_t function, std::uint8_t subFunction);
// Appends a register block as a write carries it: first register and register count
// (big-endian words), the byte count, the data.
void appendRegisterWrite(std::vector<std::uint8_t>& out, int startReg, const std::uint8_t* data, int bytes);

// --- MAC text ---
// "00:1A:2b:..." (six groups of one or two hex digits, either case, separated by ':', blanks
// around the whole allowed) to six bytes; false for anything else.
bool parseMac(const char* text, std::uint8_t out[6]);
// Six bytes as "00:1A:2B:3C:4D:5E".
std::string macText(const std::uint8_t mac[6]);

}  // namespace vexa::wire
