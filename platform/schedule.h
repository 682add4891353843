#pragma once
// The automatic-defragment schedule shared by the Schedule page and the
// log-in launcher: the "Interval" values, the "Date" of the last automatic
// run, and whether a run is due.
//
// "Date" is written as an ISO 8601 calendar date ("2024-05-31"), the local
// date of the run.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quillo {

using Day = std::chrono::sys_days;

// "Interval" values of the Schedule page's four choices.
namespace schedule_interval {
inline constexpr int32_t Always = 0;
inline constexpr int32_t Daily = 1;
inline constexpr int32_t Weekly = 7;
inline constexpr int32_t Never = -1;
}  // namespace schedule_interval

// Today's date in the local time zone.
Day LocalToday();

std::string FormatScheduleDate(Day day);
// A date written by FormatScheduleDate (blanks around it allowed); nullopt
// for anything else, including impossible dates such as 2023-02-30.
std::optional<Day> ParseScheduleDate(const std::string& text);

// True when `date` is a date after `today`. Empty or unreadable text is not.
bool ScheduleDateInFuture(const std::string& date, Day today);

// Whether the launcher should run now, given "Interval" and "Date":
// Always at every log-in; Once a day when no run was recorded today; Once a
// week when the last one is 7 or more days old. An empty or unreadable
// "Date", or one after today (the clock was set back), makes a daily or
// weekly run due. Any other interval, Never included, is never due.
bool RunIsDue(int32_t interval, const std::string& date, Day today);

}  // namespace quillo
