// The shipped catalog files checked against the device library on a simulated rack that plays
// every sub-module type: each file belongs to a module the library serves, each row's key is
// one the library answers on that page, each drop-down value is a text the library accepts and
// renders for that key, and both languages describe the same rows.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <tinyxml2.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "VexaSdk.h"
#include "sim/SimRack.h"

namespace {

namespace fs = std::filesystem;
using namespace vexa;

constexpr const char* kLanguages[] = {"0", "1"};
// The coupler types: Ethernet (9 on its wire), RS-485, USB.
bool isCoupler(unsigned type) { return type == 0x0009 || type == 0x9010 || type == 0x9020; }
constexpr const char* kEditorFlags[] = {"comboedit", "button", "statebutton", "senddatabutton", "TextWithStateBtn"};

struct Option {
    std::string name, value, enable, disable;
};

struct Item {
    int id = 0, readonly = 0, property = 0, early = 0;
    std::string cmd, name, defaultval, editor, colour;
    std::vector<Option> options;
    bool has(const char* flag) const { return editor.find(std::string(flag) + "=1") != std::string::npos; }
};

struct CatalogFile {
    std::string name;
    unsigned type = 0, hardver = 0;
    int master = 0;
    std::vector<Item> pages[2];  // configuration, data
    std::string error;           // empty when the file parsed
};

std::string attr(const tinyxml2::XMLElement* e, const char* name) {
    const char* v = e->Attribute(name);
    return v ? v : "";
}

void readPage(const tinyxml2::XMLElement* root, std::vector<Item>& items) {
    for (auto* c = root->FirstChildElement("catalog"); c; c = c->NextSiblingElement("catalog"))
        for (auto* e = c->FirstChildElement("item"); e; e = e->NextSiblingElement("item")) {
            Item it;
            it.id = e->IntAttribute("id");
            it.readonly = e->IntAttribute("readonly");
            it.property = e->IntAttribute("property");
            it.early = e->IntAttribute("mdyearlier");
            it.cmd = attr(e, "cmd");
            it.name = attr(e, "name");
            it.defaultval = attr(e, "defaultval");
            it.colour = attr(e, "colorval_0") + "/" + attr(e, "colorval_1");
            for (const char* f : kEditorFlags)
                if (e->Attribute(f)) it.editor += std::string(f) + "=" + attr(e, f) + " ";
            for (auto* o = e->FirstChildElement("option"); o; o = o->NextSiblingElement("option"))
                it.options.push_back({attr(o, "name"), attr(o, "value"), attr(o, "enableitem"), attr(o, "disableitem")});
            items.push_back(std::move(it));
        }
}

CatalogFile readFile(const fs::path& path) {
    CatalogFile f;
    f.name = path.filename().string();
    tinyxml2::XMLDocument doc;
    if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS) {
        f.error = doc.ErrorStr();
        return f;
    }
    const auto* dev = doc.FirstChildElement("devtype");
    const auto* rootA = doc.FirstChildElement("root");
    if (!dev || !dev->Attribute("value") || !rootA) {
        f.error = "no devtype value or no root";
        return f;
    }
    f.type = static_cast<unsigned>(std::stoul(attr(dev, "value"), nullptr, 16));
    f.hardver = dev->Attribute("hardver") ? static_cast<unsigned>(std::stoul(attr(dev, "hardver"), nullptr, 16)) : 0;
    f.master = dev->IntAttribute("master");
    readPage(rootA, f.pages[0]);
    if (f.master == 2) {
        const auto* rootB = rootA->NextSiblingElement("root");
        if (!rootB) {
            f.error = "master 2 without a second root";
            return f;
        }
        readPage(rootB, f.pages[1]);
    }
    return f;
}

// Everything about a file but its texts: what both languages must share.
std::string skeleton(const CatalogFile& f) {
    std::string s = std::to_string(f.type) + "/" + std::to_string(f.hardver) + "/" + std::to_string(f.master) + "\n";
    for (const auto& page : f.pages) {
        for (const auto& it : page) {
            s += std::to_string(it.id) + " " + it.cmd + " ro=" + std::to_string(it.readonly) + " p=" +
                 std::to_string(it.property) + " e=" + std::to_string(it.early) + " d=" + it.defaultval + " " + it.editor +
                 it.colour + ":";
            for (const auto& o : it.options) s += " [" + o.value + "|" + o.enable + "|" + o.disable + "]";
            s += "\n";
        }
        s += "--\n";
    }
    return s;
}

