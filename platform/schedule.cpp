#include "platform/schedule.h"

#include <cstdio>
#include <ctime>

namespace quillo {
namespace {

bool ReadDigits(const std::string& text, size_t at, size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

std::string TrimBlanks(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

}  // namespace

Day LocalToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return Day(std::chrono::year(local.tm_year + 1900) / std::chrono::month(local.tm_mon + 1) /
               std::chrono::day(local.tm_mday));
}

std::string FormatScheduleDate(Day day) {
    const std::chrono::year_month_day date(day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

std::optional<Day> ParseScheduleDate(const std::string& text) {
    const std::string date = TrimBlanks(text);
    int year = 0, month = 0, day = 0;
    if (date.size() != 10 || date[4] != '-' || date[7] != '-' || !ReadDigits(date, 0, 4, year) ||
        !ReadDigits(date, 5, 2, month) || !ReadDigits(date, 8, 2, day))
        return std::nullopt;
    const std::chrono::year_month_day calendar{std::chrono::year(year), std::chrono::month(month),
                                               std::chrono::day(day)};
    if (!calendar.ok()) return std::nullopt;
    return Day(calendar);
}

bool ScheduleDateInFuture(const std::string& date, Day today) {
    const std::optional<Day> day = ParseScheduleDate(date);
    return day && *day > today;
}

bool RunIsDue(int32_t interval, const std::string& date, Day today) {
    namespace si = schedule_interval;
    if (interval == si::Always) return true;
    if (interval != si::Daily && interval != si::Weekly) return false;
    const std::optional<Day> last = ParseScheduleDate(date);
    if (!last || *last > today) return true;
    return (today - *last).count() >= interval;
}

}  // namespace quillo
