#include "UpgradeFile.h"

#include "Md5.h"
#include "TransferText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace fwl {

namespace {

constexpr std::uint64_t kMinFileLength = 98;
constexpr std::uint64_t kOffsetsAt = 34;
constexpr std::uint64_t kDigestLength = 16;
constexpr std::uint64_t kMinPayload = 8;
// Lengths are 32-bit in the format; a file of 4 GiB or more cannot be described by it.
constexpr std::uint64_t kMaxFileLength = 0xFFFFFFFFull;

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

CUpgradeFile::~CUpgradeFile() { close(); }

void CUpgradeFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool CUpgradeFile::fail(const char* text) {
    close();
    error_ = text;
    return false;
}

bool CUpgradeFile::open(const char* path) {
    close();
    if (!path || !*path) return fail(kTextFileOpen);
    fd_ = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return fail(kTextFileOpen);
    struct stat st{};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return fail(kTextFileOpen);

    const std::uint64_t length = static_cast<std::uint64_t>(st.st_size);
    if (length < kMinFileLength || length > kMaxFileLength) return fail(kTextFileFormat);

    std::uint8_t offsets[8];
    if (!read(kOffsetsAt, offsets, sizeof offsets)) return fail(kTextFileFormat);
    const std::uint64_t h = le32(offsets);
    const std::uint64_t p = le32(offsets + 4);
    // 64-bit arithmetic: no offset near 2^32 can wrap past these bounds.
    if (h > p || p - h > kMaxHeaderBlock || p + kDigestLength + kMinPayload > length)
        return fail(kTextFileFormat);

    header_.assign(static_cast<std::size_t>(p - h), 0);
    if (!read(h, header_.data(), header_.size())) return fail(kTextFileFormat);

    std::uint8_t stored[kDigestLength];
    if (!read(length - kDigestLength, stored, sizeof stored)) return fail(kTextFileFormat);
    const CMd5A::Digest actual = CMd5A::fileRegion(fd_, 0, length - kDigestLength);
    if (std::memcmp(actual.data(), stored, sizeof stored) != 0) return fail(kTextFileFormat);

    payloadOffset_ = p;
    payloadLength_ = static_cast<std::uint32_t>(length - kDigestLength - p);
    error_ = "";
    return true;
}

bool CUpgradeFile::read(std::uint64_t offset, std::uint8_t* out, std::size_t n) const {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace fwl
