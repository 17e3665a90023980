// Upgrade files chosen by the user: the framing checks and block reads of the firmware upgrade
// library. Byte 0 bit 0 set: the input is taken as it is; clear: the MD5 trailer is made to
// match, so that the checks behind the digest are reached.
#include <openssl/evp.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "UpgradeFile.h"

namespace {

const std::string& filePath() {
    static const std::string path = [] {
        char name[] = "/tmp/vexa-fuzz-upf-XXXXXX";
        int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        std::atexit([] { std::remove(filePath().c_str()); });
        return std::string(name);
    }();
    return path;
}

void appendMd5(std::vector<std::uint8_t>& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &n, EVP_md5(), nullptr);
    bytes.insert(bytes.end(), digest, digest + n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::vector<std::uint8_t> bytes(data + 1, data + size);
    if (!(data[0] & 1)) appendMd5(bytes);
    if (std::FILE* f = std::fopen(filePath().c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    fwl::CUpgradeFile file;
    if (!file.open(filePath().c_str())) {
        if (!file.errorText()) __builtin_trap();
        return 0;
    }
    // Blocks as the transfer asks for them, the last one short.
    if (file.headerBlock().size() > fwl::CUpgradeFile::kMaxHeaderBlock) __builtin_trap();
    std::uint8_t block[4096];
    const std::size_t step = 1 + data[0] % sizeof block;
    for (std::uint32_t done = 0; done < file.payloadLength();) {
        const std::size_t n = std::min<std::size_t>(step, file.payloadLength() - done);
        if (!file.read(file.payloadOffset() + done, block, n)) __builtin_trap();
        done += static_cast<std::uint32_t>(n);
    }
    return 0;
}
