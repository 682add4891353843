#include "platform/option_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

#include "platform/config_paths.h"
#include "tests/support/temp_config.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;

class OptionStoreTest : public test::TempConfigTest {
protected:
    std::string StorePath() const { return OptionStorePath(kQuilloAppName); }
};

TEST_F(OptionStoreTest, FreshProfileIsReadWithoutCreatingTheFile) {
    OptionStore store = OptionStore::ForApplication(kQuilloAppName);
    EXPECT_EQ(store.Path(), folder_ + "/quillo.ini");
    LoadAllOptions(store);
    EXPECT_EQ(ReadInterval(store), -1);
    EXPECT_FALSE(fs::exists(store.Path()));
    setenv("XDG_CONFIG_HOME", "", 1);
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        EXPECT_EQ(OptionStorePath("quillo"), std::string(home) + "/.config/quillo.ini");
    }
}

TEST_F(OptionStoreTest, OnlyExactYesIsTrueAndNumbersTakeTheirLeadingValue) {
    WriteFile(StorePath(), "[options]\r\nSilent=yes\r\nBackground=Yes \r\nNoHugePack=Yes\r\nFixedRegistry= Yes\r\n"
                           "HideHisto=YES\r\nStartMaximized=Yes\r\nAutoDefrag=  C,D \r\nDefragLim=abc\r\n");
    const Options o = LoadAllOptions(OptionStore(StorePath()));
    EXPECT_FALSE(o.Silent || o.Background || o.FixedRegistry || o.HideHisto);
    EXPECT_TRUE(o.NoHugePack && o.StartMaximized);
    EXPECT_EQ(o.AutoDefrag, "C,D");
    EXPECT_EQ(o.DefragLim, 0);  // not the default

    const std::pair<const char*, int32_t> cases[] = {  // halves round to even
        {"12.5", 12},  {"13.5", 14},     {"-2.5", -2},    {"0.5", 0},     {"1.5", 2},
        {"0.51", 1},   {"abc", 0},       {"", 0},         {"  7xyz", 7},  {"\t+3", 3},
        {"-1", -1},    {"1e3", 1000},    {"2e", 2},       {"1e+", 1},     {"25MB", 25},
        {".5", 0},     {"7.", 7},        {"-", 0},        {"e5", 0},      {"1.2.3", 1},
        {"1e-400", 0}, {"99999999999", INT32_MAX}, {"-1e300", INT32_MIN}, {"9e9999", INT32_MAX},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(NumericValue(text), expected) << '"' << text << '"';
}

TEST_F(OptionStoreTest, SavingClampsNumbersAndMatchesKeysInAnyCase) {
    OptionStore store(StorePath());
    std::string field = "-5";
    EXPECT_EQ(SaveNumericOption(store, option_keys::PackLim, field), 0);
    EXPECT_EQ(field, "0");
    bool variable = false;
    EXPECT_TRUE(SaveBooleanOption(store, "autobackground", false, variable));
    EXPECT_TRUE(SaveBooleanOption(store, option_keys::AutoBackground, true, variable));
    EXPECT_TRUE(variable && LoadAllOptions(OptionStore(StorePath())).AutoBackground);
    EXPECT_EQ(IniFile::Load(StorePath()).ReadSection(kOptionsSection).size(), 2u);  // two spellings, one entry
    // A window size of 0 keeps the stored one.
    SaveWindowSize(store, 6000, 9000);
    SaveWindowSize(store, 0, 7000);
    const WindowSize size = ReadWindowSize(OptionStore(StorePath()));
    EXPECT_EQ(std::make_pair(size.Height, size.Width), std::make_pair(6000, 7000));
}

TEST_F(OptionStoreTest, BadStoreFilesReadAsDefaultsWithoutCrashing) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) % 256);
    // Binary data is not a store, even where some of it looks like one.
    const std::string bad[] = {garbage, std::string("[Options]\nSilent=Yes\nDefragLim=3\n") + '\0' + "\x01\n",
                               "[[[\n===\n]Silent\n[Options\nDefragLim\n=Yes\n", "\xff\xfe[Options]\n"};
    for (const std::string& bytes : bad) {
        WriteFile(StorePath(), bytes);
        const Options o = LoadAllOptions(OptionStore(StorePath()));
        EXPECT_TRUE(o.DefragLim == 25 && !o.Silent) << bytes.substr(0, 20);
    }
    fs::remove(StorePath());
    ASSERT_EQ(mkfifo(StorePath().c_str(), 0600), 0);  // must not block the read
    EXPECT_EQ(LoadAllOptions(OptionStore(StorePath())).PackLim, 25);
    fs::remove(StorePath());
    fs::create_directory(StorePath());
    OptionStore onDirectory(StorePath());
    EXPECT_FALSE(onDirectory.WriteText("Silent", "Yes"));
    EXPECT_EQ(onDirectory.ReadText("Silent", ""), "Yes");  // this process still sees it
}

TEST_F(OptionStoreTest, WritesAreAtomicMergeWithOtherWritersAndKeepBlanks) {
    setenv("XDG_CONFIG_HOME", (folder_ + "/not/yet").c_str(), 1);
    OptionStore first = OptionStore::ForApplication(kQuilloAppName);
    OptionStore second = OptionStore::ForApplication(kQuilloAppName);  // read before first writes
    EXPECT_TRUE(first.WriteText(option_keys::Date, " 2024-05-01 "));
    EXPECT_TRUE(second.WriteText(option_keys::AutoDefrag, "C,D=E"));
    EXPECT_TRUE(second.ReplaceSection("Drives", {{"1", "/images/a.img"}, {"2", "/dev/sdb1"}, {"1", "x"}}));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_ + "/not/yet"), fs::directory_iterator()), 1);

    OptionStore reread = OptionStore::ForApplication(kQuilloAppName);
    EXPECT_EQ(ReadScheduleDate(reread), " 2024-05-01 ");
    EXPECT_EQ(reread.ReadText("autodefrag", ""), "C,D=E");
    const std::vector<IniEntry> drives = reread.ReadSection("DRIVES");
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].value + drives[1].value, "/images/a.img/dev/sdb1");
    EXPECT_TRUE(reread.RemoveValue("Drives", "2"));
    EXPECT_EQ(OptionStore::ForApplication(kQuilloAppName).ReadSection("Drives").size(), 1u);
}

}  // namespace
}  // namespace quillo
