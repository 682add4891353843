// The Tools launchers: each item's command line, what it maps to on Linux,
// and starting a program detached (own session, never waited for, nothing
// when missing). Stand-in programs on a private PATH record how they ran.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/process_launch.h"
#include "platform/tool_launchers.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

// Points PATH at a folder of stand-ins for the test's lifetime.
class StandInPath : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("PATH");
        saved_ = old != nullptr ? old : "";
        setenv("PATH", dir_.path().c_str(), 1);
    }
    void TearDown() override { setenv("PATH", saved_.c_str(), 1); }

    // A stand-in that writes its pid, its session id and its arguments to
    // `<name>.ran`, then waits until `<name>.go` exists (10 s at most).
    void AddStandIn(const std::string& name) {
        const std::string path = dir_.File(name);
        std::ofstream(path) << "#!/bin/sh\nPATH=/usr/bin:/bin\n"
                            << "echo \"$$ $(cut -d' ' -f6 /proc/$$/stat) $*\" > '" << path << ".tmp'\n"
                            << "mv '" << path << ".tmp' '" << path << ".ran'\n"
                            << "i=0; while [ ! -e '" << path << ".go' ] && [ $i -lt 200 ]; do\n"
                            << "  sleep 0.05; i=$((i + 1)); done\n";
        chmod(path.c_str(), 0755);
    }

    test::TempDir dir_;
    std::string saved_;
};

TEST(LauncherCommandLines, EachItemKeepsItsCommandLine) {
    const LauncherFolders folders{"/home/u/Downloads/", "/home/u/.mozilla/firefox/abc.default/"};
    const struct {
        const char* item;
        const char* line;
    } cases[] = {
        {"ScanDisk_", "Scandskw.exe D:"},
        {"regcheck_", "Scanregw.exe"},
        {"msconfig_", "msconfig.exe"},
        {"sysfile_", "sfc.exe"},
        {"sysinfo_", "C:\\Program Files\\Common Files\\Microsoft Shared\\MSINFO\\MSINFO32.EXE"},
        {"ASDagent_", "asd.exe"},
        {"Downloads_", "Explorer.exe /e: /root,/home/u/Downloads/"},
        {"History_", "Explorer.exe /e: /root,/home/u/.mozilla/firefox/abc.default/"},
        {"Hex_", ""},
        {"TaskList_", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(LauncherCommandLine(c.item, "D:", folders), c.line) << c.item;
}

// With no counterpart on the PATH every line maps to nothing; with them, to
// the first one found.
TEST_F(StandInPath, CommandLinesMapToTheFirstCounterpartFoundOrNothing) {
    const struct {
        const char* line;
        LaunchKind kind;
        const char* program;  // "" for Nothing
        std::vector<std::string> arguments;
    } cases[] = {
        {"Scanregw.exe", LaunchKind::Detached, "dconf-editor", {}},
        // gnome-tweaks is missing here, so the second counterpart runs.
        {"msconfig.exe", LaunchKind::Detached, "xfce4-session-settings", {}},
        {"sfc.exe", LaunchKind::CheckerWindow, "debsums", {"--silent"}},
        {"C:\\Program Files\\Common Files\\Microsoft Shared\\MSINFO\\MSINFO32.EXE", LaunchKind::Detached,
         "lshw-gtk", {}},
        {"ASD.EXE", LaunchKind::Detached, "gnome-logs", {}},
        {"Explorer.exe /e: /root,/tmp/some folder/", LaunchKind::Detached, "xdg-open", {"/tmp/some folder/"}},
        // A folder variable that is only blanks names no folder.
        {"Explorer.exe /e: /root,      ", LaunchKind::Nothing, "", {}},
        {"notepad.exe", LaunchKind::Nothing, "", {}},
        {"Scandskw.exe ", LaunchKind::Nothing, "", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(MapCommandLine(c.line).kind, LaunchKind::Nothing) << c.line;
    EXPECT_FALSE(StartDetached({"dconf-editor"}));
    EXPECT_FALSE(StartDetached({}));

    for (const auto& c : cases)
        if (*c.program != '\0') AddStandIn(c.program);
    for (const auto& c : cases) {
        const LinuxLaunch launch = MapCommandLine(c.line);
        EXPECT_EQ(launch.kind, c.kind) << c.line;
        if (c.kind == LaunchKind::Nothing) continue;
        ASSERT_FALSE(launch.argv.empty()) << c.line;
        EXPECT_EQ(launch.argv.front(), dir_.File(c.program)) << c.line;
        EXPECT_EQ(std::vector<std::string>(launch.argv.begin() + 1, launch.argv.end()), c.arguments) << c.line;
    }
}

TEST_F(StandInPath, StartedProgramRunsDetachedAndIsNotWaitedFor) {
    AddStandIn("gnome-logs");
    ASSERT_TRUE(StartDetached({"gnome-logs", "--one", "two words"}));
    const std::string record = dir_.File("gnome-logs.ran");
    for (int i = 0; i < 200 && !std::filesystem::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(record);
    pid_t pid = 0, session = 0;
    std::string arguments;
    ASSERT_TRUE(in >> pid >> session);
    std::getline(in, arguments);
    EXPECT_EQ(arguments, " --one two words");
    // A session and a process group other than ours: nothing meant for our
    // terminal or group reaches it.
    EXPECT_NE(session, getsid(0));
    EXPECT_NE(getpgid(pid), getpgrp());
    // StartDetached returned while the program still runs: it waits for us.
    EXPECT_EQ(kill(pid, 0), 0);
    std::ofstream(dir_.File("gnome-logs.go")) << "";
}

TEST_F(StandInPath, FindProgramTakesOnlyExecutableFiles) {
    std::ofstream(dir_.File("plain")) << "not a program";
    std::filesystem::create_directory(dir_.File("folder"));
    AddStandIn("tool");
    for (const char* name : {"plain", "folder", "absent"}) EXPECT_EQ(FindProgram(name), "") << name;
    EXPECT_EQ(FindProgram(dir_.File("absent")), "");
    EXPECT_EQ(FindProgram("tool"), dir_.File("tool"));
    EXPECT_EQ(FindProgram(dir_.File("tool")), dir_.File("tool"));
}

}  // namespace
}  // namespace quillo
