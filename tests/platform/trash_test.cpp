// The freedesktop.org Trash as desktops share it: where each
// file goes, what its info file says, what an interruption leaves, and that
// a standard Trash client (trash-cli) lists and restores what we trashed.
#include "platform/trash.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "tests/support/private_mount.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;
using test::ShellQuote;

class TrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        data_ = dir_.File("data");
        setenv("XDG_DATA_HOME", data_.c_str(), 1);
        files_ = dir_.File("files");
        fs::create_directories(files_);
    }
    std::string HomeTrash() const { return data_ + "/Trash"; }
    std::string Info(const TrashOutcome& o) const { return test::ReadFileText(o.trashFolder + "/info/" + o.name + ".trashinfo"); }
    TrashOutcome TrashOne(const std::string& path, std::optional<FileIdentity> expected = std::nullopt) {
        return MoveToTrash({{path, expected}}).front();
    }

    test::TempDir dir_;
    std::string data_;
    std::string files_;
};

TEST_F(TrashTest, FileOnTheHomeFileSystemGoesToTheHomeTrashWithAbsolutePath) {
    const std::string path = files_ + "/my report 100%.txt";
    test::WriteFileText(path, "contents");
    const TrashOutcome o = TrashOne(path);
    ASSERT_TRUE(o.moved);
    EXPECT_EQ(o.trashFolder, HomeTrash());
    EXPECT_EQ(o.name, "my report 100%.txt");
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(test::ReadFileText(HomeTrash() + "/files/" + o.name), "contents");
    const std::string info = Info(o);
    EXPECT_TRUE(std::regex_match(info, std::regex("\\[Trash Info\\]\nPath=(.*)\nDeletionDate="
                                                  "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n")))
        << info;
    EXPECT_NE(info.find("\nPath=" + files_ + "/my%20report%20100%25.txt\n"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(HomeTrash().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(TrashTest, SameNameTwiceGetsTwoItemsAndTheLinkItselfIsTrashed) {
    fs::create_directories(files_ + "/a");
    test::WriteFileText(files_ + "/a/same.txt", "one");
    test::WriteFileText(files_ + "/same.txt", "two");
    test::WriteFileText(files_ + "/target.txt", "target");
    fs::create_symlink(files_ + "/target.txt", files_ + "/link");
    const std::vector<TrashOutcome> o =
        MoveToTrash({{files_ + "/a/same.txt", {}}, {files_ + "/same.txt", {}}, {files_ + "/link", {}}});
    ASSERT_TRUE(o[0].moved && o[1].moved && o[2].moved);
    EXPECT_EQ(o[0].name, "same.txt");
    EXPECT_EQ(o[1].name, "same.txt_2");
    EXPECT_EQ(test::ReadFileText(HomeTrash() + "/files/same.txt_2"), "two");
    EXPECT_TRUE(fs::is_symlink(HomeTrash() + "/files/link"));
    EXPECT_EQ(test::ReadFileText(files_ + "/target.txt"), "target");
}

TEST_F(TrashTest, WhatIsNotTheListedFileOrNotOursStays) {
    const std::string path = files_ + "/swapped.txt";
    test::WriteFileText(path, "first");
    const FileIdentity listed = *IdentityOfPath(path);
    fs::rename(path, files_ + "/kept aside");  // still there: its inode is not reused
    test::WriteFileText(files_ + "/other", "second");
    fs::rename(files_ + "/other", path);
    EXPECT_FALSE(TrashOne(path, listed).moved);
    EXPECT_EQ(test::ReadFileText(path), "second");
    EXPECT_FALSE(fs::exists(HomeTrash() + "/info/swapped.txt.trashinfo"));

    if (::geteuid() == 0) {  // only root can give a file away
        const std::string foreign = files_ + "/foreign.txt";
        test::WriteFileText(foreign, "theirs");
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(TrashOne(foreign).moved);
        EXPECT_TRUE(fs::exists(foreign));
    }
}

TEST_F(TrashTest, TrashedFolderIsRecordedInDirectorySizes) {
    fs::create_directories(files_ + "/tree/sub");
    test::WriteFileText(files_ + "/tree/sub/f", std::string(10000, 'x'));
    const TrashOutcome o = TrashOne(files_ + "/tree");
    ASSERT_TRUE(o.moved);
    const std::string sizes = test::ReadFileText(HomeTrash() + "/directorysizes");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(sizes, m, std::regex("(\\d+) (\\d+) tree\n"))) << sizes;
    EXPECT_GE(std::stoll(m[1]), 10000);
    struct stat info {};
    ASSERT_EQ(::stat((HomeTrash() + "/info/tree.trashinfo").c_str(), &info), 0);
    EXPECT_EQ(std::stoll(m[2]), static_cast<long long>(info.st_mtime));
}

// Another file system: the trash at its top, paths relative to it.
TEST_F(TrashTest, FileOnAnotherFileSystemGoesToTheTrashAtItsTop) {
    const std::string top = dir_.File("mnt");
    fs::create_directories(top);
    if (!test::MountPrivateTmpfs(top)) GTEST_SKIP() << "needs root to mount a tmpfs";
    const std::string uid = std::to_string(::geteuid());
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::string expectedTrash;
    };
    const std::vector<Case> cases = {
        {"no shared .Trash", [] {}, top + "/.Trash-" + uid},
        {"sticky shared .Trash", [&] { fs::create_directory(top + "/.Trash"); ::chmod((top + "/.Trash").c_str(), 01777); },
         top + "/.Trash/" + uid},
        {"shared .Trash without the sticky bit",
         [&] { ::chmod((top + "/.Trash").c_str(), 0777); }, top + "/.Trash-" + uid},
        {"shared .Trash is a link",
         [&] { fs::remove_all(top + "/.Trash"); fs::create_directory(top + "/real"); ::chmod((top + "/real").c_str(), 01777);
               fs::create_directory_symlink(top + "/real", top + "/.Trash"); },
         top + "/.Trash-" + uid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        fs::create_directories(top + "/sub dir");
        test::WriteFileText(top + "/sub dir/file.txt", c.name);
        const TrashOutcome o = TrashOne(top + "/sub dir/file.txt");
        ASSERT_TRUE(o.moved);
        EXPECT_EQ(o.trashFolder, c.expectedTrash);
        EXPECT_NE(Info(o).find("\nPath=sub%20dir/file.txt\n"), std::string::npos) << Info(o);
        EXPECT_EQ(test::ReadFileText(o.trashFolder + "/files/" + o.name), c.name);
        fs::remove_all(o.trashFolder);
    }
    EXPECT_FALSE(fs::exists(HomeTrash() + "/files"));
}

// An interruption after any step leaves the file in place, or in the trash
// with its info file: a child process ends itself right after the step.
TEST_F(TrashTest, InterruptedAtAnyStepTheFileIsInPlaceOrTrashedWithItsInfo) {
    const TrashStep steps[] = {TrashStep::InfoCreated, TrashStep::InfoWritten, TrashStep::InfoDurable,
                               TrashStep::Moved, TrashStep::MoveDurable, TrashStep::SizesRecorded};
    for (bool folder : {false, true}) {
        for (TrashStep step : steps) {
            SCOPED_TRACE(std::to_string(static_cast<int>(step)) + (folder ? " folder" : " file"));
            fs::remove_all(HomeTrash());
            const std::string path = files_ + "/victim";
            fs::remove_all(path);
            if (folder) {
                fs::create_directories(path);
                test::WriteFileText(path + "/inside", "payload");
            } else {
                test::WriteFileText(path, "payload");
            }
            const pid_t child = ::fork();
            if (child == 0) {
                MoveToTrash({{path, {}}}, [step](TrashStep reached) {
                    if (reached == step) ::_exit(0);
                });
                ::_exit(1);  // the step never came
            }
            int status = 0;
            ::waitpid(child, &status, 0);
            const bool stoppedThere = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            EXPECT_TRUE(stoppedThere || (!folder && step == TrashStep::SizesRecorded));
            const std::string payload = folder ? "/inside" : "";
            const bool inPlace = test::ReadFileText(path + payload) == "payload";
            const bool trashed = test::ReadFileText(HomeTrash() + "/files/victim" + payload) == "payload" &&
                                 test::ReadFileText(HomeTrash() + "/info/victim.trashinfo").find("Path=") != std::string::npos;
            EXPECT_TRUE(inPlace != trashed) << "in place " << inPlace << ", trashed " << trashed;
        }
    }
}

TEST_F(TrashTest, FailedRenameTakesTheInfoFileBack) {
    const std::string path = files_ + "/clash.txt";
    test::WriteFileText(path, "mine");
    // Something takes the reserved name in files/ between the info file and the rename.
    const TrashOutcome o = MoveToTrash({{path, {}}}, [&](TrashStep step) {
        if (step == TrashStep::InfoDurable) test::WriteFileText(HomeTrash() + "/files/clash.txt", "intruder");
    }).front();
    EXPECT_FALSE(o.moved);
    EXPECT_EQ(test::ReadFileText(path), "mine");
    EXPECT_FALSE(fs::exists(HomeTrash() + "/info/clash.txt.trashinfo"));
    EXPECT_EQ(test::ReadFileText(HomeTrash() + "/files/clash.txt"), "intruder");
}

TEST_F(TrashTest, StoredCopyHasItsInfoAndLeavesNothingWhenWritingFails) {
    const TrashOutcome stored = StoreInHomeTrash("/data/disk.img-C/DOCS/Letter.txt", [](int fd) {
        return ::write(fd, "letter", 6) == 6;
    });
    ASSERT_TRUE(stored.moved);
    EXPECT_EQ(test::ReadFileText(HomeTrash() + "/files/Letter.txt"), "letter");
    EXPECT_NE(Info(stored).find("\nPath=/data/disk.img-C/DOCS/Letter.txt\n"), std::string::npos);
    const TrashOutcome failed = StoreInHomeTrash("/data/x/Other.txt", [](int) { return false; });
    EXPECT_FALSE(failed.moved);
    EXPECT_FALSE(fs::exists(HomeTrash() + "/files/Other.txt"));
    EXPECT_FALSE(fs::exists(HomeTrash() + "/info/Other.txt.trashinfo"));
    EXPECT_TRUE(DiscardFromTrash(stored));
    EXPECT_TRUE(fs::is_empty(HomeTrash() + "/files"));
    EXPECT_TRUE(fs::is_empty(HomeTrash() + "/info"));
}

TEST(TrashPathTest, EncodingKeepsOnlyUnreservedCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"/a/c#d?e", "/a/c%23d%3Fe"},
        {"/x/café", "/x/caf%C3%A9"},
        {"/keep-_.!~*'()", "/keep-_.!~*'()"},
    };
    for (const auto& [path, encoded] : cases) EXPECT_EQ(EncodeTrashPath(path), encoded) << path;
}

// A standard client sees what we trashed and restores the same bytes.
TEST_F(TrashTest, TrashCliListsAndRestoresOurItems) {
    if (RunCommand("command -v trash-list >/dev/null && command -v trash-restore >/dev/null") != 0)
        GTEST_SKIP() << "trash-cli missing";
    const std::string path = files_ + "/kept notes.txt";
    test::WriteFileText(path, "bytes to come back");
    ASSERT_TRUE(TrashOne(path).moved);
    const std::string env = "XDG_DATA_HOME=" + ShellQuote(data_) + " ";
    std::string listed;
    ASSERT_EQ(RunCommand(env + "trash-list", &listed), 0);
    EXPECT_NE(listed.find(" " + path + "\n"), std::string::npos) << listed;
    std::string restored;
    EXPECT_EQ(RunCommand("cd " + ShellQuote(files_) + " && echo 0 | " + env + "trash-restore", &restored), 0) << restored;
    EXPECT_EQ(test::ReadFileText(path), "bytes to come back");
}

}  // namespace
}  // namespace quillo
