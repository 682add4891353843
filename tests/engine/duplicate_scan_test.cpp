// The duplicate-name scan over real volumes built with mtools: which files
// take part, the rows, the progress, and drives that cannot be opened.
#include "engine/duplicate_scan.h"

#include <gtest/gtest.h>
#include <utime.h>

#include <filesystem>
#include <fstream>

#include "engine/list_source.h"
#include "tests/support/attached_world.h"
#include "tests/support/recording_sink.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;
using test::ShellQuote;

// 2021-03-04 12:00 local time, the date every copied file keeps.
std::time_t FixedTime() {
    std::tm t{.tm_hour = 12, .tm_mday = 4, .tm_mon = 2, .tm_year = 121, .tm_isdst = -1};
    return std::mktime(&t);
}

class DuplicateScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
        image_ = dir_.File("c.img");
        ASSERT_TRUE(test::MakeFatImage(image_, 20480, "-F 16"));
        Run("mmd -i IMG ::DOCS ::DOCS/SUB ::OTHER");
    }
    void Run(std::string command) {
        for (size_t at; (at = command.find("IMG")) != std::string::npos;) command.replace(at, 3, ShellQuote(image_));
        std::string output;
        ASSERT_EQ(RunCommand("MTOOLS_NO_VFAT=0 " + command, &output), 0) << command << "\n" << output;
    }
    // Copies a file of `bytes` bytes to `target` on the volume, with the fixed date.
    void Put(const std::string& target, size_t bytes) {
        const std::string source = dir_.File("source");
        std::ofstream(source, std::ios::binary) << std::string(bytes, 'q');
        const utimbuf times{FixedTime(), FixedTime()};
        ::utime(source.c_str(), &times);
        Run("mcopy -m -o -i IMG " + ShellQuote(source) + " " + ShellQuote("::" + target));
    }
    test::RecordingSink Scan(FillEnd* end = nullptr) {
        test::AttachedWorld world({{image_, false}});
        if (beforeScan_) beforeScan_();
        test::RecordingSink sink;
        sink.continueAfterError = continueAfterError_;
        sink.stopAfterYields = stopAfterYields_;
        DuplicateScan scan(world.ctx, sink);
        const FillEnd result = scan.Run();
        if (end != nullptr) *end = result;
        return sink;
    }

    test::TempDir dir_;
    std::string image_;
    std::function<void()> beforeScan_;
    bool continueAfterError_ = true;
    int stopAfterYields_ = -1;
};

TEST_F(DuplicateScanTest, RowsNameDateKilobytesAndLongFolder) {
    Put("Same name.txt", 1);
    Put("DOCS/Same name.txt", 1025);
    Put("DOCS/SUB/Same name.txt", 1024);
    Put("unique.txt", 10);
    const test::RecordingSink sink = Scan();
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"Same name.txt\t03/04/21  1KB \tC:\\",
                                                      "Same name.txt\t03/04/21  2KB \tC:\\DOCS",
                                                      "Same name.txt\t03/04/21  1KB \tC:\\DOCS\\SUB"}));
    EXPECT_EQ(sink.rows[1].key, "C:\\DOCS\\Same name.txt");
    EXPECT_EQ(sink.rows[0].key, "C:\\Same name.txt");
    EXPECT_EQ(sink.progress.front(), 0);
    EXPECT_EQ(sink.progress.back(), 100);
}

TEST_F(DuplicateScanTest, WhoTakesPart) {
    struct Pair {
        const char* name;
        size_t bytes;
        const char* attribute;  // mattrib flag, "" for none
        bool listed;
    };
    const Pair pairs[] = {
        {"Plain.txt", 5, "", true},
        {"Hidden.txt", 5, "+h", false},
        {"ReadOnly.txt", 5, "+r", false},
        {"System.txt", 5, "+s", false},
        {"Empty.txt", 0, "", false},
    };
    for (const Pair& p : pairs) {
        for (const char* folder : {"", "OTHER/"}) {
            Put(std::string(folder) + p.name, p.bytes);
            if (*p.attribute != '\0')
                Run(std::string("mattrib -i IMG ") + p.attribute + " " + ShellQuote(std::string("::") + folder + p.name));
        }
    }
    // Names that differ in letter case only are different names.
    Put("Letter case.txt", 5);
    Put("OTHER/letter CASE.txt", 5);
    std::vector<std::string> listed;
    for (const ListRow& row : Scan().rows) listed.push_back(row.text.substr(0, row.text.find('\t')));
    EXPECT_EQ(listed, (std::vector<std::string>{"Plain.txt", "Plain.txt"}));
}

TEST_F(DuplicateScanTest, DrivesThatCannotBeOpenedAskAndLeaveTheListEmpty) {
    Put("A.txt", 5);
    Put("DOCS/A.txt", 5);
    // The boot sector goes bad after the drive menu was filled.
    std::vector<uint8_t> bootSector = test::ReadFileBytes(image_);
    bootSector.resize(512);
    beforeScan_ = [this] { test::WriteFileBytes(image_, 0, std::vector<uint8_t>(512, 0)); };
    FillEnd end;
    test::RecordingSink sink = Scan(&end);
    EXPECT_EQ(sink.errorDrives, std::vector<std::string>{"C:"});
    EXPECT_TRUE(sink.rows.empty());
    EXPECT_EQ(sink.progress.back(), 100);
    EXPECT_FALSE(end.stopped);
    continueAfterError_ = false;
    test::WriteFileBytes(image_, 0, bootSector);
    sink = Scan(&end);
    EXPECT_EQ(sink.errorDrives, std::vector<std::string>{"C:"});
    EXPECT_EQ(sink.progress.back(), 100);
}

TEST_F(DuplicateScanTest, StopEndsTheScanWithoutRows) {
    Put("A.txt", 5);
    Put("DOCS/A.txt", 5);
    stopAfterYields_ = 0;
    FillEnd end;
    const test::RecordingSink sink = Scan(&end);
    EXPECT_TRUE(end.stopped);
    EXPECT_FALSE(end.errorStop);
    EXPECT_TRUE(sink.rows.empty());
}

}  // namespace
}  // namespace quillo
