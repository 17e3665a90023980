// Every read and write export on TCP, RTU and ASCII against the libmodbus peer: what is written
// reads back, exceptions come back as their codes, and the requests carry the documented bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>

#include "MbTestSupport.h"

namespace mbtest {
namespace {

class MbExchange : public ::testing::TestWithParam<Framing> {
protected:
    void SetUp() override {
        peer_ = std::make_unique<MbTestPeer>(GetParam());
        ASSERT_TRUE(peer_->start());
        h_ = connectTo(*peer_);
        ASSERT_NE(h_, nullptr);
    }
    void TearDown() override {
        KMB_DisConnectMDBServer(h_);
        peer_->stop();
    }
    // The request's PDU as it went over the wire (TCP: after the MBAP header; serial: after
    // the unit, without the check sum; ASCII decoded).
    std::vector<std::uint8_t> lastPdu() const {
        auto wire = peer_->lastRequest();
        if (GetParam() == Framing::Tcp) return {wire.begin() + 7, wire.end()};
        if (GetParam() == Framing::Rtu) return {wire.begin() + 1, wire.end() - 2};
        std::vector<std::uint8_t> bin;
        for (std::size_t i = 1; i + 3 < wire.size(); i += 2)
            bin.push_back(static_cast<std::uint8_t>(std::stoi(std::string(wire.begin() + i, wire.begin() + i + 2), nullptr, 16)));
        return {bin.begin() + 1, bin.end() - 1};
    }

    TempAppDir appDir_;
    std::unique_ptr<MbTestPeer> peer_;
    void* h_ = nullptr;
};

TEST_P(MbExchange, HoldingRegistersWrittenReadBack) {
    EXPECT_EQ(KMB_WriteRegSingle(h_, 1, 10, 0xBEEF, 0), KMB_OK);
    EXPECT_EQ(KMB_WriteRegSingle(h_, 1, 11, -2, 0), KMB_OK);
    std::array<short, 123> values;
    std::iota(values.begin(), values.end(), -60);
    EXPECT_EQ(KMB_WriteRegMulitiple(h_, 1, 100, 123, values.data(), 0), KMB_OK);

    short two[2] = {};
    ASSERT_EQ(KMB_ReadHoldReg(h_, 1, 10, 2, two, 0), KMB_OK);
    EXPECT_EQ(static_cast<std::uint16_t>(two[0]), 0xBEEF);
    EXPECT_EQ(two[1], -2);
    std::array<short, 125> back{};
    ASSERT_EQ(KMB_ReadHoldReg(h_, 1, 100, 125, back.data(), 0), KMB_OK);
    EXPECT_TRUE(std::equal(values.begin(), values.end(), back.begin()));
    EXPECT_EQ(back[123], 0);
    EXPECT_EQ(peer_->holding(222), static_cast<std::uint16_t>(values[122]));
}

TEST_P(MbExchange, CoilsWrittenReadBack) {
    EXPECT_EQ(KMB_WriteCoilSingle(h_, 1, 3, 5, 0), KMB_OK);  // any non-zero value is "on"
    EXPECT_EQ(lastPdu(), (std::vector<std::uint8_t>{0x05, 0x00, 0x03, 0xFF, 0x00}));
    EXPECT_EQ(KMB_WriteCoilSingle(h_, 1, 4, 0, 0), KMB_OK);

    const unsigned char ten[10] = {1, 0, 1, 1, 0, 0, 0, 1, 1, 0};
    EXPECT_EQ(KMB_WriteCoilMulitiple(h_, 1, 20, 10, ten, 0), KMB_OK);
    EXPECT_EQ(lastPdu(), (std::vector<std::uint8_t>{0x0F, 0x00, 0x14, 0x00, 0x0A, 0x02, 0x8D, 0x01}));

    unsigned char back[16];
    std::fill(std::begin(back), std::end(back), 0xAA);
    ASSERT_EQ(KMB_ReadCoil(h_, 1, 20, 10, back, 0), KMB_OK);
    EXPECT_TRUE(std::equal(std::begin(ten), std::end(ten), back));
    EXPECT_EQ(back[10], 0xAA) << "nothing past count";
    unsigned char c[2];
    ASSERT_EQ(KMB_ReadCoil(h_, 1, 3, 2, c, 0), KMB_OK);
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[1], 0);

