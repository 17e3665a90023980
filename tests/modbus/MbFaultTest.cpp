// Replies that lie, arrive cut short or carry a bad check: each gives its result code, nothing
// is copied past the caller's count, and the error log keeps its format and its cap.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "MbTestSupport.h"

namespace mbtest {
namespace {

class MbBadReply : public ::testing::TestWithParam<Framing> {
protected:
    void SetUp() override {
        peer_ = std::make_unique<MbTestPeer>(GetParam());
        ASSERT_TRUE(peer_->start());
        h_ = connectTo(*peer_, 150);
        ASSERT_NE(h_, nullptr);
        peer_->setHolding(0, 0x1111);
        peer_->setHolding(1, 0x2222);
    }
    void TearDown() override {
        KMB_DisConnectMDBServer(h_);
        peer_->stop();
    }
    // Index of the byte-count field in a reply ADU (without a serial check sum).
    std::size_t byteCountAt() const { return GetParam() == Framing::Tcp ? 8 : 2; }
    // Reads two registers into a guarded buffer; returns the result, checks the guard.
    int readTwo(short (&out)[8]) {
        std::fill(std::begin(out), std::end(out), static_cast<short>(0x5A5A));
        int rc = KMB_ReadHoldReg(h_, 1, 0, 2, out, 0);
        for (int i = 2; i < 8; ++i) EXPECT_EQ(out[i], 0x5A5A) << "written past count at " << i;
        return rc;
    }

