// Whole upgrades through the test plug-in against simulated boot loaders: the image must arrive
// byte for byte, or the upgrade must end with an error code and its text.
#include "FwFixture.h"
#include "FwLoaderTexts.h"

#include <unistd.h>

#include <atomic>
#include <thread>

namespace fwtest {
namespace {

using vexa::sim::BootFault;
using vexa::sim::BootLoaderConfig;

class Transfer : public FwFixture {
protected:
    vexa::sim::BootLoaderSim& sim() { return ports.front()->device(1); }
    // Payload bytes of data block k (from 1) for the grant the device made.
    Bytes blockOf(const Bytes& payload, std::size_t k) const {
        const std::size_t size = ports.front()->device(1).grantedBlockSize();
        const std::size_t from = std::min(payload.size(), (k - 1) * size);
        return Bytes(payload.begin() + static_cast<std::ptrdiff_t>(from),
                     payload.begin() + static_cast<std::ptrdiff_t>(std::min(payload.size(), from + size)));
    }
    void expectExact(const Result& r, const Bytes& payload) {
        EXPECT_EQ(r.ok, 1);
        EXPECT_EQ(r.code, KB_FW_OK);
        EXPECT_EQ(r.text, "");
        EXPECT_TRUE(sim().complete());
        EXPECT_TRUE(sim().image() == payload) << "image differs from the payload";
    }
};

TEST_F(Transfer, CompleteUpgradeArrivesByteForByte) {
    openWithDevices();
    const Bytes payload = makePayload(10000);
    const UpfLayout layout{.payload = payload, .gap = 5};
    expectExact(upgrade(0, layout), payload);

    // The start carries the host buffer and the header block verbatim; blocks are numbered 1, 2, ...
    const Bytes header = vexa::sim::BootHeader::forImage(payload).encode(10);  // the builder's default
    Bytes start{0x02, 0x00, 0x00, 0x10};
    start.insert(start.end(), header.begin(), header.end());
    EXPECT_EQ(sim().requests().front(), start);
    const auto& frames = sim().dataFrames();
    ASSERT_EQ(frames.size(), 10u);
    for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i].block, i + 1);
    EXPECT_EQ(KB_GetUpdateFirwareProgress(0), 10000);
}

TEST_F(Transfer, PayloadOfWholeBlocksEndsWithAnEmptyBlock) {
    BootLoaderConfig config;
    config.blockSize = 512;
    openWithDevices(1, config);
    const Bytes payload = makePayload(2048);
    expectExact(upgrade(0, UpfLayout{.payload = payload}), payload);
    ASSERT_FALSE(sim().dataFrames().empty());
    EXPECT_EQ(sim().dataFrames().back().block, 5);
    EXPECT_TRUE(sim().dataFrames().back().data.empty());
}

TEST_F(Transfer, GrantIsCappedByTheHostBuffer) {
    BootLoaderConfig config;
    config.blockSize = 60000;  // the device would take more; the host announced 4096
    openWithDevices(1, config);
    const Bytes payload = makePayload(9000);
    expectExact(upgrade(0, UpfLayout{.payload = payload}), payload);
    EXPECT_EQ(sim().grantedBlockSize(), 4096);
}

