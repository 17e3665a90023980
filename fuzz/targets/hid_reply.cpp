// USB coupler replies to the CANopen mapping and firmware commands: the mapping downloads, the
// read-back of the four lists, and the firmware download, each answered by a script of reports
// in place of the coupler. Whatever comes back, the lists stay within what a coupler can hold
// and progress never runs backwards or past 100.
//
// Input: operation, parameter, then the replies, each a length byte and that many bytes (0: no
// reply; bit 7 set: the frame's length byte, check and closing byte are made to match, so
// that the checks behind them are reached).
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "common/WireFuzz.h"
#include "hid/CHidMapping.h"
#include "hid/CHidUpdate.h"
#include "main/CUsbMain.h"
#include "msg/CUsbMsg.h"
#include "transfer/CTransfer.h"

using namespace vexa;
using namespace vexa::fuzz;

namespace {

constexpr std::size_t kHeader = 2;
constexpr int kReportPayload = 64;  // one HID report less its report id
constexpr int kFrameOverhead = 5;   // start, length, command, check, end

// Every request goes out; each reply is the next record of the script.
class ScriptedTransfer final : public CTransfer {
public:
    ScriptedTransfer(const std::uint8_t* bytes, std::size_t n) : bytes_(bytes), n_(n) {}

    int Open() override { return 1; }
    int Close() override { return 0; }
    int Send(CVEXAMsg& msg) override {
        const auto& frame = msg.sendBuffer();
        return frame.empty() || frame.size() > kReportPayload ? 0 : static_cast<int>(frame.size());
    }
    int Receive(CVEXAMsg& msg) override {
        if (at_ >= n_) return 0;
        const std::uint8_t head = bytes_[at_++];
        const int len = std::min<int>({head & 0x7F, kReportPayload, static_cast<int>(n_ - at_)});
        if (len == 0) return 0;
        std::uint8_t* r = msg.recvBuffer();
        std::memcpy(r, bytes_ + at_, static_cast<std::size_t>(len));
        at_ += static_cast<std::size_t>(len);
        if ((head & 0x80) && len >= kFrameOverhead) {
            r[0] = 0x7E;
            r[1] = static_cast<std::uint8_t>(len);
            std::uint8_t x = 0;
            for (int i = 0; i < len - 2; ++i) x ^= r[i];
            r[len - 2] = x;
            r[len - 1] = 0x7E;
        }
        msg.setRecvLength(len);
        return len + 1;
    }

private:
    const std::uint8_t* bytes_;
    std::size_t n_;
    std::size_t at_ = 0;
};

// A USB coupler whose transport is the script.
class ScriptedCoupler : public CUsbMain {
public:
    ScriptedCoupler(const std::uint8_t* bytes, std::size_t n) {
        transfer_ = std::make_unique<ScriptedTransfer>(bytes, n);
    }
};

int g_lastPercent = 0;
void onProgress(unsigned int message, intptr_t, intptr_t percent) {
    if (message != KO_UPDATE_PROGRESS_MESSAGE || percent < g_lastPercent || percent > 100) __builtin_trap();
    g_lastPercent = static_cast<int>(percent);
}

void readBack(CHidMapping& mapping) {
    int counts[4];
    const int rc = mapping.ReadBack(counts);
    const int limits[4] = {256, CHidMapping::kMaxSdo, CHidMapping::kMaxTpdo, CHidMapping::kMaxRpdo};
    for (int i = 0; i < 4; ++i)
        if (counts[i] < 0 || counts[i] > limits[i] || (rc != 0 && counts[i] != 0)) __builtin_trap();
    std::vector<int> io(static_cast<std::size_t>(counts[0]) + 1);
    std::vector<unsigned char> sdo((static_cast<std::size_t>(counts[1]) + 1) * sizeof(SdoMapRecord));
    std::vector<unsigned char> tpdo((static_cast<std::size_t>(counts[2]) + 1) * CHidMapping::kPdoRecordBytes);
    std::vector<unsigned char> rpdo((static_cast<std::size_t>(counts[3]) + 1) * CHidMapping::kPdoRecordBytes);
    mapping.CopyIoMap(io.data(), counts[0]);
    mapping.CopySdoMap(sdo.data(), counts[1]);
    mapping.CopyTpdoMap(tpdo.data(), counts[2]);
    mapping.CopyRpdoMap(rpdo.data(), counts[3]);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A refused firmware piece is tried again at once.
    setenv("VEXA_TEST_HID_RETRY_MS", "0", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) return 0;
    const int op = data[0] % 5;
    const int param = data[1];
    ScriptedCoupler coupler(data + kHeader, size - kHeader);
    fillSlots(coupler, kOriginUsb);
    CVEXASubMgr subs;
    CHidMapping mapping(coupler, subs);
    switch (op) {
        case 0: readBack(mapping); break;
        case 1: mapping.DownloadIO(); break;
        case 2: {
            for (int i = 0; i < param % 4; ++i) {
                const PdoMapEntry e{{0x18, static_cast<std::uint8_t>(i), 1, 2, 3, 4}, static_cast<std::uint8_t>(i & 1), 0};
                mapping.AddPdoSet(&e, sizeof e);
            }
            mapping.DownloadSPDO();
            break;
        }
        case 3: CHidUpdate(coupler).Begin(); break;
        case 4: {
            // Up to a few pieces, the last one short.
            std::vector<std::uint8_t> image(static_cast<std::size_t>(param % 8) * 13, 0x5A);
            g_lastPercent = 0;
            CHidUpdate(coupler).Download(image.data(), static_cast<int>(image.size()), onProgress);
            break;
        }
    }
    return 0;
}
