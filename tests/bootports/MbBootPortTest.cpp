// MbBootPort's DEV_ functions in-process, through the real MbMaster, against a fake Modbus
// station on a pseudo-terminal that answers as each test says.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "BootPortContract.h"
#include "FakeStation.h"
#include "VexaBootParams.h"

namespace {

using boottest::Bytes;
using boottest::FakeStation;
using boottest::kvmb;

constexpr std::uint8_t kStation = 5;
constexpr std::uint8_t kProbe = 0x01, kEnter = 0x08, kRead = 0x09, kWrite = 0x0A;

bool is(const Bytes& req, std::uint8_t function, std::uint8_t subFunction) {
    return req.size() >= 7 && req[1] == function && req[6] == subFunction;
}

Bytes probeReply(std::uint8_t station) {
    Bytes r = kvmb(station, 0x46, kProbe);
    r.resize(22, 0);
    return r;
}

// A station that answers the probe and acknowledges writes; reads get what `readReply` says.
struct Station {
    std::mutex lock;
    std::function<Bytes(const Bytes&)> readReply = [](const Bytes& req) {
        Bytes r = kvmb(req[0], 0x47, kRead);
        r.push_back(0);
        return r;
    };
    std::function<std::optional<Bytes>(const Bytes&)> other = [](const Bytes&) { return std::nullopt; };

    FakeStation::Answer answer() {
        return [this](const Bytes& req) -> std::optional<Bytes> {
            std::lock_guard<std::mutex> g(lock);
            if (is(req, 0x46, kProbe)) return probeReply(req[0]);
            if (is(req, 0x47, kRead)) return readReply(req);
            if (is(req, 0x47, kWrite)) {
                Bytes r = kvmb(req[0], 0x47, kWrite);
                r.push_back(req[7]);
                return r;
            }
            return other(req);
        };
    }
};

class MbBootPortTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("VEXA_BOOT_PACING", "0", 1); }
    void TearDown() override { DEV_Close(); }

    MbPortParams params(const FakeStation& s, std::uint8_t station = kStation) {
        path_ = s.path();
        MbPortParams p{};
        p.magic = MB_PORT_MAGIC;
        p.copyPortText = 1;
        p.station = station;
        p.lineMode = 0;
        p.portText = path_.c_str();
        p.baudRate = 115200;
        p.dataBits = 8;
        return p;
    }

    // Opens the station's line and finds the station as handle 1.
    void openAndFind(const FakeStation& s) {
        MbPortParams p = params(s);
        ASSERT_EQ(DEV_Open(&p), 1);
        int handles[DEV_MAX_HANDLES] = {};
        ASSERT_EQ(DEV_Search(handles), 1);
        ASSERT_EQ(handles[0], 1);
    }

    static std::vector<Bytes> requestsOf(const FakeStation& s, std::uint8_t subFunction) {
        std::vector<Bytes> out;
        for (const Bytes& r : s.requests())
            if (r.size() >= 7 && r[1] == 0x47 && r[6] == subFunction) out.push_back(r);
        return out;
    }

    std::string path_;
};

TEST_F(MbBootPortTest, OpenRefusesAnotherMagicAndAMissingOrOverlongPortText) {
    FakeStation s([](const Bytes&) { return std::nullopt; });
    MbPortParams p = params(s);
    p.magic = VEXA_PORT_MAGIC;
    EXPECT_EQ(DEV_Open(&p), 0) << "the other plug-in's record";
    int handles[DEV_MAX_HANDLES] = {};
    EXPECT_EQ(DEV_Search(handles), 0);

    p = params(s);
    p.portText = nullptr;
    EXPECT_EQ(DEV_Open(&p), 0);
    const std::string longText(300, 'x');
    p.portText = longText.c_str();
    EXPECT_EQ(DEV_Open(&p), 0);

    p = params(s);
    EXPECT_EQ(DEV_Open(&p), 1) << "a good record after refused ones";
    EXPECT_TRUE(s.requests().empty()) << "opening sends nothing";
}

