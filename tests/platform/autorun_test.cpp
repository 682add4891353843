// The log-in launcher as a program: copied into a folder beside a stand-in
// window program that records its arguments, run against a fresh option
// store with a given date.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/config_paths.h"
#include "platform/option_store.h"
#include "tests/support/temp_config.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;

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
        WriteFile(programs_ + "/quillo", "#!/bin/sh\n" + body);
        ::chmod((programs_ + "/quillo").c_str(), 0755);
    }

    // A fresh store holding `interval` and `date` where they are not empty.
    void SetSchedule(const std::string& interval, const std::string& date) const {
        fs::remove(OptionStorePath(kQuilloAppName));
        OptionStore store = OptionStore::ForApplication(kQuilloAppName);
        if (!interval.empty()) store.WriteText(option_keys::Interval, interval);
        if (!date.empty()) store.WriteText(option_keys::Date, date);
    }

    int RunLauncher(const std::string& arguments, std::string* output = nullptr) const {
        return test::RunCommand(test::ShellQuote(programs_ + "/quillo-autorun") + " " + arguments, output);
    }

    // Each line the stand-in window program was started with, then forgets them.
    std::string TakeArguments() const {
        const std::string text = test::ReadFileText(programs_ + "/arguments");
        fs::remove(programs_ + "/arguments");
        return text;
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
        {"0", "2024-06-10", true}, {"1", "2024-06-09", true},  {"1", "2024-06-10", false}, {"7", "2024-06-03", true},
        {"7", "2024-06-04", false}, {"7", "", true},           {"-1", "2020-01-01", false}, {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("Interval=") + c.interval + " Date=" + c.date);
        SetSchedule(c.interval, c.date);
        ASSERT_EQ(RunLauncher("--today 2024-06-10"), 0);
        EXPECT_EQ(TakeArguments(), c.due ? "*\n" : "");
        EXPECT_EQ(StoredDate(), c.due ? "2024-06-10" : c.date);
    }
}

// A run that fails, or a window program that is missing, is not recorded;
// a date that cannot be read starts nothing.
TEST_F(AutorunTest, NothingIsRecordedWithoutASuccessfulRun) {
    SetSchedule("1", "2024-06-01");
    InstallWindowProgram("echo started >> \"$(dirname \"$0\")/arguments\"\nkill -TERM $$\n");
    EXPECT_EQ(RunLauncher("--today 2024-06-10"), 1);
    EXPECT_EQ(TakeArguments(), "started\n");
    fs::remove(programs_ + "/quillo");
    std::string output;
    EXPECT_EQ(RunLauncher("--today 2024-06-10", &output), 1);
    EXPECT_NE(output.find(programs_ + "/quillo"), std::string::npos) << output;
    EXPECT_EQ(StoredDate(), "2024-06-01");

    SetSchedule("0", "");
    InstallWindowProgram("echo started >> \"$(dirname \"$0\")/arguments\"\n");
    for (const char* arguments : {"--today 2024-02-30", "--today", "--now"})
        EXPECT_EQ(RunLauncher(arguments), 2) << arguments;
    EXPECT_EQ(TakeArguments(), "");
    EXPECT_EQ(StoredDate(), "");
}

}  // namespace
}  // namespace quillo
