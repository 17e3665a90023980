#pragma once
// A private program folder and per-user settings folder for one test.
#include <gtest/gtest.h>

#include <filesystem>

#include "ScopedEnv.h"
#include "TempDir.h"

namespace vexadesk::test {

class CoreFixture : public ::testing::Test {
protected:
    vexa::test::TempDir tmp;
    vexa::test::ScopedEnv appDirEnv{"VEXA_APPDIR", (tmp.path() + "/app").c_str()};
    vexa::test::ScopedEnv xdgEnv{"XDG_CONFIG_HOME", (tmp.path() + "/user").c_str()};

    void app(const std::string& rel, const std::string& content) const { tmp.write("app/" + rel, content); }
    void user(const std::string& rel, const std::string& content) const { tmp.write("user/vexa/" + rel, content); }
    std::string appFile(const std::string& rel) const { return tmp.file("app/" + rel); }
    std::string userFile(const std::string& rel) const { return tmp.file("user/vexa/" + rel); }
};

}  // namespace vexadesk::test
