// vexactl's rack backup, run as a user runs it against a simulated rack of each coupler kind:
// backup, compare, restore (with its plan, confirmations and identity), and damaged files.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "CliRun.h"
#include "sim/SimRack.h"

namespace {

using clitest::CliRun;
using clitest::vexactl;
using vexa::sim::CouplerKind;

bool has(const CliRun& r, const std::string& text) { return r.out.find(text) != std::string::npos; }

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// One coupler kind: how it is named on the command line, and an identity key it has.
struct Kind {
    const char* name;
    CouplerKind kind;
    const char* identityKey;
    const char* identityValue;
};

// Test names and messages show the kind, not its bytes.
void PrintTo(const Kind& k, std::ostream* os) { *os << k.name; }

const Kind kKinds[] = {
    {"eth", CouplerKind::Ethernet, "MAIN_NAME", "replaced"},
    {"hid", CouplerKind::Hid, "MAIN_CANOPEN_ADDR", "9"},
    {"rs", CouplerKind::Serial, "MAIN_NAME", "replaced"},
};

// Three settings of two sub modules, each away from what the module starts with.
struct Change {
    int position;
    const char* key;
    const char* was;
    const char* value;
};
const Change kChanges[] = {
    {1, "SET_AIN_TYPE_2", "2", "1"},
    {2, "SET_DOUT_MODE_3", "0", "1"},
    {2, "SET_DOUT_DEFAULT_5", "0", "1"},
};

class RackBackupCliTest : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        std::vector<vexa::sim::SubModuleConfig> subs = {{1, vexa::sim::subIdentity(0x4017)},
                                                        {2, vexa::sim::subIdentity(0x2808)}};
        switch (GetParam().kind) {
            case CouplerKind::Ethernet:
                coupler = rack.addEthernet({.subs = subs});
                break;
            case CouplerKind::Hid:
                coupler = rack.addHid({.subs = subs});
                break;
            case CouplerKind::Serial:
                coupler = rack.addSerial({.station = 5, .subs = subs});
                break;
        }
        ASSERT_NE(coupler, nullptr);
        ASSERT_EQ(rack.start(), vexa::sim::kSimOk);
        setenv("VEXA_ETH_BROADCAST", rack.hubAddress().c_str(), 1);
        setenv("VEXA_HID", ("sim:" + rack.hidFolder()).c_str(), 1);
        setenv("VEXA_TEST_HID_TIMEOUT_MS", "50", 1);
        setenv("VEXA_TEST_HID_RETRY_MS", "1", 1);
        switch (GetParam().kind) {
            case CouplerKind::Ethernet:
                target = "eth:" + coupler->address();
                break;
            case CouplerKind::Hid:
                target = "hid:" + coupler->address();
                break;
            case CouplerKind::Serial:
                target = "rs:" + coupler->address() + ":5";
                break;
        }
        char tmpl[] = "/tmp/vexactl-rack-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        file = dir + "/rack.json";
    }
    void TearDown() override {
        for (const auto& f : files) unlink(f.c_str());
        unlink(file.c_str());
        rmdir(dir.c_str());
    }
    // The sub module at `position` as the coupler addresses it.
    std::string address(int position) const {
        return std::to_string(GetParam().kind == CouplerKind::Serial ? coupler->station() + position - 1 : position);
    }
    CliRun run(const std::string& command, const std::string& rest = "") {
        return vexactl(command + " " + target + " " + rest);
    }
    CliRun subSet(const Change& c) { return run("sub-set", address(c.position) + " " + c.key + " " + c.value); }
    std::string writeFile(const std::string& name, const std::string& text) {
        std::string path = dir + "/" + name;
        std::ofstream(path) << text;
        files.push_back(path);
        return path;
    }
    std::string backupText() {
        std::ifstream in(file);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    vexa::sim::SimRack rack{vexa::sim::RackOptions{.liveData = false}};
    vexa::sim::SimCoupler* coupler = nullptr;
    std::string target, dir, file;
    std::vector<std::string> files;
};

TEST_P(RackBackupCliTest, ChangedSettingsAreFoundAndRestored) {
    CliRun r = run("backup", file);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, "slot=" + address(1) + "  type=VEXA-4017")) << r.out;
    EXPECT_TRUE(has(r, "saved " + file)) << r.out;
    EXPECT_EQ(run("compare", file).status, 0);

    for (const auto& c : kChanges) ASSERT_EQ(subSet(c).status, 0) << c.key;
    r = run("compare", file);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(count(r.out, "state="), 3) << r.out;
    for (const auto& c : kChanges)
        EXPECT_TRUE(has(r, "key=" + std::string(c.key) + "  state=different  file=" + c.was + "  live=" + c.value))
            << r.out;

    // The plan alone writes nothing.
    coupler->clearLog();
    r = run("restore", file);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(count(r.out, "outcome=planned"), 3) << r.out;
    EXPECT_TRUE(has(r, "--yes")) << r.out;
    EXPECT_EQ(run("compare", file).status, 1);

    r = run("restore", file + " --yes");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(count(r.out, "phase=report"), 3) << r.out;
    EXPECT_EQ(count(r.out, "outcome=written"), 3) << r.out;
    r = run("compare", file + " --json");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, "{\"records\":[],")) << r.out;
}

