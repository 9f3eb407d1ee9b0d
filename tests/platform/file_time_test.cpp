#include "platform/file_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <limits>
#include <random>
#include <string>

namespace {

using namespace std::chrono;
using Ticks = duration<std::int64_t, std::ratio<1, 10'000'000>>;

constexpr FILETIME64 kTopBit = 0x8000'0000'0000'0000ULL;
constexpr FILETIME64 kLastValid = 0x7FFF'FFFF'FFFF'FFFFULL;

// The reference: the standard library's calendar, counted from 1601-01-01.
FILETIME64 ChronoTicks(int y, unsigned m, unsigned d, int hh = 0, int mm = 0, int ss = 0,
                       int ms = 0) {
    const sys_days day = year{y} / month{m} / std::chrono::day{d};
    const auto since1601 = day - sys_days{year{1601} / January / 1} + hours{hh} + minutes{mm} +
                           seconds{ss} + milliseconds{ms};
    return static_cast<FILETIME64>(duration_cast<Ticks>(since1601).count());
}

SystemTime Make(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0, int ms = 0) {
    SystemTime t;
    t.wYear = static_cast<std::uint16_t>(y);
    t.wMonth = static_cast<std::uint16_t>(m);
    t.wDay = static_cast<std::uint16_t>(d);
    t.wHour = static_cast<std::uint16_t>(hh);
    t.wMinute = static_cast<std::uint16_t>(mm);
    t.wSecond = static_cast<std::uint16_t>(ss);
    t.wMilliseconds = static_cast<std::uint16_t>(ms);
    return t;
}

void ExpectTime(const SystemTime& t, int y, int m, int d, int hh, int mm, int ss, int ms,
                int dayOfWeek) {
    EXPECT_EQ(t.wYear, y);
    EXPECT_EQ(t.wMonth, m);
    EXPECT_EQ(t.wDay, d);
    EXPECT_EQ(t.wHour, hh);
    EXPECT_EQ(t.wMinute, mm);
    EXPECT_EQ(t.wSecond, ss);
    EXPECT_EQ(t.wMilliseconds, ms);
    EXPECT_EQ(t.wDayOfWeek, dayOfWeek);
}

TEST(FileTimeToSystemTime, ZeroIsMondayFirstJanuary1601) {
    SystemTime t;
    ASSERT_TRUE(FileTimeToSystemTime(0, t));
    ExpectTime(t, 1601, 1, 1, 0, 0, 0, 0, 1);
}

TEST(FileTimeToSystemTime, KnownDate) {
    const FILETIME64 ticks = 128'702'055'000'000'000ULL;  // 2008-11-03 17:05 UTC
    EXPECT_EQ(ticks, ChronoTicks(2008, 11, 3, 17, 5));
    SystemTime t;
    ASSERT_TRUE(FileTimeToSystemTime(ticks, t));
    ExpectTime(t, 2008, 11, 3, 17, 5, 0, 0, 1);
}

TEST(FileTimeToSystemTime, SubMillisecondTicksAreDropped) {
    const FILETIME64 base = ChronoTicks(1999, 12, 31, 23, 59, 59, 998);
    SystemTime t;
    ASSERT_TRUE(FileTimeToSystemTime(base + 9'999, t));
    EXPECT_EQ(t.wMilliseconds, 998);
    ASSERT_TRUE(FileTimeToSystemTime(base + 20'000, t));
    ExpectTime(t, 2000, 1, 1, 0, 0, 0, 0, 6);  // the year 2000 began on a Saturday
}

TEST(FileTimeToSystemTime, TopBitFailsAndLeavesOutputAlone) {
    for (FILETIME64 value : {kTopBit, kTopBit + 1, std::numeric_limits<FILETIME64>::max()}) {
        SystemTime t = Make(1234, 5, 6, 7, 8, 9, 10);
        t.wDayOfWeek = 3;
        EXPECT_FALSE(FileTimeToSystemTime(value, t));
        ExpectTime(t, 1234, 5, 6, 7, 8, 9, 10, 3);
    }
}

TEST(FileTimeToSystemTime, LastValidValueIsInYear30828) {
    SystemTime t;
    ASSERT_TRUE(FileTimeToSystemTime(kLastValid, t));
    const sys_days day = year{30828} / September / 14;
    ExpectTime(t, 30828, 9, 14, 2, 48, 5, 477, static_cast<int>(weekday{day}.c_encoding()));
    EXPECT_EQ(ChronoTicks(30828, 9, 14, 2, 48, 5, 477), kLastValid - kLastValid % 10'000);
}

TEST(FileTimeToSystemTime, EveryDayFrom1601To2600AgreesWithTheStandardCalendar) {
    const sys_days first = year{1601} / January / 1;
    const sys_days last = year{2600} / December / 31;
    int mismatches = 0;
    for (sys_days day = first; day <= last; day += days{1}) {
        const year_month_day ymd{day};
        const auto ticks = static_cast<FILETIME64>(
            duration_cast<Ticks>(day - first + hours{13} + minutes{7}).count());
        SystemTime t;
        if (!FileTimeToSystemTime(ticks, t) || t.wYear != static_cast<int>(ymd.year()) ||
            t.wMonth != static_cast<unsigned>(ymd.month()) ||
            t.wDay != static_cast<unsigned>(ymd.day()) ||
            t.wDayOfWeek != weekday{day}.c_encoding() || t.wHour != 13 || t.wMinute != 7) {
            if (++mismatches < 5) {
                ADD_FAILURE() << "day " << (day - first).count();
            }
        }
        FILETIME64 back = 0;
        if (!SystemTimeToFileTime(t, back) || back != ticks) {
            if (++mismatches < 5) {
                ADD_FAILURE() << "back from day " << (day - first).count();
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(FileTimeToSystemTime, FarDatesAgreeWithTheStandardCalendar) {
    const sys_days first = year{1601} / January / 1;
    for (sys_days day = first; day <= sys_days{year{30828} / September / 13}; day += days{10'007}) {
        const year_month_day ymd{day};
        SystemTime t;
        ASSERT_TRUE(FileTimeToSystemTime(
            static_cast<FILETIME64>(duration_cast<Ticks>(day - first).count()), t));
        EXPECT_EQ(t.wYear, static_cast<int>(ymd.year()));
        EXPECT_EQ(t.wMonth, static_cast<unsigned>(ymd.month()));
        EXPECT_EQ(t.wDay, static_cast<unsigned>(ymd.day()));
        EXPECT_EQ(t.wDayOfWeek, weekday{day}.c_encoding());
    }
}

TEST(SystemTimeToFileTime, LeapYears) {
    FILETIME64 ticks = 0;
    EXPECT_FALSE(SystemTimeToFileTime(Make(1900, 2, 29), ticks));
    EXPECT_FALSE(SystemTimeToFileTime(Make(2100, 2, 29), ticks));
    EXPECT_FALSE(SystemTimeToFileTime(Make(2023, 2, 29), ticks));
    ASSERT_TRUE(SystemTimeToFileTime(Make(2000, 2, 29), ticks));
    EXPECT_EQ(ticks, ChronoTicks(2000, 2, 29));
    ASSERT_TRUE(SystemTimeToFileTime(Make(2024, 2, 29), ticks));

    const FILETIME64 oneDay = 864'000'000'000ULL;
    SystemTime t;
    for (int y : {1900, 2000, 2100, 2400}) {
        SCOPED_TRACE(y);
        ASSERT_TRUE(SystemTimeToFileTime(Make(y, 2, 28, 12), ticks));
        ASSERT_TRUE(FileTimeToSystemTime(ticks + oneDay, t));
        const bool leap = y % 400 == 0 || (y % 4 == 0 && y % 100 != 0);
        EXPECT_EQ(t.wMonth, leap ? 2 : 3);
        EXPECT_EQ(t.wDay, leap ? 29 : 1);
        ASSERT_TRUE(SystemTimeToFileTime(Make(y, 12, 31, 12), ticks));
        FILETIME64 newYear = 0;
        ASSERT_TRUE(SystemTimeToFileTime(Make(y, 1, 1, 12), newYear));
        EXPECT_EQ((ticks - newYear) / oneDay, leap ? 365u : 364u);
    }
}

TEST(SystemTimeToFileTime, RejectsFieldsOutOfRange) {
    const SystemTime bad[] = {
        Make(1600, 12, 31),      Make(2000, 0, 1),           Make(2000, 13, 1),
        Make(2000, 1, 0),        Make(2000, 4, 31),          Make(2000, 1, 1, 24),
        Make(2000, 1, 1, 0, 60), Make(2000, 1, 1, 0, 0, 60), Make(2000, 1, 1, 0, 0, 0, 1000)};
    for (const SystemTime& t : bad) {
        FILETIME64 ticks = 42;
        EXPECT_FALSE(SystemTimeToFileTime(t, ticks))
            << t.wYear << "-" << t.wMonth << "-" << t.wDay << " " << t.wHour << ":" << t.wMinute
            << ":" << t.wSecond << "." << t.wMilliseconds;
        EXPECT_EQ(ticks, 42u);
    }
}

TEST(SystemTimeToFileTime, StopsAtTheLastTickCount) {
    FILETIME64 ticks = 0;
    ASSERT_TRUE(SystemTimeToFileTime(Make(30828, 9, 14, 2, 48, 5, 477), ticks));
    EXPECT_EQ(ticks, kLastValid - kLastValid % 10'000);
    EXPECT_FALSE(SystemTimeToFileTime(Make(30828, 9, 14, 2, 48, 5, 478), ticks));
    EXPECT_FALSE(SystemTimeToFileTime(Make(30828, 9, 15), ticks));
    EXPECT_FALSE(SystemTimeToFileTime(Make(30829, 1, 1), ticks));
}

TEST(SystemTimeToFileTime, RoundTripsRandomValuesToTheMillisecond) {
    std::mt19937_64 random(20081103);
    for (int i = 0; i < 20'000; ++i) {
        const FILETIME64 value = random() & kLastValid;
        SystemTime t;
        ASSERT_TRUE(FileTimeToSystemTime(value, t));
        FILETIME64 back = 0;
        ASSERT_TRUE(SystemTimeToFileTime(t, back)) << value;
        EXPECT_EQ(back, value - value % 10'000);
    }
}

TEST(CompareFileTime, IsUnsigned) {
    EXPECT_EQ(CompareFileTime(1, 2), -1);
    EXPECT_EQ(CompareFileTime(2, 1), 1);
    EXPECT_EQ(CompareFileTime(7, 7), 0);
    EXPECT_EQ(CompareFileTime(kTopBit, 1), 1);
    EXPECT_EQ(CompareFileTime(kLastValid, kTopBit), -1);
    EXPECT_EQ(CompareFileTime(0, std::numeric_limits<FILETIME64>::max()), -1);
}

class CurrentDateTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* current = std::setlocale(LC_TIME, nullptr);
        m_savedLocale = current ? current : "C";
        std::setlocale(LC_TIME, "C");
    }
    void TearDown() override {
        SetLocalClock({});
        std::setlocale(LC_TIME, m_savedLocale.c_str());
    }

private:
    std::string m_savedLocale;
};

TEST_F(CurrentDateTest, InjectedClockInTheCLocale) {
    SystemTime now = Make(2008, 11, 3, 17, 5);
    now.wDayOfWeek = 5;  // wrong on purpose: the name follows from the date
    SetLocalClock([now] { return now; });
    EXPECT_EQ(GetLocalTime().wYear, 2008);
    EXPECT_EQ(FormatCurrentDate(), u"Monday, 2008-11-03");

    SetLocalClock([] { return Make(2000, 1, 2); });
    EXPECT_EQ(FormatCurrentDate(), u"Sunday, 2000-01-02");
    SetLocalClock([] { return Make(2024, 2, 29, 23, 59); });
    EXPECT_EQ(FormatCurrentDate(), u"Thursday, 2024-02-29");
}

TEST_F(CurrentDateTest, DayNameFollowsTheProcessLocale) {
    struct Candidate {
        const char* locale;
        std::u16string monday;
    };
    // The Latin-1 one shows that the name does not depend on the locale's byte encoding.
    const Candidate candidates[] = {
        {"de_DE.UTF-8", u"Montag"},
        {"de_DE.ISO-8859-1", u"Montag"},
        {"fr_FR.UTF-8", u"lundi"},
        {"ru_RU.UTF-8", u"\u041F\u043E\u043D\u0435\u0434\u0435\u043B\u044C\u043D\u0438\u043A"}};
    SetLocalClock([] { return Make(2008, 11, 3); });
    int tried = 0;
    for (const Candidate& c : candidates) {
        if (std::setlocale(LC_TIME, c.locale) != nullptr) {
            ++tried;
            EXPECT_EQ(FormatCurrentDate(), c.monday + u", 2008-11-03") << c.locale;
        }
    }
    if (tried == 0) {
        GTEST_SKIP() << "no German, French or Russian locale installed";
    }
}

TEST_F(CurrentDateTest, RestoredClockIsTheSystemClock) {
    SetLocalClock([] { return Make(1700, 1, 1); });
    SetLocalClock({});
    const SystemTime now = GetLocalTime();
    FILETIME64 local = 0;
    ASSERT_TRUE(SystemTimeToFileTime(now, local));
    // Local time is within a day of UTC in every time zone.
    const FILETIME64 utc =
        static_cast<FILETIME64>(duration_cast<Ticks>(time_point_cast<seconds>(system_clock::now()) -
                                                     sys_days{year{1601} / January / 1})
                                    .count());
    const FILETIME64 distance = local > utc ? local - utc : utc - local;
    EXPECT_LT(distance, 864'000'000'000ULL);
}

}  // namespace
