#include "platform/schedule.h"

#include <gtest/gtest.h>

namespace quillo {
namespace {

using namespace std::chrono;

Day On(int y, unsigned m, unsigned d) { return Day(year(y) / month(m) / day(d)); }

TEST(ScheduleDateTest, WrittenDatesReadBackAndAnythingElseIsRefused) {
    EXPECT_EQ(FormatScheduleDate(On(2024, 2, 29)), "2024-02-29");
    EXPECT_EQ(FormatScheduleDate(On(987, 1, 5)), "0987-01-05");
    EXPECT_EQ(ParseScheduleDate(" 2024-02-29 "), On(2024, 2, 29));
    for (const char* bad : {"", "2023-02-29", "2024-13-01", "2024-00-10", "2024-1-05", "2024/01/05",
                            "05.01.2024", "2024-01-05x", "+024-01-05", "yesterday"})
        EXPECT_FALSE(ParseScheduleDate(bad)) << bad;
    // Only a later readable date lies in the future.
    for (const auto& [date, future] : {std::pair{"2024-06-02", true}, {"2024-06-01", true}, {"2024-05-31", false}, {"2024-05-29", false},
                                       {"", false}, {"someday", false}})
        EXPECT_EQ(ScheduleDateInFuture(date, On(2024, 5, 31)), future) << date;
}

TEST(ScheduleDueTest, EachIntervalAgainstTheLastRunDate) {
    namespace si = schedule_interval;
    const Day today = On(2024, 3, 4);  // across the end of a leap February
    struct Case {
        int32_t interval;
        const char* date;
        bool due;
    } const cases[] = {
        {si::Always, "2024-03-04", true},  {si::Always, "", true},
        {si::Daily, "2024-03-04", false},  {si::Daily, "2024-03-03", true},
        {si::Daily, "", true},             {si::Daily, "2024-03-05", true},  // clock set back
        {si::Weekly, "2024-02-26", true},  {si::Weekly, "2024-02-27", false},
        {si::Weekly, "2024-03-04", false}, {si::Weekly, "", true},
        {si::Weekly, "garbage", true},     {si::Weekly, "2025-01-01", true},
        {si::Never, "", false},            {si::Never, "2020-01-01", false},
        {2, "", false},                    {-7, "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RunIsDue(c.interval, c.date, today), c.due) << c.interval << " " << c.date;
}

}  // namespace
}  // namespace quillo