TEST_F(MbBootPortTest, SearchListsOnlyTheStationThatAnswersTheProbeAsItself) {
    std::mutex lock;
    Bytes reply;
    FakeStation s([&](const Bytes&) -> std::optional<Bytes> {
        std::lock_guard<std::mutex> g(lock);
        return reply;
    });
    MbPortParams p = params(s);
    ASSERT_EQ(DEV_Open(&p), 1);
    int handles[DEV_MAX_HANDLES] = {};

    const Bytes wrongReplies[] = {probeReply(kStation + 1), kvmb(kStation, 0x47, kProbe), Bytes{kStation, 0x46, 'K'}};
    for (const Bytes& wrong : wrongReplies) {
        {
            std::lock_guard<std::mutex> g(lock);
            reply = wrong;
        }
        EXPECT_EQ(DEV_Search(handles), 0);
    }
    {
        std::lock_guard<std::mutex> g(lock);
        reply = probeReply(kStation);
    }
    EXPECT_EQ(DEV_Search(handles), 1);
    EXPECT_EQ(handles[0], 1);
    for (const Bytes& r : s.requests()) EXPECT_EQ(r, kvmb(kStation, 0x46, kProbe)) << "only the set station is probed";
}

TEST_F(MbBootPortTest, WritesAreTakenWholeInPiecesOfAHundred) {
    Station st;
    FakeStation s(st.answer());
    openAndFind(s);
    Bytes data(250);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);

    EXPECT_EQ(DEV_Write(1, data.data(), 100, 0), 100) << "a sent piece counts as taken";
    EXPECT_EQ(DEV_Write(1, data.data(), 250, 0), 250);
    const auto writes = requestsOf(s, kWrite);
    ASSERT_EQ(writes.size(), 4u);
    const std::size_t pieces[] = {100, 100, 100, 50};
    Bytes carried;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        ASSERT_EQ(writes[i].size(), 8 + pieces[i]);
        EXPECT_EQ(writes[i][7], pieces[i]);
        carried.insert(carried.end(), writes[i].begin() + 8, writes[i].end());
    }
    Bytes sent(data.begin(), data.begin() + 100);
    sent.insert(sent.end(), data.begin(), data.end());
    EXPECT_EQ(carried, sent) << "the bytes in order, nothing added";
}

TEST_F(MbBootPortTest, APieceThatCannotBeSentIsNeverCountedAsTaken) {
    Station st;
    auto s = std::make_unique<FakeStation>(st.answer());
    openAndFind(*s);
    s.reset();  // the line goes away under the plug-in
    std::uint8_t buf[10] = {};
    EXPECT_EQ(DEV_Write(1, buf, sizeof buf, 0), DEV_ERROR);
    EXPECT_EQ(DEV_Read(1, buf, sizeof buf, 0), 0) << "nothing could be asked for";
}

TEST_F(MbBootPortTest, BadHandlesAndAClosedLineFailBothWays) {
    Station st;
    FakeStation s(st.answer());
    openAndFind(s);
    std::uint8_t buf[16] = {};
    EXPECT_EQ(DEV_Write(0, buf, 4, 0), DEV_ERROR);
    EXPECT_EQ(DEV_Write(2, buf, 4, 0), DEV_ERROR);
    EXPECT_EQ(DEV_Read(0, buf, 4, 0), DEV_ERROR);
    EXPECT_EQ(DEV_Read(2, buf, 4, 0), DEV_ERROR);
    EXPECT_EQ(DEV_Write(1, nullptr, 4, 0), DEV_ERROR);
    EXPECT_EQ(DEV_Read(1, nullptr, 4, 0), DEV_ERROR);
    EXPECT_EQ(DEV_Close(), 1);
    EXPECT_EQ(DEV_Write(1, buf, 4, 0), DEV_ERROR);
    EXPECT_EQ(DEV_Read(1, buf, 4, 0), DEV_ERROR);
    int handles[DEV_MAX_HANDLES] = {};
    EXPECT_EQ(DEV_Search(handles), 0) << "nothing is connected after close";
    EXPECT_EQ(DEV_EnterBootMode(), 0);
}

