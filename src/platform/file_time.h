// Windows FILETIME values (100-nanosecond ticks since 1601-01-01 00:00 UTC) and their
// calendar form. The stored dates of a mailbox are shown as they are, in UTC.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

using FILETIME64 = std::uint64_t;

struct SystemTime {
    std::uint16_t wYear = 0;
    std::uint16_t wMonth = 0;      // 1..12
    std::uint16_t wDayOfWeek = 0;  // 0 = Sunday
    std::uint16_t wDay = 0;        // 1..31
    std::uint16_t wHour = 0;
    std::uint16_t wMinute = 0;
    std::uint16_t wSecond = 0;
    std::uint16_t wMilliseconds = 0;
};

// Fails (returns false, out untouched) for values with the top bit set, as Windows does.
[[nodiscard]] bool FileTimeToSystemTime(FILETIME64 fileTime, SystemTime& out);

// -1, 0 or +1 on the unsigned tick count.
[[nodiscard]] int CompareFileTime(FILETIME64 a, FILETIME64 b);

// The inverse, for writers and tests: false when a field is out of range.
[[nodiscard]] bool SystemTimeToFileTime(const SystemTime& time, FILETIME64& out);

// Today's date as "<day name>, yyyy-MM-dd" in the process locale's day names (LC_TIME).
// The clock can be replaced for tests; it returns the local calendar time.
using LocalClock = std::function<SystemTime()>;
void SetLocalClock(LocalClock clock);  // an empty function restores the system clock
[[nodiscard]] SystemTime GetLocalTime();
[[nodiscard]] std::u16string FormatCurrentDate();
