// FILETIME calendar arithmetic. The tick count is split into whole days since 1601-01-01
// and the time of day; days become a civil date with the proleptic Gregorian era
// arithmetic (400-year eras of 146097 days), which needs no table and no time zone.
#include "platform/file_time.h"

#include <time.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <limits>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/code_page.h"

namespace {

constexpr std::uint64_t kTicksPerMillisecond = 10'000;
constexpr std::uint64_t kTicksPerSecond = 1000 * kTicksPerMillisecond;
constexpr std::uint64_t kTicksPerDay = 86'400 * kTicksPerSecond;
constexpr FILETIME64 kMaxFileTime = std::numeric_limits<std::int64_t>::max();

// Days from 0000-03-01 (the start of an era, so the leap day is the last of a year) to
// 1601-01-01.
constexpr std::int64_t kDaysFromEraOriginTo1601 = 584'694;

struct CivilDate {
    std::int64_t year;
    unsigned month;  // 1..12
    unsigned day;    // 1..31
};

constexpr bool IsLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr unsigned DaysInMonth(std::int64_t year, unsigned month) {
    constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days counted from 0000-03-01; years start in March so February's length does not move
// any other month.
constexpr std::int64_t DaysFromCivil(const CivilDate& date) {
    const std::int64_t y = date.month <= 2 ? date.year - 1 : date.year;
    const std::int64_t era = y / 400;  // years here are never negative
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t shiftedMonth = date.month > 2 ? date.month - 3 : date.month + 9;
    const std::int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + date.day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146'097 + dayOfEra;
}

constexpr CivilDate CivilFromDays(std::int64_t days) {
    const std::int64_t era = days / 146'097;
    const std::int64_t dayOfEra = days - era * 146'097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const auto day = static_cast<unsigned>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const auto month =
        static_cast<unsigned>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

static_assert(DaysFromCivil({1601, 1, 1}) == kDaysFromEraOriginTo1601);
static_assert(CivilFromDays(kDaysFromEraOriginTo1601).year == 1601);

// 1601-01-01 was a Monday (1 when Sunday is 0).
constexpr unsigned DayOfWeek(std::int64_t daysSince1601) {
    return static_cast<unsigned>((daysSince1601 + 1) % 7);
}

std::mutex& ClockMutex() {
    static std::mutex mutex;
    return mutex;
}

LocalClock& InjectedClock() {
    static LocalClock clock;
    return clock;
}

SystemTime SystemLocalTime() {
    const auto now = std::chrono::system_clock::now();
    const auto sinceEpoch = now.time_since_epoch();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    SystemTime out;
    out.wYear = static_cast<std::uint16_t>(local.tm_year + 1900);
    out.wMonth = static_cast<std::uint16_t>(local.tm_mon + 1);
    out.wDayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    out.wDay = static_cast<std::uint16_t>(local.tm_mday);
    out.wHour = static_cast<std::uint16_t>(local.tm_hour);
    out.wMinute = static_cast<std::uint16_t>(local.tm_min);
    out.wSecond = static_cast<std::uint16_t>(std::min(local.tm_sec, 59));  // leap second
    out.wMilliseconds = static_cast<std::uint16_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000);
    return out;
}

// The full day name of the process locale. wcsftime reads the locale's wide names, so it
// does not depend on LC_CTYPE's byte encoding.
std::u16string DayName(unsigned dayOfWeek) {
    std::tm tm{};
    tm.tm_wday = static_cast<int>(dayOfWeek);
    wchar_t buffer[128];
    const std::size_t length = std::wcsftime(buffer, std::size(buffer), L"%A", &tm);
    // wchar_t holds whole code points here.
    const std::vector<UChar32> codePoints(buffer, buffer + length);
    std::u16string name(length * 2, u'\0');
    int32_t written = 0;
    UErrorCode err = U_ZERO_ERROR;
    u_strFromUTF32WithSub(name.data(), static_cast<int32_t>(name.size()), &written,
                          codePoints.data(), static_cast<int32_t>(codePoints.size()), 0xFFFD,
                          nullptr, &err);
    name.resize(U_SUCCESS(err) ? static_cast<std::size_t>(written) : 0);
    return name;
}

}  // namespace

bool FileTimeToSystemTime(FILETIME64 fileTime, SystemTime& out) {
    if (fileTime > kMaxFileTime) {
        return false;
    }
    const auto days = static_cast<std::int64_t>(fileTime / kTicksPerDay);
    std::uint64_t rest = fileTime % kTicksPerDay;
    const CivilDate date = CivilFromDays(days + kDaysFromEraOriginTo1601);

    SystemTime time;
    time.wYear = static_cast<std::uint16_t>(date.year);
    time.wMonth = static_cast<std::uint16_t>(date.month);
    time.wDay = static_cast<std::uint16_t>(date.day);
    time.wDayOfWeek = static_cast<std::uint16_t>(DayOfWeek(days));
    time.wHour = static_cast<std::uint16_t>(rest / (3600 * kTicksPerSecond));
    rest %= 3600 * kTicksPerSecond;
    time.wMinute = static_cast<std::uint16_t>(rest / (60 * kTicksPerSecond));
    rest %= 60 * kTicksPerSecond;
    time.wSecond = static_cast<std::uint16_t>(rest / kTicksPerSecond);
    rest %= kTicksPerSecond;
    time.wMilliseconds = static_cast<std::uint16_t>(rest / kTicksPerMillisecond);
    out = time;
    return true;
}

int CompareFileTime(FILETIME64 a, FILETIME64 b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

bool SystemTimeToFileTime(const SystemTime& time, FILETIME64& out) {
    // The day of the week is not checked: it follows from the date.
    if (time.wYear < 1601 || time.wMonth < 1 || time.wMonth > 12 || time.wDay < 1 ||
        time.wDay > DaysInMonth(time.wYear, time.wMonth) || time.wHour > 23 || time.wMinute > 59 ||
        time.wSecond > 59 || time.wMilliseconds > 999) {
        return false;
    }
    const std::int64_t days =
        DaysFromCivil({time.wYear, time.wMonth, time.wDay}) - kDaysFromEraOriginTo1601;
    const std::uint64_t ticksOfDay =
        ((time.wHour * 60ULL + time.wMinute) * 60ULL + time.wSecond) * kTicksPerSecond +
        time.wMilliseconds * kTicksPerMillisecond;
    const auto wholeDays = static_cast<std::uint64_t>(days);
    // Beyond the last day that fits, or on it past the largest tick count.
    if (wholeDays > kMaxFileTime / kTicksPerDay ||
        wholeDays * kTicksPerDay > kMaxFileTime - ticksOfDay) {
        return false;
    }
    out = wholeDays * kTicksPerDay + ticksOfDay;
    return true;
}

void SetLocalClock(LocalClock clock) {
    std::lock_guard lock(ClockMutex());
    InjectedClock() = std::move(clock);
}

SystemTime GetLocalTime() {
    LocalClock clock;
    {
        std::lock_guard lock(ClockMutex());
        clock = InjectedClock();
    }
    return clock ? clock() : SystemLocalTime();
}

std::u16string FormatCurrentDate() {
    SystemTime now = GetLocalTime();
    // The day name follows from the date, as the date formatter on Windows has it; an
    // injected clock need not fill in wDayOfWeek.
    FILETIME64 ticks = 0;
    SystemTime normalised;
    if (SystemTimeToFileTime(now, ticks) && FileTimeToSystemTime(ticks, normalised)) {
        now.wDayOfWeek = normalised.wDayOfWeek;
    }
    char date[32];
    std::snprintf(date, sizeof date, "%04u-%02u-%02u", static_cast<unsigned>(now.wYear),
                  static_cast<unsigned>(now.wMonth), static_cast<unsigned>(now.wDay));
    return DayName(now.wDayOfWeek % 7) + u", " + Utf8ToWide(date);
}
