// `quillo-cli list`: the rows of the cleaner's lists as a script sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "engine/temp_list.h"
#include "tests/support/background_process.h"
#include "tests/support/console_run.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The console front end's standard output alone, with `env` set.
test::ConsoleRun List(const test::TempDir& dir, const std::string& args, const std::string& env = "") {
    test::ConsoleRun run;
    run.status = test::RunCommand("{ XDG_CONFIG_HOME=" + ShellQuote(dir.File("config")) + " " + env + " " +
                                      QUILLO_CLI_PATH " " + args + " 2>/dev/null; }",
                                  &run.output);
    return run;
}

TEST(CliList, UsageErrors) {
    test::TempDir dir;
    for (const char* args : {"list", "list Frags", "list Temps C", "list Bogus", "list Duplicates C D"})
        EXPECT_EQ(test::RunConsole(args, dir.File("config")).status, 2) << args;
}

TEST(CliList, TempsRowsAndFields) {
    test::TempDir dir;
    const std::string tmp = dir.File("tmp");
    fs::create_directories(tmp + "/sub");
    std::ofstream(tmp + "/b.tmp") << "x";
    std::ofstream(tmp + "/sub/a.tmp") << "x";
    const std::string env = "TMPDIR=" + ShellQuote(tmp) + " XDG_DATA_HOME=" + ShellQuote(dir.File("data"));
    const std::string today = ShortDate(std::time(nullptr));
    const test::ConsoleRun text = List(dir, "list Temps", env);
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(Lines(text.output), (std::vector<std::string>{"b.tmp\t" + today, "sub/a.tmp\t" + today}));
    const test::ConsoleRun json = List(dir, "--json list Temps", env);
    EXPECT_EQ(json.output, "[\n  {\"path\": \"b.tmp\", \"date\": \"" + today + "\"},\n  {\"path\": \"sub/a.tmp\", \"date\": \"" +
                               today + "\"}\n]\n");
    EXPECT_TRUE(fs::exists(tmp + "/b.tmp"));  // listing never deletes
}

TEST(CliList, DuplicatesAndTheirFields) {
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    test::TempDir dir;
    const std::string image = dir.File("c.img");
    ASSERT_TRUE(test::MakeFatImage(image, 20480, "-F 16"));
    std::ofstream(dir.File("f")) << std::string(3000, 'z');
    const std::string put = "mcopy -i " + ShellQuote(image) + " " + ShellQuote(dir.File("f")) + " ";
    ASSERT_EQ(test::RunCommand("mmd -i " + ShellQuote(image) + " ::Letters && " + put + "'::Dear Sir.txt' && " + put +
                               "'::Letters/Dear Sir.txt'"),
              0);
    const test::ConsoleRun json = List(dir, "--disk " + ShellQuote(image) + " --json list Duplicates");
    ASSERT_EQ(json.status, 0);
    const std::vector<std::string> lines = Lines(json.output);
    ASSERT_EQ(lines.size(), 4u) << json.output;
    EXPECT_NE(lines[1].find(R"({"name": "Dear Sir.txt", "date": ")"), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(R"(", "size_kb": 3, "folder": "C:\\"})"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(R"("folder": "C:\\Letters"})"), std::string::npos) << lines[2];
}

// The rows of "Frags" against the independent checker's list of files
// and folders in more than one run.
TEST(CliList, FragsAfterACheckNameWhatTheCheckerFindsFragmented) {
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    test::TempDir dir;
    const std::string image = dir.File("frag.img");
    ASSERT_TRUE(test::MakeFragImage(image, "--fat 16 --size-mb 16 --files 60 --dirs 4 --seed 3"));
    const test::ConsoleRun json = List(dir, "--disk " + ShellQuote(image) + " --json list Frags C");
    ASSERT_EQ(json.status, 0);
    std::set<std::string> listed;
    for (const std::string& line : Lines(json.output)) {
        const size_t at = line.find("{\"path\": \"");
        if (at == std::string::npos) continue;
        std::string path = line.substr(at + 10, line.find('"', at + 10) - at - 10);
        for (size_t b; (b = path.find("\\\\")) != std::string::npos;) path.replace(b, 2, "/");
        listed.insert(path.substr(2));
    }
    // The checker's fragmented paths, decoded by Python's own JSON reader.
    std::string report;
    ASSERT_EQ(test::RunCommand("python3 " + ShellQuote(std::string(QUILLO_TOOLS_DIR) + "/fatcheck") +
                                   " --list --json " + ShellQuote(image) +
                                   " | PYTHONIOENCODING=utf-8 python3 -c 'import json, sys\n"
                                   "for e in json.load(sys.stdin)[\"entries\"]:\n"
                                   "    if e[\"fragments\"] > 1: print(e[\"path\"])'",
                               &report),
              0);
    const std::vector<std::string> paths = Lines(report);
    const std::set<std::string> fragmented(paths.begin(), paths.end());
    EXPECT_FALSE(fragmented.empty());
    EXPECT_EQ(listed, fragmented);
    const test::ConsoleRun text = List(dir, "--disk " + ShellQuote(image) + " list Frags C");
    EXPECT_EQ(Lines(text.output).size(), fragmented.size());
    EXPECT_EQ(std::count(text.output.begin(), text.output.end(), '\t'), static_cast<long>(fragmented.size()));
}

TEST(CliList, TaskListShowsEachInstance) {
    test::TempDir dir;
    test::BackgroundProcess first("exec sleep 32");
    test::BackgroundProcess second("exec sleep 32");
    ::usleep(200000);
    const test::ConsoleRun run = List(dir, "list TaskList");
    EXPECT_EQ(run.status, 0);
    const std::vector<std::string> lines = Lines(run.output);
    EXPECT_GE(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return fs::path(l).filename() == "sleep"; }),
              2);
    EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
        return RowTextLess(a, b);
    }));
}

}  // namespace
}  // namespace quillo
