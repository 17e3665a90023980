// The sub-module catalog against the modules themselves: a simulated module of every class it
// lists accepts exactly the keys the catalog names for it, and bad arguments get result codes.
#include <set>

#include "SubSupport.h"

using namespace vexa;
using namespace vexa::test;

namespace {

// The key texts of a module type (bounded: the catalog ends with RC_NO_MORE), roles checked.
std::set<std::string> keysOf(int type, int hardVer, bool data) {
    std::set<std::string> out;
    char key[KO_TEXT_SIZE];
    int role = -1, rc = RC_OK;
    for (int i = 0; i < 1000 && (rc = KO_GetSubClassKey(type, hardVer, data, i, key, sizeof key, &role)) == RC_OK;
         ++i) {
        EXPECT_EQ(data, role == KO_ROLE_INPUT || role == KO_ROLE_OUTPUT) << key << " role " << role;
        EXPECT_TRUE(out.insert(key).second) << key << " listed twice";
    }
    EXPECT_EQ(rc, RC_NO_MORE);
    return out;
}

}  // namespace

TEST_F(SubTest, CatalogKeysAreExactlyWhatEachModuleAccepts) {
    // A module of every class (the oldest hardware its row serves, at least 1.00), eight to a
    // coupler, and every key of any class to ask each of them for.
    std::vector<std::pair<sim::Identity, std::string>> classes;
    std::set<std::string> allKeys[2];
    char name[KO_TEXT_SIZE];
    for (int i = 0, type, hw; KO_GetSubClass(i, &type, &hw, name, sizeof name) == RC_OK; ++i) {
        classes.push_back({sim::subIdentity(static_cast<std::uint16_t>(type),
                                            static_cast<std::uint16_t>(std::max(hw, 0x100))), name});
        for (int d = 0; d < 2; ++d) allKeys[d].merge(keysOf(type, classes.back().first.hardVer, d));
    }
    ASSERT_GT(classes.size(), 8u);
    // Also the channel after each listed one, so that a run listed one channel short shows.
    for (auto& keys : allKeys)
        for (std::string key : std::set<std::string>(keys)) {
            std::size_t digits = key.find_last_not_of("0123456789") + 1;
            if (digits < key.size())
                keys.insert(key.substr(0, digits) + std::to_string(std::stoi(key.substr(digits)) + 1));
        }
    std::vector<sim::SimCoupler*> couplers;
    for (std::size_t first = 0; first < classes.size(); first += sim::kMaxSubModules) {
        std::vector<sim::SubModuleConfig> subs;
        for (std::size_t i = first; i < classes.size() && i < first + sim::kMaxSubModules; ++i)
            subs.push_back({static_cast<int>(i - first) + 1, classes[i].first});
        couplers.push_back(add(Wire::Eth, subs));
    }
    start();

    for (std::size_t i = 0; i < classes.size(); ++i) {
        const auto& [id, className] = classes[i];
        SCOPED_TRACE(className + " hw " + std::to_string(id.hardVer));
        KO_HANDLE h = operate(Wire::Eth, couplers[i / sim::kMaxSubModules]);
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(KO_GetSubClassName(id.type, id.hardVer, name, sizeof name), RC_OK);
        EXPECT_EQ(className, name);  // the row listed is the one serving the module
        KO_SUBHANDLE s = KO_SetOperateSubDev(h, static_cast<int>(i % sim::kMaxSubModules) + 1);
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(KO_ReadSubDevProperty(s), RC_OK);
        ASSERT_EQ(KO_ReadSubDevData(s), RC_OK);
        for (int d = 0; d < 2; ++d) {
            std::set<std::string> own = keysOf(id.type, id.hardVer, d);
            for (const auto& key : allKeys[d]) {
                char text[KO_TEXT_SIZE];
                int rc = d ? KO_GetSubDevData(s, key.c_str(), text) : KO_GetSubDevProperty(s, key.c_str(), text);
                EXPECT_EQ(rc, own.count(key) ? RC_OK : d ? RC_DATA_KEY_UNKNOWN : RC_KEY_UNKNOWN) << key;
            }
        }
        KO_UnOperateDev(h);
    }
}

TEST(SubCatalogArgs, BadArgumentsGiveResultCodes) {
    char buf[KO_TEXT_SIZE];
    int type = 0, hw = 0, role = 0;
    // 0x1804 is served by "CSub1804"; its first property is "SLAVER_ADDRESS".
    const struct {
        const char* what;
        int rc, expect;
    } kCases[] = {
        {"class -1", KO_GetSubClass(-1, &type, &hw, buf, sizeof buf), RC_INVALID_PARAM},
        {"class past end", KO_GetSubClass(100000, &type, &hw, buf, sizeof buf), RC_NO_MORE},
        {"class null type", KO_GetSubClass(0, nullptr, &hw, buf, sizeof buf), RC_INVALID_PARAM},
        {"class null name", KO_GetSubClass(0, &type, &hw, nullptr, 64), RC_INVALID_PARAM},
        {"class name size 0", KO_GetSubClass(0, &type, &hw, buf, 0), RC_BUFFER_TOO_SMALL},
        {"class name size -1", KO_GetSubClass(0, &type, &hw, buf, -1), RC_INVALID_PARAM},
        {"name unknown type", KO_GetSubClassName(0x1234, 0x100, buf, sizeof buf), RC_TYPE_UNKNOWN},
        {"name type > 16 bits", KO_GetSubClassName(0x11804, 0x100, buf, sizeof buf), RC_INVALID_PARAM},
        {"name null", KO_GetSubClassName(0x1804, 0x100, nullptr, 64), RC_INVALID_PARAM},
        {"name fits exactly", KO_GetSubClassName(0x1804, 0x100, buf, 9), RC_OK},
        {"name one byte short", KO_GetSubClassName(0x1804, 0x100, buf, 8), RC_BUFFER_TOO_SMALL},
        {"type as a short", KO_GetSubClassName(static_cast<short>(0x9999), 0x100, buf, sizeof buf), RC_OK},
        {"key unknown type", KO_GetSubClassKey(0x1234, 0x100, 0, 0, buf, sizeof buf, &role), RC_TYPE_UNKNOWN},
        {"key index -1", KO_GetSubClassKey(0x1804, 0x100, 0, -1, buf, sizeof buf, &role), RC_INVALID_PARAM},
        {"key past end", KO_GetSubClassKey(0x1804, 0x100, 1, 100000, buf, sizeof buf, &role), RC_NO_MORE},
        {"key null", KO_GetSubClassKey(0x1804, 0x100, 0, 0, nullptr, 64, &role), RC_INVALID_PARAM},
        {"key null role", KO_GetSubClassKey(0x1804, 0x100, 0, 0, buf, 15, nullptr), RC_OK},
        {"key one byte short", KO_GetSubClassKey(0x1804, 0x100, 0, 0, buf, 14, &role), RC_BUFFER_TOO_SMALL},
    };
    for (const auto& c : kCases) EXPECT_EQ(c.rc, c.expect) << c.what;
    EXPECT_STREQ(buf, "");  // a text that did not fit leaves an empty one, not a cut one
}