// Keys the workspace drives with a button of their own: wherever a module answers one, its data
// page carries that button, read with the call the key answers to, next to the row that shows
// the command's outcome.
struct CommandRow {
    const char* key;
    bool channels;  // a family: key + 0, 1, ...
    bool property;
    const char* editor;
    const char* outcome;  // read-only row showing the result, when the command has one
};

constexpr CommandRow kCommandRows[] = {
    {"DATA_DOUT_", true, false, "statebutton", nullptr},
    {"DATA_COUNT_", true, false, "senddatabutton", nullptr},
    {"SET_CF_EMPTY_", true, true, "senddatabutton", nullptr},
    {"SET_CMD_CALIB_W", false, true, "senddatabutton", "SET_CMD_CALIB_R"},
    {"SET_WORKMODE", false, true, "senddatabutton", "SET_CMD_CALIB_R"},
    {"DATA_AOUT_CHECK_SEND", false, false, "senddatabutton", "DATA_AOUT_CHECK_READ"},
    {"SET_AOUT_SYNC", false, true, "senddatabutton", nullptr},
};
constexpr int kMaxChannels = 16;

struct Module {
    KO_HANDLE coupler = nullptr;
    int address = 0;
    unsigned type = 0, hardver = 0;
};

std::string text(int rc, const char* t) { return rc == RC_OK ? std::string(t) : "rc=" + std::to_string(rc); }

class CatalogData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* lang : kLanguages) {
            fs::path dir = fs::path(VEXA_CATALOG_DIR) / lang;
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(dir, ec))
                if (e.is_regular_file() && e.path().extension() == ".xml") files_[lang].push_back(readFile(e.path()));
            std::sort(files_[lang].begin(), files_[lang].end(),
                      [](const CatalogFile& a, const CatalogFile& b) { return a.name < b.name; });
        }

        rack_ = std::make_unique<sim::SimRack>(sim::RackOptions{.liveData = false});
        auto types = sim::everySubModuleType();
        for (std::size_t first = 0; first < types.size(); first += sim::kMaxSubModules) {
            std::vector<sim::SubModuleConfig> subs;
            for (std::size_t i = first; i < types.size() && i < first + sim::kMaxSubModules; ++i)
                subs.push_back({static_cast<int>(i - first) + 1, types[i]});
            rack_->addHid({.subs = subs});
        }
        sim::SimCoupler* eth = rack_->addEthernet({});
        rack_->addSerial({});
        if (rack_->start() != sim::kSimOk) return;
        setenv("VEXA_HID", ("sim:" + rack_->hidFolder()).c_str(), 1);

        KO_HIDSearchAll();
        char path[KO_HID_PATH_SIZE];
        short manufacturer, type, mode, hard, soft;
        int serial;
        std::vector<std::pair<std::string, short>> found;
        while (KO_HIDGetSearchDev(path, &manufacturer, &type, &mode, &hard, &soft, &serial) == RC_OK)
            found.emplace_back(path, type);
        for (const auto& [p, t] : found) {
            KO_HANDLE h = KO_HIDSetOperateDev(p.c_str(), static_cast<unsigned short>(t), 0);
            if (!h || KO_SearchSubDev(h) != RC_OK) continue;
            couplers_.push_back(h);
            couplerByType_[static_cast<unsigned short>(t)] = h;
            for (int i = 0; i < sim::kMaxSubModules; ++i) {
                short addr, man, ty, mo, hw, sw;
                int sn;
                if (KO_GetSearchSubDev(h, &addr, &man, &ty, &mo, &hw, &sw, &sn, i) != RC_OK || addr == 0) continue;
                modules_.push_back({h, addr, static_cast<unsigned short>(ty), static_cast<unsigned short>(hw)});
            }
        }
        // The other two kinds, found by address and by station.
        char ip[KO_IP_TEXT_SIZE], mac[KO_MAC_TEXT_SIZE];
        int ethHard, ethType, ethMode, flags, extra;
        if (KO_EthSearchByIP(eth->address().c_str()) == RC_OK &&
            KO_EthGetSearchDev(ip, mac, &ethHard, &ethType, &ethMode, &flags, &extra) == RC_OK)
            if (KO_HANDLE h = KO_EthSetOperateDev(ip, mac, ethType, ethMode)) couplers_.push_back(couplerByType_[0x0009] = h);
        const std::string port = rack_->serialPath(0);
        char station;
        if (KO_RSSearchByID(1, 0, port.c_str(), 9600, 8, 0, 0, 1, 1, 0, 0, 1000) == RC_OK &&
            KO_RSGetSearch(&station, &manufacturer, &type, &mode, &hard, &soft, &serial) == RC_OK)
            if (KO_HANDLE h = KO_RSSetOperateDev(1, static_cast<unsigned short>(type), static_cast<unsigned short>(mode), 0,
                                                 port.c_str(), 9600, 8, 0, 0, 1, 1, 0, 0, 1000))
                couplers_.push_back(couplerByType_[0x9010] = h);
    }

    static void TearDownTestSuite() {
        for (KO_HANDLE h : couplers_) KO_UnOperateDev(h);
        couplers_.clear();
        couplerByType_.clear();
        modules_.clear();
        rack_.reset();
        files_.clear();
    }

    void SetUp() override {
        ASSERT_FALSE(files_["0"].empty()) << "no catalog files in " << VEXA_CATALOG_DIR;
        ASSERT_EQ(modules_.size(), sim::everySubModuleType().size()) << "the rack did not come up whole";
    }

    // The file the workbench picks for a module: its exact hardware version, else version 0.
    static const CatalogFile* fileFor(const Module& m) {
        const CatalogFile* fallback = nullptr;
        for (const auto& f : files_["0"]) {
            if (f.type != m.type) continue;
            if (f.hardver == m.hardver) return &f;
            if (f.hardver == 0 && !fallback) fallback = &f;
        }
        return fallback;
    }

    static std::vector<Module> modulesOf(const CatalogFile& f) {
        std::vector<Module> out;
        for (const auto& m : modules_)
            if (fileFor(m) == &f) out.push_back(m);
        return out;
    }

    static std::unique_ptr<sim::SimRack> rack_;
    static std::vector<KO_HANDLE> couplers_;  // every one opened
    static std::map<unsigned, KO_HANDLE> couplerByType_;  // one of each kind
    static std::vector<Module> modules_;
    static std::map<std::string, std::vector<CatalogFile>> files_;
};

