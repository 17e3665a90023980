#include "UpfBuilder.h"

#include "sim/boot/BootHeader.h"

#include <openssl/evp.h>

#include <cstdio>
#include <random>

namespace fwtest {

namespace {

void put32(Bytes& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

Bytes md5(const Bytes& data) {
    Bytes digest(16);
    unsigned int len = 0;
    EVP_Digest(data.data(), data.size(), digest.data(), &len, EVP_md5(), nullptr);
    return digest;
}

}  // namespace

Bytes buildUpf(const UpfLayout& layout) {
    const Bytes header = layout.header.value_or(vexa::sim::BootHeader::forImage(layout.payload).encode(10));
    Bytes file(42 + layout.gap, 0x5A);
    const char tag[] = "VEXA firmware upgrade file";
    std::copy(tag, tag + sizeof tag - 1, file.begin());
    const std::size_t h = file.size();
    file.insert(file.end(), header.begin(), header.end());
    const std::size_t p = file.size();
    file.insert(file.end(), layout.payload.begin(), layout.payload.end());
    put32(file, 34, layout.h.value_or(static_cast<std::uint32_t>(h)));
    put32(file, 38, layout.p.value_or(static_cast<std::uint32_t>(p)));
    const Bytes digest = md5(file);
    file.insert(file.end(), digest.begin(), digest.end());
    if (layout.flipByte) file.at(*layout.flipByte) ^= 0x01;
    if (layout.badDigest) file.back() ^= 0x80;
    return file;
}

Bytes makePayload(std::size_t n, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(i % 7 == 0 ? 0xFE : random());
    return out;
}

bool writeBytes(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace fwtest
