// Firmware download to the USB coupler through the exports: piecing, numbering, padding,
// progress, the retry rule and the lengths that must not be sent.
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "HidSupport.h"

using namespace vexa;
using namespace vexa::test;

namespace {

struct Progress {
    unsigned message;
    intptr_t wParam, lParam;
};
std::vector<Progress> gProgress;

void recordProgress(unsigned int message, intptr_t wParam, intptr_t lParam) {
    gProgress.push_back({message, wParam, lParam});
}

std::vector<std::uint8_t> imageOf(size_t n, std::uint32_t seed = 7) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v) b = static_cast<std::uint8_t>(rng());
    return v;
}

// The image as the coupler keeps it: whole pieces, the tail padded with 0xFF.
std::vector<std::uint8_t> padded(std::vector<std::uint8_t> v) {
    v.resize((v.size() + 31) / 32 * 32, 0xFF);
    return v;
}

constexpr std::uint8_t kUpdate = 0xA5;

// The piece numbers the coupler received, in order.
std::vector<int> pieceNumbers(const sim::SimCoupler* c) {
    std::vector<int> out;
    for (const auto& f : receivedFrames(c, kUpdate))
        if (!f.payload.empty() && f.payload[0] == 0xAA) out.push_back(f.payload[1] << 8 | f.payload[2]);
    return out;
}

size_t endRequests(const sim::SimCoupler* c) {
    size_t n = 0;
    for (const auto& f : receivedFrames(c, kUpdate)) n += f.payload == sim::Bytes{0x5A};
    return n;
}

class HidUpdateTest : public HidCouplerTest {
protected:
    void SetUp() override {
        HidCouplerTest::SetUp();
        gProgress.clear();
    }
    // Begin, then the image; the coupler's log holds only the image's requests.
    int download(const std::vector<std::uint8_t>& image, KO_PROGRESSPROC progress = recordProgress) {
        int rc = KO_HidUpdateBegin(handle);
        if (rc != RC_OK) return rc;
        coupler->clearLog();
        return KO_HidUpdate(handle, image.data(), static_cast<int>(image.size()), progress);
    }
};

}  // namespace

TEST_F(HidUpdateTest, SmallImagesArePiecedNumberedAndKeptByteExact) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    const struct {
        size_t length;
        std::vector<int> numbers;
    } cases[] = {
        {1, {0xFFFF}},
        {32, {0xFFFF}},
        {33, {0, 0xFFFF}},
        {64, {0, 0xFFFF}},
        {100, {0, 1, 2, 0xFFFF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        gProgress.clear();
        auto image = imageOf(c.length, static_cast<std::uint32_t>(c.length));
        ASSERT_EQ(download(image), RC_OK);
        EXPECT_EQ(pieceNumbers(coupler), c.numbers);
        // Every piece frame carries 32 data bytes: 40 bytes in all.
        auto frames = receivedFrames(coupler, kUpdate);
        ASSERT_EQ(frames.size(), c.numbers.size() + 1);
        for (size_t i = 0; i + 1 < frames.size(); ++i) EXPECT_EQ(frames[i].length, 40);
        EXPECT_EQ(frames.back().payload, sim::Bytes{0x5A});
        EXPECT_EQ(coupler->firmwareImage(), padded(image));
        EXPECT_FALSE(coupler->inUpdateMode());

        // Progress before each piece as (i + 1) × 100 ÷ (count + 10), and 100 after the end.
        const int count = static_cast<int>(c.numbers.size());
        ASSERT_EQ(gProgress.size(), c.numbers.size() + 1);
        for (int i = 0; i < count; ++i) EXPECT_EQ(gProgress[static_cast<size_t>(i)].lParam, (i + 1) * 100 / (count + 10));
        EXPECT_EQ(gProgress.back().lParam, 100);
        for (const auto& p : gProgress) {
            EXPECT_EQ(p.message, KO_UPDATE_PROGRESS_MESSAGE);
            EXPECT_EQ(p.wParam, 0);
        }
    }
}

TEST_F(HidUpdateTest, FullImageArrivesByteForByte) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    auto image = imageOf(0xFFFF);  // the largest image a coupler file may hold
    ASSERT_EQ(download(image), RC_OK);
    EXPECT_EQ(coupler->firmwareImage(), padded(image));
    EXPECT_EQ(coupler->firmwareUpdates(), 1u);
    EXPECT_EQ(coupler->requestCount(), 2048u + 1);
    auto numbers = pieceNumbers(coupler);  // the log keeps only the latest requests
    ASSERT_GE(numbers.size(), 2u);
    EXPECT_EQ(numbers[numbers.size() - 2], 2046);
    EXPECT_EQ(numbers.back(), 0xFFFF);
    ASSERT_EQ(gProgress.size(), 2049u);
    for (size_t i = 1; i < gProgress.size(); ++i) EXPECT_GE(gProgress[i].lParam, gProgress[i - 1].lParam);
    EXPECT_EQ(gProgress[2047].lParam, 2048 * 100 / 2058);
}

