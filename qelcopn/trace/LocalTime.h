// Wall-clock microseconds as the trace formats' headers write them: a
// local date and time of day (the zone of the process), both ways.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qelcopn::trace {

struct LocalTime {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;
    int weekday = 4; // 0 Sunday
    int hour = 0, minute = 0, second = 0;
    int micros = 0;
};

LocalTime localTimeOf(int64_t wallMicros);
// Empty for a date or time of day that does not exist.
std::optional<int64_t> wallMicrosOf(const LocalTime &time);

// Days from 1970-01-01 of a civil date, and back (proleptic Gregorian).
int64_t daysFromCivil(int year, int month, int day);
void civilFromDays(int64_t days, int *year, int *month, int *day);

// English month and weekday names, three letters ("Dec", "Thu").
const char *monthName(int month);
const char *weekdayName(int weekday);
// 1..12 for "Jan".."Dec" (and the German names Vector's tools also
// write), 0 for anything else; case is ignored.
int monthByName(std::string_view name);

} // namespace qelcopn::trace