    TempAppDir appDir_;
    std::unique_ptr<MbTestPeer> peer_;
    void* h_ = nullptr;
};

TEST_P(MbBadReply, ByteCountAboveTheRequestIsRefused) {
    const std::size_t at = byteCountAt();
    peer_->setRewriter([at](std::vector<std::uint8_t>& r) {
        r[at] = 200;
        r.resize(at + 1 + 200, 0xEE);
    });
    short out[8];
    EXPECT_EQ(readTwo(out), KMB_ERR_SHORT_REPLY);
    EXPECT_EQ(out[0], 0x5A5A) << "nothing copied from a refused reply";
    ASSERT_EQ(appDir_.logEntries().size(), 1u);
}

TEST_P(MbBadReply, ByteCountBelowTheRequestOrDataMissingIsRefused) {
    const std::size_t at = byteCountAt();
    short out[8];
    peer_->setRewriter([at](std::vector<std::uint8_t>& r) { r[at] = 2; r.resize(at + 3); });
    EXPECT_EQ(readTwo(out), KMB_ERR_SHORT_REPLY);
    // The count is right but the data stops short.
    peer_->setRewriter([at](std::vector<std::uint8_t>& r) { r.resize(at + 3); });
    EXPECT_EQ(readTwo(out), KMB_ERR_SHORT_REPLY);
    // Bits: a coil reply with one byte too few.
    peer_->setRewriter([at](std::vector<std::uint8_t>& r) { r[at] = 1; r.resize(at + 2); });
    unsigned char bits[12];
    std::fill(std::begin(bits), std::end(bits), 0x77);
    EXPECT_EQ(KMB_ReadCoil(h_, 1, 0, 10, bits, 0), KMB_ERR_SHORT_REPLY);
    EXPECT_TRUE(std::all_of(std::begin(bits), std::end(bits), [](unsigned char b) { return b == 0x77; }));
    // An exception without its code.
    peer_->setRewriter([at](std::vector<std::uint8_t>& r) { r[at - 1] |= 0x80; r.resize(at); });
    EXPECT_EQ(readTwo(out), KMB_ERR_SHORT_REPLY);
    peer_->setRewriter(nullptr);
    EXPECT_EQ(readTwo(out), KMB_OK);
    EXPECT_EQ(out[1], 0x2222);
}

TEST_P(MbBadReply, ReplyToAnotherFunctionIsOutOfSequence) {
    const std::size_t at = byteCountAt();
    peer_->setRewriter([at](std::vector<std::uint8_t>& r) { r[at - 1] = 0x04; });
    short out[8];
    EXPECT_EQ(readTwo(out), KMB_ERR_SEQUENCE);
    auto entries = appDir_.logEntries();
    ASSERT_GE(entries.size(), 1u);
    EXPECT_NE(entries[0].find("检测到序列故障"), std::string::npos);
    EXPECT_NE(entries[0].find("命令交错"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(AllFramings, MbBadReply, ::testing::Values(Framing::Tcp, Framing::Rtu, Framing::Ascii),
                         [](const auto& info) { return std::string(framingName(info.param)); });

TEST(MbBadReplySerial, BadCrcOrLrcIsABadFrame) {
    TempAppDir dir;
    for (Framing f : {Framing::Rtu, Framing::Ascii}) {
        MbTestPeer peer(f);
        ASSERT_TRUE(peer.start());
        void* h = connectTo(peer, 150);
        ASSERT_NE(h, nullptr);
        peer.setCorruptCheck(true);
        short r[2] = {7, 7};
        EXPECT_EQ(KMB_ReadHoldReg(h, 1, 0, 2, r, 0), KMB_ERR_BAD_FRAME) << framingName(f);
        EXPECT_EQ(r[0], 7);
        unsigned char raw[3] = {0x01, 0x03, 0x00};
        unsigned char buf[16];
        int got = -1;
        KMB_WriteCmdBuf(h, raw, 3, 0);
        EXPECT_EQ(KMB_ReadRecBuf(h, buf, sizeof buf, &got, 0), KMB_ERR_HANDLE);
        EXPECT_EQ(got, 0);
        KMB_DisConnectMDBServer(h);
    }
    // A line of garbage in ASCII mode.
    MbTestPeer peer(Framing::Ascii);
    ASSERT_TRUE(peer.start());
    void* h = connectTo(peer, 150);
    const std::string junk = ":01XY0300\r\n";
    peer.setWireReply({junk.begin(), junk.end()});
    short r;
    EXPECT_EQ(KMB_ReadHoldReg(h, 1, 0, 1, &r, 0), KMB_ERR_BAD_FRAME);
    KMB_DisConnectMDBServer(h);
}

TEST(MbBadReplyTcp, ShortFramesAndWrongProtocolId) {
    TempAppDir dir;
    MbTestPeer peer(Framing::Tcp);
    ASSERT_TRUE(peer.start());
    void* h = connectTo(peer);
    ASSERT_NE(h, nullptr);
    short r[2] = {7, 7};
    // Fewer than 8 bytes.
    peer.setWireReply({0, 1, 0, 0, 0, 3, 1});
    EXPECT_EQ(KMB_ReadHoldReg(h, 1, 0, 2, r, 0), KMB_ERR_SHORT_REPLY);
    // The length field promises more than comes.
    peer.setWireReply({0, 1, 0, 0, 0, 7, 1, 3, 4, 0, 1});
    EXPECT_EQ(KMB_ReadHoldReg(h, 1, 0, 2, r, 0), KMB_ERR_SHORT_REPLY);
    // An exception needs its code byte.
    peer.setWireReply({0, 1, 0, 0, 0, 2, 1, 0x83});
    EXPECT_EQ(KMB_ReadHoldReg(h, 1, 0, 2, r, 0), KMB_ERR_SHORT_REPLY);
    EXPECT_EQ(r[0], 7);
    peer.setWireReply({0, 1, 0, 0, 0, 3, 1, 0x83, 0x02});
    EXPECT_EQ(KMB_ReadHoldReg(h, 1, 0, 2, r, 0), KMB_EX_ILLEGAL_DATA_ADDRESS);
    peer.setWireReply({});
    peer.setRewriter([](std::vector<std::uint8_t>& a) { a[3] = 1; });
    EXPECT_EQ(KMB_ReadHoldReg(h, 1, 0, 2, r, 0), KMB_ERR_PROTOCOL_ID);
    EXPECT_EQ(r[0], 7);
    // Every failure was logged with the reply's bytes.
    auto entries = dir.logEntries();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_NE(entries[0].find("00 01 00 00 00 03 01 "), std::string::npos) << entries[0];
    KMB_DisConnectMDBServer(h);
}

TEST(MbErrorLog, EmptiedBeforeItWouldPassItsCap) {
    TempAppDir dir;
    MbTestPeer peer(Framing::Tcp);
    ASSERT_TRUE(peer.start());
    peer.setFault(Fault::Silent);
    void* h = connectTo(peer);
    ASSERT_NE(h, nullptr);
    const long cap = 10'000'000;
    const std::string entry = "@00:00:00.000Time Out\r\n";
    short r;
    {
        // Room for exactly one more entry: it is appended.
        std::ofstream f(dir.logPath(), std::ios::binary);
        f << std::string(static_cast<std::size_t>(cap) - entry.size(), 'x');
    }
    EXPECT_EQ(KMB_ReadHoldReg(h, 1, 0, 1, &r, 0), KMB_ERR_TIMEOUT);
    EXPECT_EQ(static_cast<long>(dir.logText().size()), cap);
    // The next one would pass the cap: the file starts again with it.
    EXPECT_EQ(KMB_ReadHoldReg(h, 1, 0, 1, &r, 0), KMB_ERR_TIMEOUT);
    EXPECT_EQ(dir.logText().size(), entry.size());
    EXPECT_EQ(dir.logEntries().size(), 1u);
    KMB_DisConnectMDBServer(h);
}

// An installed program's folder cannot be written: the entries go to the user's state folder.
TEST(MbErrorLog, GoesToTheStateFolderWhenTheProgramFolderCannotBeWritten) {
    TempAppDir state;
    const std::string stateDir = state.dir();
    ::setenv("XDG_STATE_HOME", stateDir.c_str(), 1);
    ::setenv("VEXA_APPDIR", "/nonexistent-vexa-program/", 1);
    MbTestPeer peer(Framing::Tcp);
    ASSERT_TRUE(peer.start());
    peer.setFault(Fault::Silent);
    void* h = connectTo(peer);
    ASSERT_NE(h, nullptr);
    short r;
    EXPECT_EQ(KMB_ReadHoldReg(h, 1, 0, 1, &r, 0), KMB_ERR_TIMEOUT);
    KMB_DisConnectMDBServer(h);
    const std::string file = stateDir + "vexa/M_Sdk_ErrorLog.Log";
    std::ifstream f(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Time Out"), std::string::npos) << file;
    std::remove(file.c_str());
    ::rmdir((stateDir + "vexa").c_str());
    ::unsetenv("XDG_STATE_HOME");
}

}  // namespace
}  // namespace mbtest
