#pragma once
// One upgrade: the start command with the header block, then numbered data blocks of the size
// the device grants, with resends, rewinds, a bound on fruitless rounds, and progress counting.
#include "BootDeviceEntry.h"
#include "CommDriver.h"
#include "UpgradeFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fwl {

class CSendFirware : public CCommDriver {
public:
    // `entry` is the device's row: its progress counts what `link` carried.
    CSendFirware(BootDeviceEntry& entry, CBootLink& link, std::uint32_t bufferSize = 4096);

    // Runs the upgrade with the file at `path`, records code and text in the device's row and
    // returns the code (0 = complete).
    int update(const char* path);

private:
    struct Outcome {
        int code;
        std::string text;
    };
    enum class Phase { Start, Data };
    enum class Sent { Ok, LinkFailed, FileFailed };

    Outcome transfer();
    Sent sendStart();
    Sent sendBlock();
    int receiveReply();

    BootDeviceEntry& entry_;
    const std::uint32_t bufferSize_;
    std::vector<std::uint8_t> packet_;  // command bytes plus one block
    CUpgradeFile file_;
    std::uint32_t blockSize_ = 0;
    std::uint32_t block_ = 0;       // number of the block being sent, from 1
    std::uint64_t offset_ = 0;      // file offset of that block
    std::uint32_t sent_ = 0;        // its length
};

}  // namespace fwl
