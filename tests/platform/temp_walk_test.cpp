// The temporary-folder walk and what it asks of /proc: which entries are
// listed, which folders are walked, and the processes and their open files.
#include "platform/temp_walk.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/open_files.h"
#include "platform/process_list.h"
#include "tests/support/background_process.h"
#include "tests/support/private_mount.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;

struct Walked {
    std::vector<std::string> files;
    std::vector<std::string> folders;
};

Walked Walk(const std::string& root, const OpenFileSet& busy = OpenFileSet::Scan()) {
    Walked walked;
    WalkTempFolder(root, busy,
                   {[&](const WalkedFile& f) {
                        walked.files.push_back(f.relative);
                        return true;
                    },
                    [&](const WalkedFolder& f) { walked.folders.push_back(f.path); }});
    return walked;
}

class TempWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = dir_.File("tmp");
        fs::create_directories(root_);
        setenv("XDG_DATA_HOME", dir_.File("data").c_str(), 1);
    }
    test::TempDir dir_;
    std::string root_;
};

TEST_F(TempWalkTest, ListsFilesAndLinksAsThemselvesAndPassesOverSpecialFiles) {
    fs::create_directories(root_ + "/sub/deeper");
    fs::create_directories(dir_.File("elsewhere"));
    test::WriteFileText(root_ + "/plain.txt", "x");
    test::WriteFileText(root_ + "/.hidden", "x");
    test::WriteFileText(root_ + "/sub/deeper/inner.log", "x");
    test::WriteFileText(dir_.File("elsewhere/outside.txt"), "x");
    fs::create_symlink(dir_.File("elsewhere/outside.txt"), root_ + "/link-to-file");
    fs::create_directory_symlink(dir_.File("elsewhere"), root_ + "/link-to-folder");
    ASSERT_EQ(::mkfifo((root_ + "/pipe").c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = root_ + "/socket";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const Walked walked = Walk(root_);
    ::close(sock);
    EXPECT_EQ(walked.files, (std::vector<std::string>{".hidden", "link-to-file", "link-to-folder", "plain.txt",
                                                      "sub/deeper/inner.log"}));
    EXPECT_EQ(walked.folders, (std::vector<std::string>{root_ + "/sub", root_ + "/sub/deeper"}));
}

TEST_F(TempWalkTest, FilesOthersHoldOrOwnOrWeCannotOpenAreNotListed) {
    test::WriteFileText(root_ + "/free.txt", "x");
    test::WriteFileText(root_ + "/held.txt", "x");
    test::WriteFileText(root_ + "/unreadable.txt", "x");
    ::chmod((root_ + "/unreadable.txt").c_str(), 0);
    test::WriteFileText(root_ + "/foreign.txt", "x");
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(::chown((root_ + "/foreign.txt").c_str(), 65534, 65534), 0);
    }
    const std::string marker = dir_.File("opened");
    test::BackgroundProcess holder("exec 3<" + test::ShellQuote(root_ + "/held.txt") + "; touch " +
                                   test::ShellQuote(marker) + "; exec sleep 30");
    ASSERT_TRUE(test::WaitForFile(marker));

    const Walked walked = Walk(root_);
    // Root opens a file of mode 0 all the same; only another user cannot.
    const std::vector<std::string> expected =
        asRoot ? std::vector<std::string>{"free.txt", "unreadable.txt"}
               : std::vector<std::string>{"foreign.txt", "free.txt"};  // not given away without root
    EXPECT_EQ(walked.files, expected);
}

// The walked folder is a file system of its own, as a tmpfs /tmp is: the
// trash at its top, the home trash inside it and a file system mounted
// below it are all left out.
TEST_F(TempWalkTest, TrashFoldersAndOtherFileSystemsAreNotWalked) {
    if (!test::MountPrivateTmpfs(root_)) GTEST_SKIP() << "needs root to mount a tmpfs";
    const std::string topTrash = root_ + "/.Trash-" + std::to_string(::geteuid());
    fs::create_directories(topTrash + "/files");
    test::WriteFileText(topTrash + "/files/old.txt", "x");
    setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
    fs::create_directories(root_ + "/data/Trash/files");
    test::WriteFileText(root_ + "/data/Trash/files/older.txt", "x");
    test::WriteFileText(root_ + "/top.txt", "x");
    fs::create_directories(root_ + "/mounted");
    ASSERT_TRUE(test::MountPrivateTmpfs(root_ + "/mounted"));
    test::WriteFileText(root_ + "/mounted/on-tmpfs.txt", "x");
    const Walked walked = Walk(root_);
    EXPECT_EQ(walked.files, std::vector<std::string>{"top.txt"});
    EXPECT_EQ(walked.folders, std::vector<std::string>{root_ + "/data"});
}

TEST(OpenFilesTest, DescriptorsAndLocksOfAProcTree) {
    test::TempDir dir;
    const std::string proc = dir.File("proc");
    fs::create_directories(proc + "/42/fd");
    fs::create_directories(proc + "/self-ish");
    test::WriteFileText(dir.File("open.txt"), "x");
    fs::create_symlink(dir.File("open.txt"), proc + "/42/fd/3");
    test::WriteFileText(proc + "/locks",
              "1: POSIX  ADVISORY  WRITE 1234 08:01:5678 0 EOF\n"
              "1: -> POSIX  ADVISORY  WRITE 99 08:01:1111 0 EOF\n"
              "2: OFDLCK ADVISORY  READ  -1 fd:02:777 0 EOF\n");
    const OpenFileSet set = OpenFileSet::Scan(proc);
    EXPECT_TRUE(set.Contains(*IdentityOfPath(dir.File("open.txt"))));
    EXPECT_TRUE(set.Contains({static_cast<uint64_t>(makedev(8, 1)), 5678}));
    EXPECT_TRUE(set.Contains({static_cast<uint64_t>(makedev(0xfd, 2)), 777}));
    EXPECT_FALSE(set.Contains({static_cast<uint64_t>(makedev(8, 1)), 1111}));
    EXPECT_EQ(set.Size(), 3u);
}

TEST(ProcessListTest, ExecutableThenFirstWordThenThreadName) {
    test::TempDir dir;
    const std::string proc = dir.File("proc");
    for (const char* pid : {"100", "200", "300", "abc"}) fs::create_directories(proc + "/" + pid);
    fs::create_symlink("/usr/bin/editor", proc + "/100/exe");
    test::WriteFileText(proc + "/200/cmdline", std::string("prog\0-x\0", 8));
    test::WriteFileText(proc + "/300/cmdline", "");
    test::WriteFileText(proc + "/300/comm", "kworker\n");
    test::WriteFileText(proc + "/abc/cmdline", "not a process");
    std::vector<std::string> paths = RunningExecutables(proc);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"/usr/bin/editor", "[kworker]", "prog"}));
}

}  // namespace
}  // namespace quillo