std::unique_ptr<sim::SimRack> CatalogData::rack_;
std::vector<KO_HANDLE> CatalogData::couplers_;
std::map<unsigned, KO_HANDLE> CatalogData::couplerByType_;
std::vector<Module> CatalogData::modules_;
std::map<std::string, std::vector<CatalogFile>> CatalogData::files_;

TEST_F(CatalogData, FilesParseAndAreNamedAfterTheirType) {
    for (const auto& [lang, files] : files_)
        for (const auto& f : files) {
            SCOPED_TRACE(lang + "/" + f.name);
            ASSERT_EQ(f.error, "");
            char expect[32];
            if (f.hardver)
                std::snprintf(expect, sizeof expect, "VEXA-%04X-%04X.xml", f.type, f.hardver);
            else
                std::snprintf(expect, sizeof expect, "VEXA-%04X.xml", f.type);
            EXPECT_EQ(f.name, expect);
            EXPECT_EQ(f.master, isCoupler(f.type) ? 1 : 2);
            // Ids are unique, never one of the masked ids, and every id an option names exists.
            std::set<int> ids[2];
            for (int p = 0; p < 2; ++p)
                for (const auto& it : f.pages[p]) {
                    EXPECT_TRUE(ids[0].count(it.id) + ids[1].count(it.id) == 0 && it.id != 4 && it.id != 6 && it.id != 7)
                        << it.cmd << " id " << it.id;
                    ids[p].insert(it.id);
                    EXPECT_FALSE(it.name.empty()) << it.cmd;
                }
            for (int p = 0; p < 2; ++p)
                for (const auto& it : f.pages[p])
                    for (const auto& o : it.options)
                        for (const std::string& list : {o.enable, o.disable}) {
                            std::size_t at = 0;
                            while (at < list.size()) {
                                std::size_t bar = list.find('|', at);
                                int id = std::stoi(list.substr(at, bar - at));
                                bool found = id > 1000 ? ids[1].count(id - 1000) : ids[p].count(id);
                                EXPECT_TRUE(found) << it.cmd << " names id " << id;
                                at = bar == std::string::npos ? list.size() : bar + 1;
                            }
                        }
        }
}

