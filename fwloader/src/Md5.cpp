#include "Md5.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace fwl {

CMd5A::Digest CMd5A::fileRegion(int fd, std::uint64_t start, std::uint64_t count) {
    Digest digest{};
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1) return digest;

    std::uint8_t piece[1024];
    std::uint64_t done = 0;
    while (done < count) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof piece, count - done));
        const ssize_t got = ::pread(fd, piece, want, static_cast<off_t>(start + done));
        if (got != static_cast<ssize_t>(want)) return digest;
        if (EVP_DigestUpdate(ctx.get(), piece, want) != 1) return digest;
        done += want;
    }
    unsigned int len = 0;
    Digest out{};
    if (EVP_DigestFinal_ex(ctx.get(), out.data(), &len) != 1 || len != out.size()) return digest;
    return out;
}

}  // namespace fwl
