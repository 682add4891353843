#include <gtest/gtest.h>

#include <algorithm>

#include "cli/arguments.h"
#include "tests/support/console_run.h"

namespace quillo {
namespace {

using test::ShellQuote;

TEST(CliArguments, DriveLettersInEitherCaseWithOrWithoutColon) {
    for (const char* text : {"C", "c", "C:", "c:"}) EXPECT_EQ(cli::ParseDriveLetter(text), 'C');
    for (const char* text : {"", "CC", "C:\\", "1", ":"}) EXPECT_FALSE(cli::ParseDriveLetter(text));
}

TEST(CliArguments, UsageErrorsExitTwoWithTheErrorAndTheHelpHint) {
    test::TempDir dir;
    for (const char* args : {"", "frobnicate", "--disk", "info", "info C D", "drives C",
                             "--bogus drives", "info 7"}) {
        const test::ConsoleRun run = test::RunConsole(args, dir.File("config"));
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 2) << args << ": " << run.output;
        EXPECT_NE(run.output.find("\nTry 'quillo-cli --help' for more information.\n"), std::string::npos);
    }
}

TEST(CliDrives, PartitionedDiskGetsLettersInPlatformOrder) {
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    test::TempDir dir;
    const std::string image = dir.File("disk.img");
    // Two logicals behind a primary: C: is the primary, D: and E: the logicals.
    ASSERT_TRUE(test::MakeFragImage(image, "--fat 16 --size-mb 16 --files 20 --dirs 2 --partition "
                                           "--extended 2 --ext-fat 32 --ext-size-mb 40"));
    const std::string disk = "--disk " + ShellQuote(image);
    const test::ConsoleRun drives = test::RunConsole(disk + " --json drives", dir.File("config"));
    ASSERT_EQ(drives.status, 0) << drives.output;
    const std::string& out = drives.output;
    EXPECT_NE(out.find(R"("drive": "C:", "label": "Mkfragimg", "filesystem": "FAT16")"), std::string::npos) << out;
    EXPECT_NE(out.find(R"("drive": "D:", "label": "Mkfragimg", "filesystem": "FAT32")"), std::string::npos) << out;
    EXPECT_NE(out.find(R"("drive": "E:")"), std::string::npos) << out;

    // info agrees with the independent checker on the second logical (partition 6).
    const test::ConsoleRun info = test::RunConsole(disk + " --json info e:", dir.File("config"));
    ASSERT_EQ(info.status, 0) << info.output;
    const std::string inspected = test::FatinspectJson(image, "--partition 6");
    for (const char* key : {"total_clusters", "free_clusters", "reserved_sectors", "sectors_per_cluster"})
        EXPECT_EQ(test::JsonNumber(info.output, key), test::JsonNumber(inspected, key)) << key;
    EXPECT_EQ(test::JsonNumber(info.output, "partition"), 6);

    const test::ConsoleRun unknown = test::RunConsole(disk + " info F", dir.File("config"));
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.output.find("no drive F:"), std::string::npos);
    // The console front end never writes the option store.
    EXPECT_NE(test::RunCommand("test -e " + ShellQuote(dir.File("config/quillo.ini"))), 0);
}

}  // namespace
}  // namespace quillo