TEST_F(Transfer, ProgressNeverRunsBackwardsAndEndsAt10000) {
    BootLoaderConfig config;
    config.blockSize = 4096;
    openWithDevices(1, config);
    // Above ~430 kB a 32-bit count x 10000 would wrap and make progress jump back.
    const Bytes payload = makePayload(600000, 7);
    const std::string path = dir.writeFile("big.upf", buildUpf({.payload = payload}));
    EXPECT_EQ(KB_GetUpdateFirwareProgress(0), 10000);  // idle

    std::atomic<bool> done{false};
    std::vector<int> seen;
    std::thread poller([&] {
        while (!done) {
            seen.push_back(KB_GetUpdateFirwareProgress(0));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    const Result r = upgrade(0, path);
    done = true;
    poller.join();

    expectExact(r, payload);
    EXPECT_EQ(KB_GetUpdateFirwareProgress(0), 10000);
    ASSERT_GT(seen.size(), 2u);
    // Idle (10000) before the start, then rising values, then 10000 for good.
    int below = 0, last = -1;
    bool finished = false;
    for (int v : seen) {
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 10000);
        if (v < 10000) {
            EXPECT_FALSE(finished) << "progress ran again after 10000";
            EXPECT_GE(v, last) << "progress ran backwards";
            last = v;
            ++below;
        } else {
            finished = last >= 0;
        }
    }
    EXPECT_GT(below, 0) << "progress was never seen running";
}

struct CodeCase {
    const char* name;
    std::function<void(vexa::sim::BootLoaderSim&, FakePort&)> arrange;
    int code;
    std::string text;
};

TEST_F(Transfer, EveryResultCodeWithItsText) {
    const std::vector<CodeCase> cases = {
        {"grant 0", [](auto& s, auto&) { s.misbehaviour().grant = 0; }, KB_FW_TYPE_MISMATCH, "固件类型不匹配"},
        {"downgrade refused", [](auto& s, auto&) { s.config().firmwareVersion = 0x0200; }, KB_FW_DEVICE_ERROR,
         "升级固件版本低于设备固件版本（该固件文件不允许降级使用）"},
        {"wrong device type", [](auto& s, auto&) { s.config().deviceType = 0x3800; }, KB_FW_DEVICE_ERROR,
         "设备类型及硬件版本不符合"},
        {"link address too low", [](auto& s, auto&) { s.config().minLinkAddress = 0x08010000; }, KB_FW_DEVICE_ERROR,
         "升级固件链接起始地址太小"},
        {"image too long", [](auto& s, auto&) { s.config().maxImageLength = 100; }, KB_FW_DEVICE_ERROR, "固件长度太长"},
        {"unknown device code", [](auto& s, auto&) { s.misbehaviour().startError = 0x1234; }, KB_FW_DEVICE_ERROR,
         "错误码：0x1234"},
        {"sends fail", [](auto&, auto& p) { p.writeMode = FakePort::WriteMode::Fail; }, KB_FW_LINK_ERROR, "发送数据出错"},
        {"plug-in takes nothing", [](auto&, auto& p) { p.writeMode = FakePort::WriteMode::ReturnZero; },
         KB_FW_LINK_ERROR, "发送数据出错"},
        {"plug-in claims more", [](auto&, auto& p) { p.writeMode = FakePort::WriteMode::ReturnMore; },
         KB_FW_LINK_ERROR, "发送数据出错"},
        {"device silent", [](auto& s, auto&) { s.setFaultRates({.dropRequest = 1.0}); }, KB_FW_LINK_ERROR,
         "设备回应超时,超过重试次数"},
        {"device babbles noise", [](auto& s, auto&) { s.misbehaviour().babble = true; }, KB_FW_LINK_ERROR,
         "设备回应超时,超过重试次数"},
        {"status neither done nor error", [](auto& s, auto&) { s.misbehaviour().replyStatus = 3; },
         KB_FW_PROTOCOL_ERROR, "设备回应数据包格式错误"},
        {"device babbles frames of another status", [](auto& s, auto&) { s.misbehaviour().babbleFrame = {2, 3, 0, 4}; },
         KB_FW_PROTOCOL_ERROR, "设备回应数据包格式错误"},
        {"device babbles answers to another command",
         [](auto& s, auto&) { s.misbehaviour().babbleFrame = {0x81, 1, 0, 4}; }, KB_FW_PROTOCOL_ERROR,
         "设备回应数据包格式错误"},
        {"grant above the host buffer", [](auto& s, auto&) { s.misbehaviour().grant = 8192; }, KB_FW_PROTOCOL_ERROR,
         "设备回应数据包格式错误"},
        {"always one block behind", [](auto& s, auto&) { s.misbehaviour().alwaysBehind = true; },
         KB_FW_PROTOCOL_ERROR, "设备回应数据包格式错误"},
        {"grant too small for 16-bit block numbers", [](auto& s, auto&) { s.misbehaviour().grant = 1; },
         KB_FW_PROTOCOL_ERROR, "设备回应数据包格式错误"},
        {"block taken beyond the one sent", [](auto& s, auto&) { s.misbehaviour().ackAhead = 1; },
         KB_FW_PROTOCOL_ERROR, "传输协议出错，当前传输块号：1,设备端需求块号：3"},
    };
    const Bytes payload = makePayload(70000, 3);
    const std::string path = dir.writeFile("fw.upf", buildUpf({.payload = payload}));
    FakePort& port = addPort("VEXA");
    for (const CodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        port.writeMode = FakePort::WriteMode::Normal;
        vexa::sim::BootLoaderSim& s = port.addDevice();
        c.arrange(s, port);
        ASSERT_EQ(KB_OpenCommDevice(0, nullptr), 1);
        const int device = KB_SearchDevice(0) - 1;
        const Result r = upgrade(device, path);
        EXPECT_EQ(r.ok, 0);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.text, c.text);
        // Every text the library records, its variable parts too, has its English in the table
        // that programs show it through.
        const std::string english = vexa::fwtext::english(r.text);
        EXPECT_NE(english, r.text);
        EXPECT_EQ(english.find_first_of("\xe3\xe4\xe5\xe6\xe7\xe8\xe9\xef"), std::string::npos) << english;
        EXPECT_FALSE(s.complete());
        EXPECT_EQ(KB_GetUpdateFirwareProgress(device), 10000);
        // The device is given up after a bounded number of rounds.
        EXPECT_LE(s.dataFrames().size(), 12u);
        EXPECT_EQ(KB_CloseCommDevice(0), 1);
    }
    // The variable parts carry over; a text of another shape is left as it is.
    EXPECT_EQ(vexa::fwtext::english("错误码：0x1234"), "device error code 0x1234");
    EXPECT_EQ(vexa::fwtext::english("传输协议出错，当前传输块号：1,设备端需求块号：3"),
              "transfer protocol error: block 1 sent, the device asks for block 3");
    EXPECT_EQ(vexa::fwtext::english("错误码：0x"), "错误码：0x");
    EXPECT_EQ(vexa::fwtext::english("升级完成!"), "升级完成!");
}

TEST_F(Transfer, OversizedGrantSendsNoBlock) {
    FakePort& port = openWithDevices();
    port.device(1).misbehaviour().grant = 8192;
    const Result r = upgrade(0, UpfLayout{.payload = makePayload(20000)});
    EXPECT_EQ(r.code, KB_FW_PROTOCOL_ERROR);
    EXPECT_TRUE(sim().dataFrames().empty());
}

TEST_F(Transfer, ImageCheckFailureAtTheEndIsADeviceError) {
    openWithDevices();
    const Bytes payload = makePayload(3000);
    vexa::sim::BootHeader header = vexa::sim::BootHeader::forImage(payload);
    header.imageSum += 1;
    const Result r = upgrade(0, UpfLayout{.payload = payload, .header = header.encode()});
    EXPECT_EQ(r.code, KB_FW_DEVICE_ERROR);
    EXPECT_EQ(r.text, "固件校验失败");
}

TEST_F(Transfer, FileTruncatedDuringTheTransferIsAFileError) {
    FakePort& port = openWithDevices();
    const Bytes payload = makePayload(8000);
    const std::string path = dir.writeFile("fw.upf", buildUpf({.payload = payload}));
    port.afterWrite = [&](int) {
        if (sim().dataFrames().size() == 3) {
            EXPECT_EQ(::truncate(path.c_str(), 3000), 0);
        }
    };
    const Result r = upgrade(0, path);
    EXPECT_EQ(r.code, KB_FW_FILE_ERROR);
    EXPECT_EQ(r.text, "升级文件格式错误");
    EXPECT_FALSE(sim().complete());
}

TEST_F(Transfer, SingleFaultsStillEndByteExact) {
    struct FaultCase {
        const char* name;
        BootFault fault;
        int delayMs;
    };
    const FaultCase cases[] = {
        {"request dropped", BootFault::DropRequest, 0},
        {"reply dropped", BootFault::DropReply, 0},
        {"reply corrupted", BootFault::Corrupt, 0},
        {"reply truncated", BootFault::Truncate, 0},
        {"reply duplicated", BootFault::Duplicate, 0},
        {"reply late within the second attempt", BootFault::Delay, 2000},
        {"reply too late", BootFault::Delay, 5000},
    };
    const Bytes payload = makePayload(5000, 11);
    const std::string path = dir.writeFile("fw.upf", buildUpf({.payload = payload}));
    FakePort& port = addPort("VEXA");
    for (const FaultCase& c : cases) {
        for (int frame : {0, 3, 5}) {  // the start, a middle block, the short last block
            SCOPED_TRACE(std::string(c.name) + " at frame " + std::to_string(frame));
            vexa::sim::BootLoaderSim& s = port.addDevice();
            for (int i = 0; i < frame; ++i) s.pushFault(BootFault::None);
            s.pushFault(c.fault, c.delayMs);
            ASSERT_EQ(KB_OpenCommDevice(0, nullptr), 1);
            const int device = KB_SearchDevice(0) - 1;
            const Result r = upgrade(device, path);
            EXPECT_EQ(r.code, KB_FW_OK) << r.text;
            EXPECT_TRUE(s.image() == payload);
            EXPECT_EQ(KB_CloseCommDevice(0), 1);
        }
    }
}

TEST_F(Transfer, LostBlockBeforeTheShortLastOneIsResentFromTheFile) {
    // The device acknowledges block 4 and then loses it, so it answers the short last block 5
    // with 3: the host must step back one whole block and resend block 4 as the file holds it.
    openWithDevices();
    sim().misbehaviour().forgetBlocks = {4};
    const Bytes payload = makePayload(4 * 1024 + 100, 5);
    expectExact(upgrade(0, UpfLayout{.payload = payload}), payload);
    const auto& frames = sim().dataFrames();
    std::vector<int> order;
    for (const auto& f : frames) order.push_back(f.block);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5, 4, 5}));
    EXPECT_EQ(frames[5].data, blockOf(payload, 4));
    EXPECT_EQ(frames[6].data, blockOf(payload, 5));
}