TEST_F(HidUpdateTest, EmptyImageSendsOnlyTheEndRequest) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    ASSERT_EQ(download({}), RC_OK);
    auto frames = receivedFrames(coupler);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].payload, sim::Bytes{0x5A});
    EXPECT_EQ(coupler->firmwareUpdates(), 1u);
    EXPECT_TRUE(coupler->firmwareImage().empty());
    ASSERT_EQ(gProgress.size(), 1u);
    EXPECT_EQ(gProgress[0].lParam, 100);
}

TEST_F(HidUpdateTest, BadLengthsAreRefusedBeforeAnythingIsSent) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    ASSERT_EQ(KO_HidUpdateBegin(handle), RC_OK);
    coupler->clearLog();
    std::uint8_t small[4] = {};
    EXPECT_EQ(KO_HidUpdate(handle, small, -1, recordProgress), RC_HID_NOT_SENT);
    EXPECT_EQ(KO_HidUpdate(handle, small, -0x7FFFFFFF - 1, recordProgress), RC_HID_NOT_SENT);
    EXPECT_EQ(KO_HidUpdate(handle, nullptr, 10, recordProgress), RC_HID_NOT_SENT);
    // One piece more than 16-bit numbers can tell from the end mark.
    EXPECT_EQ(KO_HidUpdate(handle, small, 0xFFFF * 32 + 1, recordProgress), RC_HID_NOT_SENT);
    EXPECT_EQ(KO_HidUpdate(handle, small, 0x7FFFFFFF, recordProgress), RC_HID_NOT_SENT);
    EXPECT_EQ(coupler->requestCount(), 0u);
    EXPECT_TRUE(gProgress.empty());
    EXPECT_TRUE(coupler->inUpdateMode());
}

TEST_F(HidUpdateTest, SilentCouplerGivesNoReplyAfterFiveTries) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    coupler->setSilent(true);
    EXPECT_EQ(KO_HidUpdateBegin(handle), RC_HID_NO_REPLY);
    EXPECT_EQ(coupler->requestCount(), 5u);
    coupler->clearLog();
    auto image = imageOf(40);
    EXPECT_EQ(KO_HidUpdate(handle, image.data(), 40, recordProgress), RC_HID_NO_REPLY);
    // Piece 0 five times; no second piece, no end request, and no 100.
    EXPECT_EQ(pieceNumbers(coupler), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(endRequests(coupler), 0u);
    ASSERT_EQ(gProgress.size(), 1u);
    EXPECT_LT(gProgress[0].lParam, 100);
}

