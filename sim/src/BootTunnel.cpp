#include "BootTunnel.h"

#include <algorithm>

namespace vexa::sim::detail {

namespace {

// Register 1 carries an odd byte count (the last byte pads the register), register 2 an even one.
constexpr int kOddRegister = 1;
constexpr int kEvenRegister = 2;
// What a USB read hands out where the boot loader has nothing: a byte the frame hunt skips.
constexpr std::uint8_t kFiller = 0x00;

void put16(std::uint8_t* at, std::uint16_t v) {
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

BootLoaderConfig bootConfigFor(const Identity& id) {
    BootLoaderConfig config;
    config.deviceType = id.type;
    config.hardwareVersion = id.hardVer;
    config.firmwareVersion = id.softVer;
    // Device info: series "VEXA" (read most significant byte first), model = type, versions,
    // serial number.
    config.deviceInfo.fill(0);
    const std::uint8_t series[4] = {'A', 'X', 'E', 'V'};
    std::copy(series, series + 4, config.deviceInfo.begin());
    put16(&config.deviceInfo[4], id.type);
    put16(&config.deviceInfo[8], id.hardVer);
    put16(&config.deviceInfo[10], id.softVer);
    std::copy(id.serial.begin(), id.serial.end(), config.deviceInfo.begin() + 12);
    return config;
}

BootTunnel::BootTunnel(CouplerKind wire, const BootLoaderConfig& config) : wire_(wire), loader_(config) {}

bool BootTunnel::writeRegisters(int start, const std::uint8_t* data, int len) {
    if ((start != kOddRegister && start != kEvenRegister) || len <= 0) return false;
    const int bytes = start == kOddRegister ? len - 1 : len;
    if (bytes > 0) loader_.write(data, static_cast<std::size_t>(bytes));
    return true;
}

bool BootTunnel::readRegisters(int start, int count, std::uint8_t* out) {
    if ((start != kOddRegister && start != kEvenRegister) || count <= 0) return false;
    const std::size_t bytes = static_cast<std::size_t>(count) * 2;
    std::fill_n(out, bytes, kFiller);
    if (wire_ == CouplerKind::Hid) {
        // The library hands the first 2c - 2 bytes of a paged read on, with no count of its own.
        loader_.read(out, bytes - 2);
        return true;
    }
    // [n][n stream bytes]: n leaves the register's padding out of what the host may take.
    const std::size_t room = std::min<std::size_t>(bytes - static_cast<std::size_t>(start), 255);
    out[0] = static_cast<std::uint8_t>(loader_.read(out + 1, room));
    return true;
}

}  // namespace vexa::sim::detail