TEST_F(CatalogData, BothLanguagesDescribeTheSameRows) {
    const auto& zh = files_["0"];
    const auto& en = files_["1"];
    ASSERT_EQ(zh.size(), en.size());
    for (std::size_t i = 0; i < zh.size(); ++i) {
        ASSERT_EQ(zh[i].name, en[i].name);
        EXPECT_EQ(skeleton(zh[i]), skeleton(en[i])) << zh[i].name;
    }
}

TEST_F(CatalogData, EveryFileBelongsToAModuleAndEveryModuleHasAFile) {
    for (const auto& m : modules_) {
        const CatalogFile* f = fileFor(m);
        ASSERT_NE(f, nullptr) << std::hex << "type " << m.type << " hardware " << m.hardver;
        // A later generation must not fall back to the file of the earlier one.
        EXPECT_TRUE(f->hardver == m.hardver || f->hardver == 0);
    }
    for (const auto& f : files_["0"]) {
        if (isCoupler(f.type)) continue;
        EXPECT_FALSE(modulesOf(f).empty()) << f.name << " describes no module the library serves";
    }
}

TEST_F(CatalogData, CouplerRowsAreKeysTheCouplerAnswers) {
    for (unsigned type : {0x0009u, 0x9010u, 0x9020u}) {
        SCOPED_TRACE(type);
        auto coupler = std::find_if(files_["0"].begin(), files_["0"].end(), [type](const CatalogFile& f) { return f.type == type; });
        ASSERT_NE(coupler, files_["0"].end());
        ASSERT_EQ(couplerByType_.count(type), 1u) << "the rack's coupler did not answer";
        KO_HANDLE h = couplerByType_[type];
        ASSERT_EQ(KO_ReadMainProperty(h), RC_OK);
        for (const auto& it : coupler->pages[0]) {
            char t[KO_TEXT_SIZE] = {};
            EXPECT_EQ(KO_GetMainProperty(h, it.cmd.c_str(), t), RC_OK) << it.cmd;
            for (const auto& o : it.options) {
                EXPECT_EQ(KO_ModifyMainProperty(h, it.cmd.c_str(), o.value.c_str()), RC_OK) << it.cmd << " " << o.value;
                KO_ResetMainProperty(h);
            }
        }
    }
}