TEST_F(HidUpdateTest, RefusedRequestsAreTriedFiveTimes) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    for (int i = 0; i < 2; ++i) coupler->pushHidScript({kUpdate, {0x55}, sim::HidScriptKind::Refuse, {}});
    EXPECT_EQ(KO_HidUpdateBegin(handle), RC_OK);
    EXPECT_EQ(coupler->requestCount(), 3u);
    EXPECT_TRUE(coupler->inUpdateMode());

    coupler->clearLog();
    for (int i = 0; i < 5; ++i) coupler->pushHidScript({kUpdate, {0x55}, sim::HidScriptKind::Refuse, {}});
    EXPECT_EQ(KO_HidUpdateBegin(handle), RC_HID_NOT_OK);
    EXPECT_EQ(coupler->requestCount(), 5u);

    // A piece refused five times ends the download with no end request.
    ASSERT_EQ(KO_HidUpdateBegin(handle), RC_OK);
    coupler->clearLog();
    for (int i = 0; i < 5; ++i) coupler->pushHidScript({kUpdate, {0xAA, 0x00, 0x01}, sim::HidScriptKind::Refuse, {}});
    auto image = imageOf(100);
    EXPECT_EQ(KO_HidUpdate(handle, image.data(), 100, nullptr), RC_HID_NOT_OK);
    EXPECT_EQ(pieceNumbers(coupler), (std::vector<int>{0, 1, 1, 1, 1, 1}));
    EXPECT_EQ(endRequests(coupler), 0u);
    EXPECT_EQ(coupler->firmwareUpdates(), 0u);

    // An end refused five times is the download's result too.
    ASSERT_EQ(KO_HidUpdateBegin(handle), RC_OK);
    for (int i = 0; i < 5; ++i) coupler->pushHidScript({kUpdate, {0x5A}, sim::HidScriptKind::Refuse, {}});
    gProgress.clear();
    EXPECT_EQ(KO_HidUpdate(handle, image.data(), 100, recordProgress), RC_HID_NOT_OK);
    ASSERT_FALSE(gProgress.empty());
    EXPECT_LT(gProgress.back().lParam, 100);
}

TEST_F(HidUpdateTest, LostPiecesAndStrayRepliesAreSentAgainAndTheImageStaysExact) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    ASSERT_EQ(KO_HidUpdateBegin(handle), RC_OK);
    coupler->clearLog();
    // Piece 2 lost on its way; piece 4 answered as if it were piece 3; piece 5 answered with
    // another step. None of them was taken, and each is sent again.
    coupler->pushHidScript({kUpdate, {0xAA, 0x00, 0x02}, sim::HidScriptKind::Lose, {}});
    coupler->pushHidScript({kUpdate, {0xAA, 0x00, 0x04}, sim::HidScriptKind::Reply, {0xAA, 0x00, 0x03}});
    coupler->pushHidScript({kUpdate, {0xAA, 0x00, 0x05}, sim::HidScriptKind::Reply, {0x55}});
    auto image = imageOf(7 * 32 + 5);
    ASSERT_EQ(KO_HidUpdate(handle, image.data(), static_cast<int>(image.size()), nullptr), RC_OK);
    EXPECT_EQ(pieceNumbers(coupler), (std::vector<int>{0, 1, 2, 2, 3, 4, 4, 5, 5, 6, 0xFFFF}));
    EXPECT_EQ(coupler->firmwareImage(), padded(image));

    // The reply to piece 1 lost after the coupler stored it: the repeat overwrites its place.
    // The reply to piece 2 preceded by the stale one of piece 1: not taken for piece 2.
    ASSERT_EQ(KO_HidUpdateBegin(handle), RC_OK);
    coupler->clearLog();
    coupler->pushFault({sim::FaultKind::None});
    coupler->pushFault({sim::FaultKind::Drop});
    coupler->pushFault({sim::FaultKind::None});
    coupler->pushFault({sim::FaultKind::Stale});
    auto other = imageOf(5 * 32, 99);
    ASSERT_EQ(KO_HidUpdate(handle, other.data(), static_cast<int>(other.size()), nullptr), RC_OK);
    EXPECT_EQ(pieceNumbers(coupler), (std::vector<int>{0, 1, 1, 2, 2, 3, 0xFFFF}));
    EXPECT_EQ(coupler->firmwareImage(), other);
}

TEST_F(HidUpdateTest, DefaultRetryWaitIsOneSecond) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    unsetenv("VEXA_TEST_HID_RETRY_MS");
    coupler->pushHidScript({kUpdate, {0x55}, sim::HidScriptKind::Refuse, {}});
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(KO_HidUpdateBegin(handle), RC_OK);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(950));
}

TEST_F(HidUpdateTest, UnpluggedCouplerCannotBeSentTo) {
    ASSERT_NO_FATAL_FAILURE(openCoupler());
    ASSERT_EQ(KO_HidUpdateBegin(handle), RC_OK);
    rack->stop();
    EXPECT_EQ(KO_HidUpdateBegin(handle), RC_HID_NOT_SENT);
    auto image = imageOf(10);
    EXPECT_EQ(KO_HidUpdate(handle, image.data(), 10, recordProgress), RC_HID_NOT_SENT);
}