TEST_F(MbBootPortTest, ReadGathersUntilTheStationHasNothingMore) {
    Station st;
    int calls = 0;
    st.readReply = [&](const Bytes& req) {
        Bytes r = kvmb(req[0], 0x47, kRead);
        const std::uint8_t got = ++calls == 1 ? 30 : 0;
        r.push_back(got);
        for (int i = 0; i < got; ++i) r.push_back(static_cast<std::uint8_t>(0xC0 + i));
        return r;
    };
    FakeStation s(st.answer());
    openAndFind(s);
    std::uint8_t buf[200] = {};
    ASSERT_EQ(DEV_Read(1, buf, sizeof buf, 0), 30);
    EXPECT_EQ(buf[0], 0xC0);
    EXPECT_EQ(buf[29], 0xC0 + 29);
    const auto reads = requestsOf(s, kRead);
    ASSERT_EQ(reads.size(), 2u) << "a count of 0 ends the read";
    EXPECT_EQ(reads[0][7], 100);
    EXPECT_EQ(reads[1][7], 100) << "the next piece asks for up to 100 again";
}

TEST_F(MbBootPortTest, ACountBeyondThePieceOrTheReplyEndsTheReadWithoutOverrun) {
    struct Case {
        const char* what;
        std::uint8_t count;
        std::size_t carried;
    };
    const Case cases[] = {
        {"count 200, the most a reply can carry", 200, 100},
        {"count above the piece", 64, 64},
        {"count above the bytes that came", 40, 10},
    };
    for (const Case& c : cases) {
        Station st;
        st.readReply = [&](const Bytes& req) {
            Bytes r = kvmb(req[0], 0x47, kRead);
            r.push_back(c.count);
            r.resize(r.size() + c.carried, 0x5A);
            return r;
        };
        FakeStation s(st.answer());
        openAndFind(s);
        // The caller's buffer holds exactly what it asks for; the guard after it must stay.
        std::uint8_t buf[32 + 8];
        std::memset(buf, 0xEE, sizeof buf);
        EXPECT_EQ(DEV_Read(1, buf, 32, 0), 0) << c.what;
        for (std::size_t i = 32; i < sizeof buf; ++i) ASSERT_EQ(buf[i], 0xEE) << c.what;
        EXPECT_EQ(requestsOf(s, kRead).size(), 1u) << c.what << ": the loop ends";
        DEV_Close();
    }
}

TEST_F(MbBootPortTest, AReadReplyThatDoesNotEchoTheRequestEndsTheRead) {
    Station st;
    st.readReply = [](const Bytes& req) {
        Bytes r = kvmb(req[0], 0x47, kWrite);
        r.push_back(4);
        r.insert(r.end(), {1, 2, 3, 4});
        return r;
    };
    FakeStation s(st.answer());
    openAndFind(s);
    std::uint8_t buf[8] = {};
    EXPECT_EQ(DEV_Read(1, buf, sizeof buf, 0), 0);
}

TEST_F(MbBootPortTest, EnterBootModeSendsTheIdentifyTextBackZeroTerminated) {
    Station st;
    std::size_t identifyLength = 72;
    st.other = [&](const Bytes& req) -> std::optional<Bytes> {
        if (!is(req, 0x47, kProbe)) return Bytes{req[0], 0x47, 'K', 'V', 'M', 'B', req[6]};
        Bytes r = kvmb(req[0], 0x47, kProbe);
        r.push_back(64);
        r.resize(identifyLength, 0);
        // Sixteen non-zero text bytes at 24..39, a non-zero byte right after them.
        for (std::size_t i = 24; i < 40 && i < r.size(); ++i) r[i] = static_cast<std::uint8_t>('A' + (i - 24));
        if (r.size() > 40) r[40] = 'Z';
        return r;
    };
    FakeStation s(st.answer());
    openAndFind(s);
    EXPECT_EQ(DEV_EnterBootMode(), 1);
    auto enters = requestsOf(s, kEnter);
    ASSERT_EQ(enters.size(), 1u);
    Bytes expected = kvmb(kStation, 0x47, kEnter);
    for (char ch = 'A'; ch <= 'P'; ++ch) expected.push_back(static_cast<std::uint8_t>(ch));
    expected.push_back(0);
    EXPECT_EQ(enters[0], expected) << "16 characters, then 00";

    identifyLength = 30;  // too short to hold the text
    EXPECT_EQ(DEV_EnterBootMode(), 1);
    EXPECT_EQ(requestsOf(s, kEnter).size(), 1u) << "no enter request after a short identify reply";
}

}  // namespace