// Every row of every file against a module it serves: the key answers on its page, the texts of
// state rows are what their buttons understand, and every option value is accepted (the change
// dropped again) and, on rows a user edits, read back unchanged after writing it.
TEST_F(CatalogData, RowsAreKeysTheModuleAnswersAndOptionsAreItsTexts) {
    for (const auto& f : files_["0"]) {
        if (isCoupler(f.type)) continue;
        for (const Module& m : modulesOf(f)) {
            SCOPED_TRACE(f.name + " at address " + std::to_string(m.address));
            KO_SUBHANDLE s = KO_SetOperateSubDev(m.coupler, m.address);
            ASSERT_NE(s, nullptr);
            ASSERT_EQ(KO_ReadSubDevProperty(s), RC_OK);
            ASSERT_EQ(KO_ReadSubDevData(s), RC_OK);
            for (int p = 0; p < 2; ++p)
                for (const auto& it : f.pages[p]) {
                    bool prop = p == 0 || it.property == 1;
                    auto get = [&] {
                        char t[KO_TEXT_SIZE] = {};
                        return text(prop ? KO_GetSubDevProperty(s, it.cmd.c_str(), t) : KO_GetSubDevData(s, it.cmd.c_str(), t), t);
                    };
                    std::string shown = get();
                    if (shown.rfind("rc=", 0) == 0) {
                        ADD_FAILURE() << it.cmd << " on page " << p << ": " << shown;
                        continue;
                    }
                    if (it.has("TextWithStateBtn")) {
                        EXPECT_TRUE(shown.find("Close") != std::string::npos || shown.find("Normal") != std::string::npos ||
                                    shown.find("Exceed") != std::string::npos)
                            << it.cmd << ": " << shown;
                    }
                    if (it.has("statebutton")) {
                        EXPECT_TRUE(shown == "0" || shown == "1") << it.cmd << ": " << shown;
                    }
                    bool stateText = shown.find("Close") != std::string::npos || shown.find("Normal") != std::string::npos ||
                                     shown.find("Exceed") != std::string::npos;
                    if (p == 1 && it.cmd.rfind("DATA_AIN_", 0) == 0 && stateText) {
                        EXPECT_TRUE(it.has("TextWithStateBtn")) << it.cmd << " shows a state: " << shown;
                    }
                    // A submit of its own only happens for configuration rows the user edits.
                    if (it.early) {
                        EXPECT_TRUE(p == 0 && it.readonly == 0) << it.cmd << " is flagged to go first but is never submitted";
                    }
                    // A command row never shows the module's value: its default is what its button
                    // sends, so the library must take it, and a configuration submit must never
                    // see it (it would differ from the module's value every time).
                    if (it.readonly == 2) {
                        EXPECT_EQ(p, 1) << it.cmd;
                        EXPECT_TRUE(it.has("senddatabutton")) << it.cmd;
                        int rc = prop ? KO_ModifySubDevProperty(s, it.cmd.c_str(), it.defaultval.c_str())
                                      : KO_ModifySubDevData(s, it.cmd.c_str(), it.defaultval.c_str());
                        EXPECT_EQ(rc, RC_OK) << it.cmd << " refuses its default '" << it.defaultval << "'";
                        prop ? KO_ResetSubDevProperty(s) : KO_ResetSubDevData(s);
                    }

                    for (const auto& o : it.options) {
                        auto modify = [&](const std::string& v) {
                            return prop ? KO_ModifySubDevProperty(s, it.cmd.c_str(), v.c_str())
                                        : KO_ModifySubDevData(s, it.cmd.c_str(), v.c_str());
                        };
                        auto submitAndRead = [&] {
                            return prop ? KO_SubmitSubDevProperty(s) == RC_OK && KO_ReadSubDevProperty(s) == RC_OK
                                        : KO_SubmitSubDevData(s) == RC_OK && KO_ReadSubDevData(s) == RC_OK;
                        };
                        prop ? KO_ResetSubDevProperty(s) : KO_ResetSubDevData(s);
                        EXPECT_EQ(modify(o.value), RC_OK) << it.cmd << " refuses " << o.value;
                        prop ? KO_ResetSubDevProperty(s) : KO_ResetSubDevData(s);
                        if (it.readonly == 1) continue;
                        ASSERT_EQ(modify(o.value), RC_OK);
                        ASSERT_TRUE(submitAndRead()) << it.cmd << " " << o.value;
                        EXPECT_EQ(get(), o.value) << it.cmd << " renders option " << o.value << " differently";
                        ASSERT_EQ(modify(shown), RC_OK) << it.cmd << " back to " << shown;
                        ASSERT_TRUE(submitAndRead());
                        EXPECT_EQ(get(), shown);
                    }
                }
        }
    }
}

TEST_F(CatalogData, CommandKeysTheModuleAnswersHaveTheirButtons) {
    for (const auto& f : files_["0"]) {
        if (isCoupler(f.type)) continue;
        auto rowOf = [&f](const std::string& key) -> const Item* {
            for (const auto& it : f.pages[1])
                if (it.cmd == key) return &it;
            return nullptr;
        };
        for (const Module& m : modulesOf(f)) {
            SCOPED_TRACE(f.name + " at address " + std::to_string(m.address));
            KO_SUBHANDLE s = KO_SetOperateSubDev(m.coupler, m.address);
            ASSERT_NE(s, nullptr);
            ASSERT_EQ(KO_ReadSubDevProperty(s), RC_OK);
            ASSERT_EQ(KO_ReadSubDevData(s), RC_OK);
            for (const auto& c : kCommandRows)
                for (int ch = 0; ch < (c.channels ? kMaxChannels : 1); ++ch) {
                    std::string key = c.channels ? c.key + std::to_string(ch) : std::string(c.key);
                    char t[KO_TEXT_SIZE] = {};
                    int rc = c.property ? KO_GetSubDevProperty(s, key.c_str(), t) : KO_GetSubDevData(s, key.c_str(), t);
                    if (rc != RC_OK) continue;  // not a key of this module
                    const Item* it = rowOf(key);
                    ASSERT_NE(it, nullptr) << key << " has no row on the data page";
                    EXPECT_TRUE(it->has(c.editor)) << key << " is no " << c.editor << " row";
                    EXPECT_EQ(it->property, c.property ? 1 : 0) << key;
                    if (!c.outcome) continue;
                    const Item* outcome = rowOf(c.outcome);
                    ASSERT_NE(outcome, nullptr) << key << " without " << c.outcome << " to show its result";
                    EXPECT_EQ(outcome->readonly, 1) << c.outcome;
                    EXPECT_EQ(outcome->property, c.property ? 1 : 0) << c.outcome;
                }
        }
    }
}

}  // namespace
