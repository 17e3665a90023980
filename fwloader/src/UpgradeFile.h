#pragma once
// The upgrade file (.upf): framing and MD5 trailer check, then block reads of the payload.
//
//   0   34      not read (covered by the digest)
//   34  4       u32 LE H, offset of the header block
//   38  4       u32 LE P, offset of the payload
//   H   P - H   header block, at most 128 bytes, sent verbatim in the start command
//   P   L-16-P  payload, at least 8 bytes, sent in numbered blocks
//   L-16 16     MD5 of bytes 0 .. L-17
#include <cstdint>
#include <string>
#include <vector>

namespace fwl {

class CUpgradeFile {
public:
    static constexpr std::uint32_t kMaxHeaderBlock = 128;

    CUpgradeFile() = default;
    ~CUpgradeFile();
    CUpgradeFile(const CUpgradeFile&) = delete;
    CUpgradeFile& operator=(const CUpgradeFile&) = delete;

    // Runs every check in order; on failure the file is closed and errorText() tells why.
    // The file stays open for block reads after a successful check.
    bool open(const char* path);
    const char* errorText() const { return error_; }

    const std::vector<std::uint8_t>& headerBlock() const { return header_; }
    std::uint64_t payloadOffset() const { return payloadOffset_; }
    std::uint32_t payloadLength() const { return payloadLength_; }

    // Reads exactly n bytes at file offset `offset`; false on a short read.
    bool read(std::uint64_t offset, std::uint8_t* out, std::size_t n) const;
    void close();

private:
    bool fail(const char* text);

    int fd_ = -1;
    const char* error_ = "";
    std::vector<std::uint8_t> header_;
    std::uint64_t payloadOffset_ = 0;
    std::uint32_t payloadLength_ = 0;
};

}  // namespace fwl
