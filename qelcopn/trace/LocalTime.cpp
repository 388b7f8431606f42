#include "trace/LocalTime.h"

#include <cctype>
#include <ctime>

namespace qelcopn::trace {

namespace {

constexpr const char *kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char *kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

bool sameLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

LocalTime localTimeOf(int64_t wallMicros)
{
    int64_t seconds = wallMicros / 1000000;
    int64_t micros = wallMicros % 1000000;
    if (micros < 0) {
        micros += 1000000;
        --seconds;
    }
    const time_t t = time_t(seconds);
    tm parts{};
    localtime_r(&t, &parts);
    LocalTime out;
    out.year = parts.tm_year + 1900;
    out.month = parts.tm_mon + 1;
    out.day = parts.tm_mday;
    out.weekday = parts.tm_wday;
    out.hour = parts.tm_hour;
    out.minute = parts.tm_min;
    out.second = parts.tm_sec;
    out.micros = int(micros);
    return out;
}

std::optional<int64_t> wallMicrosOf(const LocalTime &time)
{
    if (time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 || time.hour < 0 || time.hour > 23
        || time.minute < 0 || time.minute > 59 || time.second < 0 || time.second > 60 || time.micros < 0
        || time.micros > 999999 || time.year < 1900 || time.year > 9999)
        return std::nullopt;
    tm parts{};
    parts.tm_year = time.year - 1900;
    parts.tm_mon = time.month - 1;
    parts.tm_mday = time.day;
    parts.tm_hour = time.hour;
    parts.tm_min = time.minute;
    parts.tm_sec = time.second;
    parts.tm_isdst = -1;
    const time_t t = mktime(&parts);
    if (t == time_t(-1) && !(parts.tm_year == 69 && parts.tm_mon == 11 && parts.tm_mday == 31))
        return std::nullopt;
    return int64_t(t) * 1000000 + time.micros;
}

int64_t daysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yoe = year - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t days, int *year, int *month, int *day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    *day = int(doy - (153 * mp + 2) / 5 + 1);
    *month = int(mp < 10 ? mp + 3 : mp - 9);
    *year = int(yoe + era * 400 + (*month <= 2));
}

const char *monthName(int month)
{
    return month >= 1 && month <= 12 ? kMonths[month - 1] : "Jan";
}

const char *weekdayName(int weekday)
{
    return weekday >= 0 && weekday <= 6 ? kWeekdays[weekday] : "Sun";
}

int monthByName(std::string_view name)
{
    for (int i = 0; i < 12; ++i)
        if (sameLetters(name, kMonths[i]))
            return i + 1;
    // CANoe in German writes these four differently.
    constexpr struct {
        const char *name;
        int month;
    } kGerman[] = {{"M\xC3\xA4r", 3}, {"Mrz", 3}, {"Mai", 5}, {"Okt", 10}, {"Dez", 12}};
    for (const auto &g : kGerman)
        if (sameLetters(name, g.name))
            return g.month;
    return 0;
}

} // namespace qelcopn::trace