TEST_F(Transfer, RandomFaultsNeverReportSuccessWithAWrongImage) {
    const Bytes payload = makePayload(6000, 9);
    const std::string path = dir.writeFile("fw.upf", buildUpf({.payload = payload}));
    FakePort& port = addPort("VEXA");
    int succeeded = 0;
    for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        vexa::sim::BootLoaderSim& s = port.addDevice();
        s.setFaultRates({.dropRequest = 0.05, .dropReply = 0.05, .corrupt = 0.05, .truncate = 0.05,
                         .duplicate = 0.05, .delay = 0.05, .delayMs = 2500, .seed = seed});
        ASSERT_EQ(KB_OpenCommDevice(0, nullptr), 1);
        const int device = KB_SearchDevice(0) - 1;
        const Result r = upgrade(device, path);
        if (r.ok) {
            ++succeeded;
            EXPECT_EQ(r.code, KB_FW_OK);
            EXPECT_TRUE(s.image() == payload);
        } else {
            EXPECT_LT(r.code, 0);
            EXPECT_NE(r.text, "");
        }
        EXPECT_EQ(KB_CloseCommDevice(0), 1);
    }
    EXPECT_GT(succeeded, 0);
}

TEST_F(Transfer, ResultsStayWithTheirRow) {
    FakePort& port = openWithDevices(2);
    port.device(2).misbehaviour().grant = 0;
    const Bytes payload = makePayload(1500);
    EXPECT_EQ(upgrade(0, UpfLayout{.payload = payload}).code, KB_FW_OK);
    EXPECT_EQ(upgrade(1, UpfLayout{.payload = payload}).code, KB_FW_TYPE_MISMATCH);
    EXPECT_EQ(KB_GetErrInfo(0, nullptr), KB_FW_OK);
    EXPECT_EQ(errText(1), "固件类型不匹配");
    EXPECT_TRUE(port.device(1).image() == payload);
    EXPECT_TRUE(port.device(2).image().empty());
}

}  // namespace
}  // namespace fwtest
