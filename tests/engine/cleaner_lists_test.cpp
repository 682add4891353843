// The list model every cleaner list shares, the folder list ("Temps") and
// the task and fragmented-file lists, without a window.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "common/engine_context.h"
#include "engine/list_source.h"
#include "engine/temp_list.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/recording_sink.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;

void SetAge(const std::string& path, int days) {
    const std::time_t when = std::time(nullptr) - static_cast<std::time_t>(days) * 86400;
    const utimbuf times{when, when};
    ::utime(path.c_str(), &times);
}

// Keywords match exactly; anything else opens no list.
TEST(ListKindTest, UnknownKeywordsGiveNoList) {
    testing::ScriptedDrive drive;
    ListEnvironment env{drive.ctx, "/tmp/", {}};
    for (const char* unknown : {"", "temps", "Nothing", "Settings"}) {
        EXPECT_EQ(FindListKind(unknown), nullptr) << unknown;
        EXPECT_EQ(MakeListSource(unknown, env), nullptr) << unknown;
    }
}

TEST(ListSinkTest, TheRowAfterTheLimitIsRefusedWithOneMessage) {
    test::RecordingSink sink;
    for (int i = 0; i < ListSink::kRowLimit; ++i) ASSERT_TRUE(sink.AddRow({"row", false, "", {}}));
    EXPECT_EQ(sink.limitMessages, 0);
    EXPECT_FALSE(sink.AddRow({"row 32737", false, "", {}}));
    EXPECT_FALSE(sink.AddRow({"row 32738", false, "", {}}));
    EXPECT_EQ(sink.limitMessages, 1);
    EXPECT_EQ(sink.rows.size(), 32736u);
    EXPECT_TRUE(sink.LimitReached());
}

TEST(ListSinkTest, RowsSortCaseInsensitivelyAndStably) {
    std::vector<ListRow> rows;
    for (const char* text : {"beta", "Alpha", "alpha", "ALPHA", "_under", "Zulu", "a"})
        rows.push_back({text, false, std::to_string(rows.size()), {}});
    SortRows(rows);
    std::vector<std::string> order;
    for (const ListRow& row : rows) order.push_back(row.text);
    EXPECT_EQ(order, (std::vector<std::string>{"_under", "a", "Alpha", "alpha", "ALPHA", "beta", "Zulu"}));
}

class FolderListTest : public ::testing::Test {
protected:
    void SetUp() override {
        tmp_ = dir_.File("tmp");
        fs::create_directories(tmp_);
        setenv("XDG_DATA_HOME", dir_.File("data").c_str(), 1);
    }
    std::vector<std::string> Fill() {
        sink_ = test::RecordingSink{};
        source_.Fill(sink_);
        return sink_.Texts();
    }
    const ListRow& Row(const std::string& key) {
        for (const ListRow& row : sink_.rows)
            if (row.key == key) return row;
        static const ListRow none;
        return none;
    }

    test::TempDir dir_;
    std::string tmp_;
    testing::ScriptedDrive drive_;
    ListEnvironment env_{drive_.ctx, "", {}};
    FolderListSource source_{env_, dir_.File("tmp") + "/"};
    test::RecordingSink sink_;
};

TEST_F(FolderListTest, RowsArePathBelowTheFolderAndShortDateAuxiliaryHoldsFolders) {
    fs::create_directories(tmp_ + "/a/b");
    test::WriteFileText(tmp_ + "/a/b/deep.tmp", "x");
    test::WriteFileText(tmp_ + "/top.tmp", "x");
    SetAge(tmp_ + "/top.tmp", 3);
    const std::vector<std::string> rows = Fill();
    EXPECT_EQ(rows, (std::vector<std::string>{"top.tmp\t" + ShortDate(std::time(nullptr) - 3 * 86400),
                                              "a/b/deep.tmp\t" + ShortDate(std::time(nullptr))}));
    EXPECT_EQ(sink_.auxiliary, (std::vector<std::string>{tmp_ + "/a", tmp_ + "/a/b"}));
    const RowTarget target = source_.Target(Row("a/b/deep.tmp"));
    EXPECT_EQ(target.kind, RowTarget::Kind::HostFile);
    EXPECT_EQ(target.path, tmp_ + "/a/b/deep.tmp");
}

