#include "wire/Modbus.h"

#include <array>

namespace vexa::wire {

namespace {

constexpr std::uint8_t kColon = ':', kCr = '\r', kLf = '\n';
constexpr std::size_t kCrcBytes = 2;
// Address and function: the least a frame carries besides its check.
constexpr std::size_t kMinBody = 2;

constexpr std::array<std::uint16_t, 256> makeCrcTable() {
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t c = static_cast<std::uint16_t>(i);
        for (int b = 0; b < 8; ++b) c = (c & 1) ? static_cast<std::uint16_t>((c >> 1) ^ 0xA001) : static_cast<std::uint16_t>(c >> 1);
        t[i] = c;
    }
    return t;
}

int hexValue(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

FrameCheck unframeRtu(const std::uint8_t* f, std::size_t n, const std::uint8_t*& data, std::size_t& len) {
    if (n < kCrcBytes) return FrameCheck::Short;
    const std::uint16_t crc = crc16(f, n - kCrcBytes);
    if (f[n - 2] != static_cast<std::uint8_t>(crc) || f[n - 1] != static_cast<std::uint8_t>(crc >> 8))
        return FrameCheck::Bad;
    // FF FF is the CRC of nothing: checked, but still no frame.
    if (n < kMinBody + kCrcBytes) return FrameCheck::Short;
    data = f;
    len = n - kCrcBytes;
    return FrameCheck::Ok;
}

FrameCheck unframeAscii(const std::uint8_t* f, std::size_t n, std::uint8_t* scratch, std::size_t cap,
                        const std::uint8_t*& data, std::size_t& len) {
    if (n < 3) return FrameCheck::Short;
    if (f[0] != kColon || f[n - 2] != kCr || f[n - 1] != kLf) return FrameCheck::Bad;
    const int got = decodeHex(f + 1, static_cast<int>(n - 3), scratch, static_cast<int>(cap));
    if (got < 0) return FrameCheck::Bad;
    if (got < 1) return FrameCheck::Short;
    const auto count = static_cast<std::size_t>(got);
    if (lrc(scratch, count - 1) != scratch[count - 1]) return FrameCheck::Bad;
    if (count < kMinBody + 1) return FrameCheck::Short;
    data = scratch;
    len = count - 1;
    return FrameCheck::Ok;
}

}  // namespace

std::uint16_t crc16(const std::uint8_t* data, std::size_t n) {
    static constexpr auto kTable = makeCrcTable();
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) crc = static_cast<std::uint16_t>((crc >> 8) ^ kTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}

std::uint8_t lrc(const std::uint8_t* data, std::size_t n) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum = static_cast<std::uint8_t>(sum + data[i]);
    return static_cast<std::uint8_t>(-sum);
}

void appendHex(std::vector<std::uint8_t>& out, std::uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out.push_back(static_cast<std::uint8_t>(kDigits[byte >> 4]));
    out.push_back(static_cast<std::uint8_t>(kDigits[byte & 0x0F]));
}

int decodeHex(const std::uint8_t* text, int n, std::uint8_t* out, int cap) {
    if (n < 0 || n % 2 != 0 || n / 2 > cap) return -1;
    for (int i = 0; i < n; i += 2) {
        int hi = hexValue(text[i]), lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0) return -1;
        out[i / 2] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return n / 2;
}

void frameSerial(SerialMode mode, const std::uint8_t* head, std::size_t headLen, const std::uint8_t* body,
                 std::size_t bodyLen, std::vector<std::uint8_t>& out) {
    out.clear();
    if (mode == SerialMode::Rtu) {
        out.reserve(headLen + bodyLen + kCrcBytes);
        if (headLen) out.insert(out.end(), head, head + headLen);
        if (bodyLen) out.insert(out.end(), body, body + bodyLen);
        const std::uint16_t crc = crc16(out.data(), out.size());
        out.push_back(static_cast<std::uint8_t>(crc));
        out.push_back(static_cast<std::uint8_t>(crc >> 8));
        return;
    }
    out.reserve(1 + 2 * (headLen + bodyLen + 1) + 2);
    out.push_back(kColon);
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < headLen; ++i) {
        appendHex(out, head[i]);
        sum = static_cast<std::uint8_t>(sum + head[i]);
    }
    for (std::size_t i = 0; i < bodyLen; ++i) {
        appendHex(out, body[i]);
        sum = static_cast<std::uint8_t>(sum + body[i]);
    }
    appendHex(out, static_cast<std::uint8_t>(-sum));
    out.push_back(kCr);
    out.push_back(kLf);
}

FrameCheck unframeSerial(SerialMode mode, const std::uint8_t* frame, std::size_t n, std::uint8_t* scratch,
                         std::size_t cap, const std::uint8_t*& data, std::size_t& len) {
    if (!frame) return FrameCheck::Short;
    if (mode == SerialMode::Rtu) return unframeRtu(frame, n, data, len);
    if (!scratch) return FrameCheck::Bad;
    return unframeAscii(frame, n, scratch, cap, data, len);
}

}  // namespace vexa::wire
