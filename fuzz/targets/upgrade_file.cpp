// Upgrade files chosen by the user: the framing checks and block reads of the firmware upgrade
// library. Byte 0 bit 0 set: the input is taken as it is; clear: the MD5 trailer is made to
// match, so that the checks behind the digest are reached.
#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "UpgradeFile.h"
#include "common/InputFile.h"

namespace {

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
    static const vexa::fuzz::InputFile input("vexa-fuzz-upf");
    const std::string& path = input.write(bytes.data(), bytes.size());
    fwl::CUpgradeFile file;
    if (!file.open(path.c_str())) {
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
