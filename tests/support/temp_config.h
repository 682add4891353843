#pragma once
// A test fixture that points XDG_CONFIG_HOME at a fresh folder for each test,
// so nothing touches the user's own option store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace quillo::test {

class TempConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quillo-config-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) savedXdg_ = old, hadXdg_ = true;
        setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    }
    void TearDown() override {
        if (hadXdg_) setenv("XDG_CONFIG_HOME", savedXdg_.c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
        std::filesystem::remove_all(folder_);
    }
    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    std::string folder_;

private:
    std::string savedXdg_;
    bool hadXdg_ = false;
};

}  // namespace quillo::test
