#include <gtest/gtest.h>

#include <algorithm>

#include "cli/arguments.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

using test::RunCommand;
using test::ShellQuote;

struct CliRun {
    int status;
    std::string out;
};

CliRun Cli(const std::string& args) {
    std::string out;
    const int status = RunCommand(std::string(QUILLO_CLI_PATH) + " " + args + " 2>&1", &out);
    return {status, out};
}

TEST(CliArguments, DriveLettersInEitherCaseWithOrWithoutColon) {
    for (const char* text : {"C", "c", "C:", "c:"}) EXPECT_EQ(cli::ParseDriveLetter(text), 'C');
    for (const char* text : {"", "CC", "C:\\", "1", ":"}) EXPECT_FALSE(cli::ParseDriveLetter(text));
}

TEST(CliArguments, UsageErrorsExitTwoWithOneLine) {
    for (const char* args : {"", "frobnicate", "--disk", "info", "info C D", "drives C",
                             "--bogus drives", "info 7"}) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << args << ": " << run.out;
    }
}

TEST(CliDrives, PartitionedDiskGetsLettersInPlatformOrder) {
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    test::TempDir dir;
    const std::string image = dir.File("disk.img");
    // Two logicals behind a primary: C: is the primary, D: and E: the logicals.
    ASSERT_TRUE(test::MakeFragImage(image, "--fat 16 --size-mb 16 --files 20 --dirs 2 --partition "
                                           "--extended 2 --ext-fat 32 --ext-size-mb 40"));
    const std::string config = "XDG_CONFIG_HOME=" + ShellQuote(dir.File("config")) + " ";
    std::string out;
    ASSERT_EQ(RunCommand(config + QUILLO_CLI_PATH " --disk " + ShellQuote(image) + " --json drives", &out), 0) << out;
    EXPECT_NE(out.find(R"("drive": "C:", "label": "Mkfragimg", "filesystem": "FAT16")"), std::string::npos) << out;
    EXPECT_NE(out.find(R"("drive": "D:", "label": "Mkfragimg", "filesystem": "FAT32")"), std::string::npos) << out;
    EXPECT_NE(out.find(R"("drive": "E:")"), std::string::npos) << out;

    // info agrees with the independent checker on the second logical (partition 6).
    ASSERT_EQ(RunCommand(config + QUILLO_CLI_PATH " --disk " + ShellQuote(image) + " --json info e:", &out), 0) << out;
    const std::string inspected = test::FatinspectJson(image, "--partition 6");
    for (const char* key : {"total_clusters", "free_clusters", "reserved_sectors", "sectors_per_cluster"})
        EXPECT_EQ(test::JsonNumber(out, key), test::JsonNumber(inspected, key)) << key;
    EXPECT_EQ(test::JsonNumber(out, "partition"), 6);

    const CliRun unknown = Cli("--disk " + ShellQuote(image) + " info F");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.out.find("no drive F:"), std::string::npos);
    // The console front end never writes the option store.
    EXPECT_NE(RunCommand("test -e " + ShellQuote(dir.File("config/quillo.ini"))), 0);
}

}  // namespace
}  // namespace quillo