// The read-only rule: a file we may not write goes only when 7 or more days old.
TEST_F(FolderListTest, ReadOnlyFileOfTenDaysGoesOneOfYesterdayStays) {
    test::WriteFileText(tmp_ + "/old.tmp", "x");
    test::WriteFileText(tmp_ + "/new.tmp", "x");
    ::chmod((tmp_ + "/old.tmp").c_str(), 0444);
    ::chmod((tmp_ + "/new.tmp").c_str(), 0444);
    SetAge(tmp_ + "/old.tmp", 10);
    SetAge(tmp_ + "/new.tmp", 1);
    Fill();
    DeleteOutcome outcome = source_.Delete({Row("new.tmp")});
    EXPECT_EQ(outcome.message, "Some files could not be deleted.");
    EXPECT_TRUE(fs::exists(tmp_ + "/new.tmp"));
    outcome = source_.Delete({Row("old.tmp")});
    EXPECT_EQ(outcome.message, "");
    EXPECT_TRUE(outcome.rebuild);
    EXPECT_FALSE(fs::exists(tmp_ + "/old.tmp"));
    EXPECT_TRUE(fs::exists(dir_.File("data/Trash/files/old.tmp")));
}

TEST_F(FolderListTest, DeleteTakesOnlyTheListedFileThenTheFoldersLeftEmpty) {
    fs::create_directories(tmp_ + "/gone/empty inside");
    fs::create_directories(tmp_ + "/kept/sub");
    fs::create_directories(tmp_ + "/parent/full");
    test::WriteFileText(tmp_ + "/gone/a.tmp", "x");
    test::WriteFileText(tmp_ + "/kept/sub/b.tmp", "x");
    test::WriteFileText(tmp_ + "/parent/full/stays.tmp", "x");
    test::WriteFileText(tmp_ + "/swapped.tmp", "listed");
    Fill();
    // Replaced between listing and deleting: not the file the user chose.
    fs::rename(tmp_ + "/swapped.tmp", tmp_ + "/aside.tmp");
    test::WriteFileText(tmp_ + "/swapped.tmp", "replacement");
    const DeleteOutcome outcome =
        source_.Delete({Row("gone/a.tmp"), Row("kept/sub/b.tmp"), Row("swapped.tmp")});
    EXPECT_EQ(outcome.message, "");
    EXPECT_FALSE(fs::exists(tmp_ + "/gone"));   // its file went, then it and the folder inside
    EXPECT_FALSE(fs::exists(tmp_ + "/kept"));
    EXPECT_TRUE(fs::exists(tmp_ + "/parent/full/stays.tmp"));
    EXPECT_TRUE(fs::exists(tmp_ + "/swapped.tmp"));
    const std::string trash = dir_.File("data/Trash/files");
    for (const char* name : {"a.tmp", "b.tmp", "gone", "kept", "sub", "empty inside"})
        EXPECT_TRUE(fs::exists(trash + "/" + name) || fs::exists(trash + "/gone/" + name) ||
                    fs::exists(trash + "/kept/" + name))
            << name;
    const std::string today = ShortDate(std::time(nullptr));
    EXPECT_EQ(Fill(), (std::vector<std::string>{"aside.tmp\t" + today, "swapped.tmp\t" + today,
                                                "parent/full/stays.tmp\t" + today}));
}

TEST(FragmentedListTest, ShortPathsKeptWhenTheVolumeCannotBeRead) {
    testing::ScriptedDrive drive;  // a blank device: no volume to read the long names from
    drive.ctx.lists.Fragmented = {{"C:\\DOCS\\REPORT~1.DOC\t\t12.5KB", false},
                                  {"C:\\DOCS\tXX (busy)\t4.0KB", true},
                                  {"C:\\NOTAB", false}};
    ListEnvironment env{drive.ctx, "", {}};
    auto source = MakeListSource("Frags", env);
    test::RecordingSink sink;
    source->Fill(sink);
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"C:\\DOCS\\REPORT~1.DOC\t12.5KB",
                                                      "C:\\DOCS (folder)XX (busy)\t4.0KB", "C:\\NOTAB"}));
    EXPECT_TRUE(sink.rows[1].isFolder);
    EXPECT_EQ(source->Target(sink.rows[1]).path, "C:\\DOCS");
}

}  // namespace
}  // namespace quillo