TEST_P(RackBackupCliTest, AnotherTypeInASlotIsWrittenOnlyWhenConfirmed) {
    ASSERT_EQ(run("backup", file).status, 0);
    // Slot 2 now holds a module of another type with the same output settings, all at 0.
    ASSERT_TRUE(coupler->addSub({2, vexa::sim::subIdentity(0x9108)}));
    ASSERT_EQ(subSet(kChanges[0]).status, 0);
    ASSERT_EQ(run("sub-set", address(2) + " SET_DOUT_MODE_3 1").status, 0);

    CliRun r = run("restore", file + " --yes");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(
        has(r, "phase=plan  slot=" + address(2) + "  module=type-mismatch  file=VEXA-2808 V1.00  live=VEXA-9108"))
        << r.out;
    EXPECT_TRUE(has(r, "key=SET_DOUT_MODE_3  outcome=skipped  reason=type-mismatch")) << r.out;
    EXPECT_EQ(count(r.out, "outcome=written"), 1) << r.out;  // slot 1 only
    r = run("compare", file);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r, "module=type-mismatch")) << r.out;

    r = run("restore", file + " --yes --confirm-slot " + address(2));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, "confirmed=yes")) << r.out;
    EXPECT_TRUE(has(r, "phase=report  slot=" + address(2) + "  key=SET_DOUT_MODE_3  outcome=written")) << r.out;
    EXPECT_TRUE(has(run("sub-props", address(2) + " SET_DOUT_MODE_3"), "value=0"));

    // An empty slot: named by compare, skipped by restore.
    ASSERT_TRUE(coupler->removeSub(2));
    r = run("compare", file);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r, "slot=" + address(2) + "  module=only-in-file")) << r.out;
    r = run("restore", file + " --yes");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, "key=SET_DOUT_MODE_3  outcome=skipped  reason=no-module")) << r.out;
}

TEST_P(RackBackupCliTest, IdentityStaysUnlessNamed) {
    const Kind& k = GetParam();
    ASSERT_EQ(run("backup", file).status, 0);
    ASSERT_EQ(run("set", std::string(k.identityKey) + " " + k.identityValue).status, 0);
    CliRun r = run("restore", file + " --yes");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, "key=" + std::string(k.identityKey) + "  outcome=skipped  reason=identity")) << r.out;
    EXPECT_EQ(count(r.out, "outcome=written"), 0) << r.out;
    r = run("get", k.identityKey);
    EXPECT_TRUE(has(r, std::string("value=") + k.identityValue)) << r.out;
    EXPECT_EQ(run("compare", file).status, 1);

    r = run("restore", file + " --yes --identity " + k.identityKey);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, "phase=report  slot=0  key=" + std::string(k.identityKey) + "  outcome=written")) << r.out;
    EXPECT_EQ(run("compare", file).status, 0);
}

TEST_P(RackBackupCliTest, DamagedFilesAreRefusedBeforeAnythingIsSent) {
    ASSERT_EQ(run("backup", file).status, 0);
    const std::string good = backupText();
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        auto at = t.find(from);
        return at == std::string::npos ? std::string("(not found: ") + from + ")" : t.replace(at, from.size(), to);
    };
    struct Bad {
        const char* name;
        std::string text;
        const char* message;
    };
    const Bad bad[] = {
        {"truncated.json", good.substr(0, good.size() / 2), "not a JSON file"},
        {"version.json", replaced("\"version\": 1", "\"version\": 7"), "unknown version 7"},
        {"format.json", replaced("\"vexa-rack\"", "\"something\""), "not a rack backup"},
        {"field.json", replaced("\"slot\": " + address(1) + ",", "\"slot\": " + address(1) + ", \"colour\": \"\","),
         "unknown field 'colour'"},
        {"value.json", replaced("\"SET_AIN_TYPE_2\": \"2\"", "\"SET_AIN_TYPE_2\": 0"),
         "'SET_AIN_TYPE_2' is not a text"},
        {"slot.json", replaced("\"slot\": " + address(2), "\"slot\": \"two\""), "'slot' is no address"},
    };
    ASSERT_EQ(subSet(kChanges[0]).status, 0);
    for (const auto& b : bad) {
        std::string path = writeFile(b.name, b.text);
        coupler->clearLog();
        for (const std::string command : {"restore", "compare"}) {
            CliRun r = run(command, path + (command == "restore" ? " --yes" : ""));  // compare takes no --yes
            EXPECT_EQ(r.status, 2) << command << " " << b.name << "\n" << r.out;
            EXPECT_TRUE(has(r, b.message)) << command << " " << b.name << "\n" << r.out;
        }
        EXPECT_EQ(coupler->requestCount(), 0u) << b.name;
    }
    EXPECT_EQ(run("restore", dir + "/missing.json").status, 2);

    // A key this module does not know is reported on its own; the rest is still written.
    std::string unknown = writeFile(
        "unknown.json", replaced("\"SET_AIN_TYPE_2\": \"2\"", "\"SET_NO_SUCH_KEY\": \"1\", \"SET_AIN_TYPE_2\": \"0\""));
    CliRun r = run("restore", unknown + " --yes");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has(r, "key=SET_NO_SUCH_KEY  outcome=refused")) << r.out;
    EXPECT_TRUE(has(r, "303 RC_KEY_UNKNOWN") || has(r, "result=RC_KEY_UNKNOWN")) << r.out;
    EXPECT_TRUE(has(r, "key=SET_AIN_TYPE_2  outcome=written")) << r.out;

    // A save that cannot happen leaves the older backup whole.
    EXPECT_NE(run("backup", dir + "/no/such/folder/rack.json").status, 0);
    EXPECT_EQ(backupText(), good);
}

INSTANTIATE_TEST_SUITE_P(Couplers, RackBackupCliTest, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<Kind>& info) { return std::string(info.param.name); });

}  // namespace