    std::vector<unsigned char> many(1968, 1);
    EXPECT_EQ(KMB_WriteCoilMulitiple(h_, 1, 0, 1968, many.data(), 0), KMB_OK);
    std::vector<unsigned char> all(2000, 9);
    ASSERT_EQ(KMB_ReadCoil(h_, 1, 0, 2000, all.data(), 0), KMB_OK);
    EXPECT_EQ(std::count(all.begin(), all.begin() + 1968, 1), 1968);
    EXPECT_EQ(std::count(all.begin() + 1968, all.end(), 0), 32);
}

TEST_P(MbExchange, InputsAndInputRegistersRead) {
    std::vector<unsigned char> bits(37, 7);
    ASSERT_EQ(KMB_ReadInput(h_, 1, 5, 37, bits.data(), 0), KMB_OK);
    for (int i = 0; i < 37; ++i) EXPECT_EQ(bits[i], peer_->discreteInput(5 + i) ? 1 : 0) << i;
    short regs[7] = {};
    ASSERT_EQ(KMB_ReadInputReg(h_, 1, 990, 7, regs, 0), KMB_OK);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(regs[i], 1990 + i);
    EXPECT_EQ(lastPdu(), (std::vector<std::uint8_t>{0x04, 0x03, 0xDE, 0x00, 0x07}));
}

TEST_P(MbExchange, SlaveExceptionsReturnTheirCode) {
    short regs[20];
    EXPECT_EQ(KMB_ReadHoldReg(h_, 1, 990, 20, regs, 0), KMB_EX_ILLEGAL_DATA_ADDRESS);
    EXPECT_EQ(KMB_WriteRegSingle(h_, 1, 5000, 1, 0), KMB_EX_ILLEGAL_DATA_ADDRESS);
    peer_->setFault(Fault::Exception, KMB_EX_SLAVE_DEVICE_FAILURE);
    unsigned char bits[4];
    EXPECT_EQ(KMB_ReadInput(h_, 1, 0, 4, bits, 0), KMB_EX_SLAVE_DEVICE_FAILURE);
    peer_->setFault(Fault::Exception, 0x0B);
    EXPECT_EQ(KMB_WriteCoilSingle(h_, 1, 0, 1, 0), KMB_EX_GATEWAY_TARGET);
    peer_->setFault(Fault::None);
    EXPECT_EQ(KMB_ReadHoldReg(h_, 1, 0, 2, regs, 0), KMB_OK);
}

TEST_P(MbExchange, OutOfRangeRequestsAreRefusedUnsent) {
    short regs[130];
    unsigned char bits[2100];
    const int before = peer_->requestCount();
    EXPECT_EQ(KMB_ReadHoldReg(h_, 1, 0, 0, regs, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_ReadHoldReg(h_, 1, 0, 126, regs, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_ReadInputReg(h_, 1, 0, -1, regs, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_ReadCoil(h_, 1, 0, 2001, bits, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_ReadInput(h_, 1, 65535, 2, bits, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_WriteRegMulitiple(h_, 1, 0, 124, regs, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_WriteCoilMulitiple(h_, 1, 0, 1969, bits, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_WriteRegSingle(h_, 1, 65536, 0, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_WriteRegSingle(h_, 1, 0, 70000, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_ReadHoldReg(h_, 256, 0, 1, regs, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_ReadHoldReg(h_, 1, -1, 1, regs, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_ReadHoldReg(h_, 1, 0, 1, nullptr, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_ReadCoil(h_, 1, 0, 1, nullptr, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_WriteRegMulitiple(h_, 1, 0, 1, nullptr, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(KMB_WriteCoilMulitiple(h_, 1, 0, 1, nullptr, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(peer_->requestCount(), before);
    EXPECT_EQ(appDir_.logText(), "") << "a caller's mistake is not a line fault";
}

TEST_P(MbExchange, RawFrameRoundTrip) {
    // Read 23 holding registers by hand: the reply is longer than the caller's buffer of 8.
    std::vector<std::uint8_t> frame;
    if (GetParam() == Framing::Tcp) frame = {0x12, 0x34, 0, 0, 0, 6};
    frame.insert(frame.end(), {0x01, 0x03, 0x00, 0x00, 0x00, 0x17});
    peer_->setHolding(0, 0x0102);
    peer_->setHolding(1, 0x0304);
    const int len = static_cast<int>(frame.size());
    const int expectSent = GetParam() == Framing::Tcp ? len : GetParam() == Framing::Rtu ? len + 2 : 2 * (len + 1) + 3;
    EXPECT_EQ(KMB_WriteCmdBuf(h_, frame.data(), len, 0), expectSent);

    unsigned char buf[12];
    std::fill(std::begin(buf), std::end(buf), 0xEE);
    int got = -1;
    ASSERT_EQ(KMB_ReadRecBuf(h_, buf, 8, &got, 0), KMB_OK);
    EXPECT_EQ(got, 8);
    std::vector<std::uint8_t> head(buf, buf + 8);
    if (GetParam() == Framing::Tcp)
        EXPECT_EQ(head, (std::vector<std::uint8_t>{0x12, 0x34, 0, 0, 0, 49, 0x01, 0x03}));
    else
        EXPECT_EQ(head, (std::vector<std::uint8_t>{0x01, 0x03, 46, 0x01, 0x02, 0x03, 0x04, 0x00}));
    EXPECT_EQ(buf[8], 0xEE) << "nothing past len";

    // The whole frame when the buffer is big enough; serial frames come without their check.
    EXPECT_EQ(KMB_WriteCmdBuf(h_, frame.data(), len, 0), expectSent);
    unsigned char whole[100];
    ASSERT_EQ(KMB_ReadRecBuf(h_, whole, sizeof whole, &got, 0), KMB_OK);
    EXPECT_EQ(got, GetParam() == Framing::Tcp ? 9 + 46 : 3 + 46);

    EXPECT_EQ(KMB_WriteCmdBuf(h_, frame.data(), 0, 0), 0);
    EXPECT_EQ(KMB_WriteCmdBuf(h_, nullptr, 4, 0), 0);
    EXPECT_EQ(KMB_ReadRecBuf(h_, nullptr, 8, &got, 0), KMB_ERR_ARGUMENT);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(KMB_ReadRecBuf(h_, buf, 8, nullptr, 0), KMB_ERR_ARGUMENT);
    // Nothing more comes: 100 and no bytes.
    got = -1;
    EXPECT_EQ(KMB_ReadRecBuf(h_, buf, 8, &got, 0), KMB_ERR_HANDLE);
    EXPECT_EQ(got, 0);
}

TEST_P(MbExchange, RepliesToADuplicatedAnswerStayInStep) {
    // The peer answers twice: the spare copy, waiting in the line, must not be taken for the
    // next reply. (One that arrives only after the next request went out cannot be told apart:
    // neither the serial frames nor, by design, the TCP transaction id say whose reply it is.)
    peer_->setFault(Fault::Twice);
    peer_->setHolding(0, 11);
    short r = 0;
    ASSERT_EQ(KMB_ReadHoldReg(h_, 1, 0, 1, &r, 0), KMB_OK);
    EXPECT_EQ(r, 11);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    peer_->setHolding(0, 22);
    ASSERT_EQ(KMB_ReadHoldReg(h_, 1, 0, 1, &r, 0), KMB_OK);
    EXPECT_EQ(r, 22);
}

TEST_P(MbExchange, LateReplyDoesNotAnswerTheNextRequest) {
    peer_->setHolding(0, 1);
    peer_->setFault(Fault::Late, GetParam() == Framing::Tcp ? 150 : 350);
    short r = 0;
    EXPECT_EQ(KMB_ReadHoldReg(h_, 1, 0, 1, &r, 0), KMB_ERR_TIMEOUT);
    peer_->setFault(Fault::None);
    peer_->setHolding(0, 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));  // the late reply is waiting now
    ASSERT_EQ(KMB_ReadHoldReg(h_, 1, 0, 1, &r, 0), KMB_OK);
    EXPECT_EQ(r, 2);
}

TEST_P(MbExchange, StaleReplyIsSkippedWithTwoLogEntries) {
    peer_->setHolding(5, 555);
    peer_->setFault(Fault::StaleFirst);
    short r = 0;
    ASSERT_EQ(KMB_ReadHoldReg(h_, 1, 5, 1, &r, 0), KMB_OK);
    EXPECT_EQ(r, 555);
    auto entries = appDir_.logEntries();
    ASSERT_EQ(entries.size(), 2u) << appDir_.logText();
    EXPECT_NE(entries[0].find("检测到序列故障"), std::string::npos) << entries[0];
    EXPECT_NE(entries[1].find("恢复正常序列"), std::string::npos) << entries[1];
}

TEST_P(MbExchange, SilentSlaveTimesOutWithOneLogEntry) {
    peer_->setFault(Fault::Silent);
    short r = 0;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(KMB_ReadHoldReg(h_, 1, 0, 1, &r, 0), KMB_ERR_TIMEOUT);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    const int timeout = GetParam() == Framing::Tcp ? 100 : 300;
    EXPECT_GE(ms, timeout - 5);
    EXPECT_LT(ms, timeout + 400);
    auto entries = appDir_.logEntries();
    ASSERT_EQ(entries.size(), 1u) << appDir_.logText();
    EXPECT_TRUE(entries[0].size() == 21 && entries[0][0] == '@' && entries[0][3] == ':' && entries[0][6] == ':' &&
                entries[0][9] == '.' && entries[0].substr(13) == "Time Out")
        << entries[0];
}

INSTANTIATE_TEST_SUITE_P(AllFramings, MbExchange, ::testing::Values(Framing::Tcp, Framing::Rtu, Framing::Ascii),
                         [](const auto& info) { return std::string(framingName(info.param)); });

// Byte-exact requests from the documented frame vectors.
TEST(MbFrames, RtuReadHoldingRegisterCarriesItsCrc) {
    MbTestPeer peer(Framing::Rtu);
    ASSERT_TRUE(peer.start());
    void* h = connectTo(peer);
    ASSERT_NE(h, nullptr);
    short r;
    ASSERT_EQ(KMB_ReadHoldReg(h, 1, 0, 1, &r, 0), KMB_OK);
    EXPECT_EQ(peer.lastRequest(), (std::vector<std::uint8_t>{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));
    KMB_DisConnectMDBServer(h);
}

TEST(MbFrames, AsciiRequestIsColonHexLrcCrLf) {
    MbTestPeer peer(Framing::Ascii, 0x11);
    ASSERT_TRUE(peer.start());
    void* h = connectTo(peer);
    ASSERT_NE(h, nullptr);
    short r[3];
    ASSERT_EQ(KMB_ReadHoldReg(h, 0x11, 0x6B, 3, r, 0), KMB_OK);
    const std::string expected = ":1103006B00037E\r\n";
    EXPECT_EQ(peer.lastRequest(), std::vector<std::uint8_t>(expected.begin(), expected.end()));
    KMB_DisConnectMDBServer(h);
}

TEST(MbFrames, TcpTransactionIdIsTheCallersOrTheNextCount) {
    MbTestPeer peer(Framing::Tcp, 7);
    ASSERT_TRUE(peer.start());
    void* h = connectTo(peer);
    ASSERT_NE(h, nullptr);
    short r;
    ASSERT_EQ(KMB_ReadHoldReg(h, 7, 2, 1, &r, 0x4321), KMB_OK);
    EXPECT_EQ(peer.lastRequest(), (std::vector<std::uint8_t>{0x43, 0x21, 0, 0, 0, 6, 7, 0x03, 0, 2, 0, 1}));
    ASSERT_EQ(KMB_ReadHoldReg(h, 7, 2, 1, &r, 0), KMB_OK);
    auto a = peer.lastRequest();
    ASSERT_EQ(KMB_ReadHoldReg(h, 7, 2, 1, &r, 0), KMB_OK);
    auto b = peer.lastRequest();
    EXPECT_EQ((b[0] << 8 | b[1]) - (a[0] << 8 | a[1]), 1);
    KMB_DisConnectMDBServer(h);
}

TEST(MbConnect, FailuresGiveNullAndBadHandlesGive100) {
    TempAppDir dir;
    EXPECT_EQ(KMB_TCPConnectMDBServer(nullptr, 502, 0), nullptr);
    EXPECT_EQ(KMB_TCPConnectMDBServer("", 502, 0), nullptr);
    EXPECT_EQ(KMB_TCPConnectMDBServer("127.0.0.1", 0, 0), nullptr);
    {
        MbTestPeer closed(Framing::Tcp);  // a port that was just free again
        ASSERT_TRUE(closed.start());
        const int port = closed.port();
        closed.stop();
        EXPECT_EQ(KMB_TCPConnectMDBServer("127.0.0.1", port, 0), nullptr);
    }
    MbTestPeer pty(Framing::Rtu);
    ASSERT_TRUE(pty.start());
    const char* path = pty.serialPath().c_str();
    EXPECT_EQ(KMB_SerConnectMDBServer(0, path, 0, 8, 0, 0, 1, 0, 0, 0, 100), nullptr);
    EXPECT_EQ(KMB_SerConnectMDBServer(0, path, -9600, 8, 0, 0, 1, 0, 0, 0, 100), nullptr);
    EXPECT_EQ(KMB_SerConnectMDBServer(2, path, 9600, 8, 0, 0, 1, 0, 0, 0, 100), nullptr);
    EXPECT_EQ(KMB_SerConnectMDBServer(0, "/dev/nonexistent-tty", 9600, 8, 0, 0, 1, 0, 0, 0, 100), nullptr);
    EXPECT_EQ(KMB_SerConnectMDBServer(0, nullptr, 9600, 8, 0, 0, 1, 0, 0, 0, 100), nullptr);
    EXPECT_EQ(KMB_SerConnectMDBServer(0, path, 9600, 9, 0, 0, 1, 0, 0, 0, 100), nullptr);

    short r;
    unsigned char b;
    int got = 5;
    EXPECT_EQ(KMB_ReadHoldReg(nullptr, 1, 0, 1, &r, 0), KMB_ERR_HANDLE);
    EXPECT_EQ(KMB_ReadCoil(nullptr, 1, 0, 1, &b, 0), KMB_ERR_HANDLE);
    EXPECT_EQ(KMB_WriteCmdBuf(nullptr, &b, 1, 0), KMB_ERR_HANDLE);
    EXPECT_EQ(KMB_ReadRecBuf(nullptr, &b, 1, &got, 0), KMB_ERR_HANDLE);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(KMB_SetCommunicationHandle(nullptr, nullptr, 0), KMB_ERR_HANDLE);
    EXPECT_EQ(KMB_SetRegByRSVexa(nullptr, 1, 0, 1, &r), KMB_ERR_HANDLE);
    KMB_DisConnectMDBServer(nullptr);

    void* h = connectTo(pty);
    ASSERT_NE(h, nullptr);
    KMB_DisConnectMDBServer(h);
    EXPECT_EQ(KMB_ReadHoldReg(h, 1, 0, 1, &r, 0), KMB_ERR_HANDLE) << "a closed handle is refused";
    EXPECT_EQ(dir.logText(), "") << "no log entry for a null handle";
}

TEST(MbConnect, LostTcpPeerEndsInSendFailure) {
    TempAppDir dir;
    MbTestPeer peer(Framing::Tcp);
    ASSERT_TRUE(peer.start());
    void* h = connectTo(peer);
    ASSERT_NE(h, nullptr);
    short r;
    ASSERT_EQ(KMB_ReadHoldReg(h, 1, 0, 1, &r, 0), KMB_OK);
    peer.stop();
    // The first request may still leave before the reset comes back; by the next one the link
    // is known to be gone, and the caller is told to connect again.
    const int first = KMB_ReadHoldReg(h, 1, 0, 1, &r, 0);
    EXPECT_TRUE(first == KMB_ERR_TIMEOUT || first == KMB_ERR_SEND) << first;
    EXPECT_EQ(KMB_ReadHoldReg(h, 1, 0, 1, &r, 0), KMB_ERR_SEND);
    EXPECT_NE(dir.logText().find("发送不成功，需要从新建立连接"), std::string::npos);
    KMB_DisConnectMDBServer(h);
}

TEST(MbNotify, SerialReadsAndWritesAreReported) {
    MbTestPeer peer(Framing::Rtu);
    ASSERT_TRUE(peer.start());
    void* h = connectTo(peer);
    ASSERT_NE(h, nullptr);
    static std::vector<std::array<long, 3>> calls;
    calls.clear();
    auto proc = [](unsigned message, intptr_t w, intptr_t l) { calls.push_back({static_cast<long>(message), w, l}); };
    ASSERT_EQ(KMB_SetCommunicationHandle(h, proc, 0x4321), KMB_OK);
    short r[3];
    ASSERT_EQ(KMB_ReadHoldReg(h, 1, 0, 3, r, 0), KMB_OK);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], (std::array<long, 3>{0x4321, KMB_NOTIFY_WRITE, 8}));
    EXPECT_EQ(calls[1], (std::array<long, 3>{0x4321, KMB_NOTIFY_READ, 11}));
    ASSERT_EQ(KMB_SetCommunicationHandle(h, nullptr, 0), KMB_OK);
    ASSERT_EQ(KMB_ReadHoldReg(h, 1, 0, 3, r, 0), KMB_OK);
    EXPECT_EQ(calls.size(), 2u);
    KMB_DisConnectMDBServer(h);
}

TEST(MbConcurrency, ReadCoilAndReadHoldRegOnTwoThreads) {
    // Both reads draw on the shared transaction counter and, on a time-out, the shared log;
    // built with TSan this must be free of races.
    TempAppDir dir;
    MbTestPeer peer(Framing::Tcp), silent(Framing::Tcp);
    ASSERT_TRUE(peer.start() && silent.start());
    silent.setFault(Fault::Silent);
    void* a = connectTo(peer);
    void* b = connectTo(peer);
    void* quiet = connectTo(silent);
    ASSERT_TRUE(a && b && quiet);
    std::atomic<int> failures{0};
    std::thread t1([&] {
        unsigned char c[16];
        for (int i = 0; i < 200; ++i) failures += KMB_ReadCoil(i % 2 ? a : b, 1, 0, 16, c, 0) != KMB_OK;
        for (int i = 0; i < 2; ++i) failures += KMB_ReadCoil(quiet, 1, 0, 16, c, 0) != KMB_ERR_TIMEOUT;
    });
    std::thread t2([&] {
        short r[16];
        for (int i = 0; i < 200; ++i) failures += KMB_ReadHoldReg(i % 2 ? b : a, 1, 0, 16, r, 0) != KMB_OK;
        for (int i = 0; i < 2; ++i) failures += KMB_ReadHoldReg(quiet, 1, 0, 16, r, 0) != KMB_ERR_TIMEOUT;
    });
    t1.join();
    t2.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(dir.logEntries().size(), 4u);
    for (void* h : {a, b, quiet}) KMB_DisConnectMDBServer(h);
}

}  // namespace
}  // namespace mbtest
