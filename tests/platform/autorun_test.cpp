// The log-in launcher as a program: copied into a folder beside a stand-in
// window program that records its arguments, run against a fresh option
// store with a given date.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/config_paths.h"
#include "platform/option_store.h"
#include "tests/support/temp_config.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;
using test::ShellQuote;

class AutorunTest : public test::TempConfigTest {
protected:
    void SetUp() override {
        TempConfigTest::SetUp();
        programs_ = folder_ + "/install dir";
        fs::create_directories(programs_);
        fs::copy_file(QUILLO_AUTORUN_PATH, programs_ + "/quillo-autorun");
        InstallWindowProgram("printf '%s\\n' \"$@\" >> \"$(dirname \"$0\")/arguments\"\nexit 0\n");
    }

    void InstallWindowProgram(const std::string& body) const {
        const std::string path = programs_ + "/quillo";
        std::ofstream(path, std::ios::binary) << "#!/bin/sh\n" << body;
        ::chmod(path.c_str(), 0755);
    }

    void SetSchedule(const std::string& interval, const std::string& date) const {
        OptionStore store = OptionStore::ForApplication(kQuilloAppName);
        if (!interval.empty()) store.WriteText(option_keys::Interval, interval);
        if (!date.empty()) store.WriteText(option_keys::Date, date);
    }

    int RunLauncher(const std::string& arguments, std::string* output = nullptr) const {
        return RunCommand(ShellQuote(programs_ + "/quillo-autorun") + " " + arguments, output);
    }

    // Each line the stand-in window program was started with; empty when it never ran.
    std::string Arguments() const {
        std::ifstream in(programs_ + "/arguments");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string StoredDate() const { return ReadScheduleDate(OptionStore::ForApplication(kQuilloAppName)); }

    std::string programs_;
};

TEST_F(AutorunTest, RunsTheWindowProgramWithStarWhenDueAndRecordsTheDate) {
    struct Case {
        const char* interval;  // "" = never written
        const char* date;
        bool due;
    } const cases[] = {
        {"0", "2024-06-10", true},   {"1", "2024-06-09", true},  {"1", "2024-06-10", false},
        {"7", "2024-06-03", true},   {"7", "2024-06-04", false}, {"7", "", true},
        {"1", "", true},             {"-1", "", false},          {"", "", false},
        {"-1", "2020-01-01", false}, {"3", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("Interval=") + c.interval + " Date=" + c.date);
        fs::remove(OptionStorePath(kQuilloAppName));
        fs::remove(programs_ + "/arguments");
        SetSchedule(c.interval, c.date);
        ASSERT_EQ(RunLauncher("--today 2024-06-10"), 0);
        EXPECT_EQ(Arguments(), c.due ? "*\n" : "");
        EXPECT_EQ(StoredDate(), c.due ? "2024-06-10" : c.date);
    }
}

TEST_F(AutorunTest, ARunThatFailsIsNotRecordedAndIsDueAgain) {
    SetSchedule("1", "2024-06-01");
    InstallWindowProgram("echo started >> \"$(dirname \"$0\")/arguments\"\nkill -TERM $$\n");
    EXPECT_EQ(RunLauncher("--today 2024-06-10"), 1);
    EXPECT_EQ(Arguments(), "started\n");
    EXPECT_EQ(StoredDate(), "2024-06-01");

    fs::remove(programs_ + "/quillo");
    std::string output;
    EXPECT_EQ(RunLauncher("--today 2024-06-10", &output), 1);
    EXPECT_NE(output.find(programs_ + "/quillo"), std::string::npos) << output;
    EXPECT_EQ(StoredDate(), "2024-06-01");
}

TEST_F(AutorunTest, RefusesADateItCannotReadAndStartsNothing) {
    SetSchedule("0", "");
    for (const char* arguments : {"--today 2024-02-30", "--today", "--now"})
        EXPECT_EQ(RunLauncher(arguments), 2) << arguments;
    EXPECT_EQ(Arguments(), "");
    EXPECT_EQ(StoredDate(), "");
}

}  // namespace
}  // namespace quillo
