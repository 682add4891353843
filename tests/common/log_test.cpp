#include "common/log.h"

#include <gtest/gtest.h>

#include "tests/support/engine_fixture.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

TEST(FormatSize, FollowsTheSizeTable) {
    const std::pair<int32_t, const char*> table[] = {
        {0, ".0KB"},         {1, ".5KB"},          {2, "1KB"},          {3, "1.5KB"},
        {2047, "1023.5KB"},  {2048, "1.00MB"},     {2058, "1.00MB"},    {2059, "1.01MB"},
        {20479, "10.00MB"},  {20480, "10.0MB"},    {20582, "10.0MB"},    {20583, "10.1MB"},   {204799, "100.0MB"},
        {204800, "100MB"},   {205823, "100MB"},    {205824, "101MB"},   {2097151, "1024MB"},
        {2097152, "1.02GB"}, {2099200, "1.03GB"},  {0x7FFFFFFF, "1048.58GB"},
    };
    for (const auto& [sectors, text] : table) EXPECT_EQ(FormatSize(sectors), text) << sectors;
}

TEST(Log, LinesAreDroppedWhileLoggingIsOffAndNoYieldWhileLockRaised) {
    testing::ScriptedDrive d;
    d.ctx.log.LogEnabled = false;
    AddLogLine(d.ctx, "dropped");
    EXPECT_TRUE(d.view.log.empty());
    EXPECT_EQ(d.view.yields, 1);

    d.ctx.log.LogEnabled = true;
    d.ctx.dev.LockRaised = true;
    AddSizeLine(d.ctx, "Free space = ", 25600);
    EXPECT_EQ(d.view.log, std::vector<std::string>({"Free space = 12.5MB"}));
    EXPECT_EQ(d.view.yields, 1);  // added without yielding
}

TEST(Log, WriteLogFileOverwritesWithCrLfAndLeavesAnEmptyLogAlone) {
    testing::ScriptedDrive d;
    test::TempDir dir;
    d.ctx.log.LogPath = dir.File("quillo.LOG");
    auto slurp = [&] { return test::ReadFileText(d.ctx.log.LogPath); };

    AddLogLine(d.ctx, "first");
    AddLogLine(d.ctx, "second");
    WriteLogFile(d.ctx, true);
    EXPECT_EQ(slurp(), "first\r\nsecond\r\n");
    EXPECT_TRUE(d.ctx.log.lines.empty());

    WriteLogFile(d.ctx, true);  // empty log: the file stays as it was
    EXPECT_EQ(slurp(), "first\r\nsecond\r\n");

    AddLogLine(d.ctx, "kept on screen");
    WriteLogFile(d.ctx, false);
    EXPECT_EQ(slurp(), "first\r\nsecond\r\nkept on screen\r\n");
    EXPECT_EQ(d.ctx.log.lines.size(), 1u);
}

}  // namespace
}  // namespace quillo
