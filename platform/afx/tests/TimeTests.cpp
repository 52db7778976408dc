#include "afx.h"

#include <gtest/gtest.h>

TEST(TimeSpan, PartsAndFormats)
{
    struct Case {
        __time64_t seconds;
        LONGLONG days;
        LONG hours;
        LONG minutes;
        LONG secondsPart;
        const wchar_t* format;
        const wchar_t* text;
    } cases[] = {
        {0, 0, 0, 0, 0, L"%H:%M:%S", L"00:00:00"},
        {59 * 60 + 59, 0, 0, 59, 59, L"%M:%S", L"59:59"},
        {61 * 60, 0, 1, 1, 0, L"%H:%M:%S", L"01:01:00"},
        {2 * 3600 + 5, 0, 2, 0, 5, L"%H:%M:%S", L"02:00:05"},
        {86400 + 3 * 3600 + 7, 1, 3, 0, 7, L"%H:%M:%S", L"03:00:07"},  // hours within the day
        {86400 + 3 * 3600 + 7, 1, 3, 0, 7, L"%D days %H:%M", L"1 days 03:00"},
        {998, 0, 0, 16, 38, L"%M:%S 100%%", L"16:38 100%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        const CTimeSpan span(c.seconds);
        EXPECT_EQ(c.days, span.GetDays());
        EXPECT_EQ(c.hours, span.GetHours());
        EXPECT_EQ(c.minutes, span.GetMinutes());
        EXPECT_EQ(c.secondsPart, span.GetSeconds());
        EXPECT_EQ(c.seconds, span.GetTotalSeconds());
        EXPECT_EQ(CString(c.text), span.Format(c.format));
    }
    EXPECT_EQ(CTimeSpan(2 * 86400 + 3 * 3600 + 4 * 60 + 5), CTimeSpan(2, 3, 4, 5));
    EXPECT_EQ(CTimeSpan(60), CTimeSpan(90) - CTimeSpan(30));
}

TEST(Time, LocalPartsRoundTrip)
{
    const CTime time(2024, 2, 29, 13, 45, 10);
    ASSERT_GT(time.GetTime(), 0);
    EXPECT_EQ(2024, time.GetYear());
    EXPECT_EQ(2, time.GetMonth());
    EXPECT_EQ(29, time.GetDay());
    EXPECT_EQ(13, time.GetHour());
    EXPECT_EQ(45, time.GetMinute());
    EXPECT_EQ(10, time.GetSecond());
    EXPECT_EQ(5, time.GetDayOfWeek());  // a Thursday
    EXPECT_EQ(CString(L"2024-02-29 13:45:10"), time.Format(L"%Y-%m-%d %H:%M:%S"));

    SYSTEMTIME st;
    ASSERT_TRUE(time.GetAsSystemTime(st));
    EXPECT_EQ(time, CTime(st));

    const CTime later = time + CTimeSpan(0, 1, 15, 0);
    EXPECT_EQ(CString(L"15:00"), later.Format(L"%H:%M"));
    EXPECT_EQ(CString(L"01:15:00"), (later - time).Format(L"%H:%M:%S"));
    EXPECT_LT(time, later);
}

TEST(Time, EpochCurrentTimeAndInvalidTimes)
{
    EXPECT_EQ(CString(L"1970-01-01 00:00:00"), CTime(0).FormatGmt(L"%Y-%m-%d %H:%M:%S"));
    const __time64_t before = _time64(nullptr);
    const CTime now = CTime::GetCurrentTime();
    EXPECT_GE(now.GetTime(), before);
    EXPECT_LE(now.GetTime(), before + 5);
    const CTime invalid(-1);
    EXPECT_EQ(CString(), invalid.Format(L"%H:%M:%S"));
    EXPECT_EQ(0, invalid.GetYear());
    SYSTEMTIME st;
    EXPECT_FALSE(invalid.GetAsSystemTime(st));
    EXPECT_EQ(CString(), now.Format(L""));
}
