#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(COleDateTimeTest, CivilDatesMapToAutomationDays)
{
    struct Case {
        int y, mo, d, h, mi, s;
        double date;
    } cases[] = {
        {1899, 12, 30, 0, 0, 0, 0.0},
        {1900, 1, 1, 0, 0, 0, 2.0},
        {1899, 12, 29, 6, 0, 0, -1.25},
        {2000, 2, 29, 12, 0, 0, 36585.5},
        {2026, 12, 10, 18, 0, 0, 46366.75},
    };
    for (const Case& c : cases) {
        COleDateTime t(c.y, c.mo, c.d, c.h, c.mi, c.s);
        ASSERT_EQ(t.GetStatus(), COleDateTime::valid);
        EXPECT_DOUBLE_EQ(t.m_dt, c.date) << c.y << "-" << c.mo << "-" << c.d;
        EXPECT_EQ(t.GetYear(), c.y);
        EXPECT_EQ(t.GetMonth(), c.mo);
        EXPECT_EQ(t.GetDay(), c.d);
        EXPECT_EQ(t.GetHour(), c.h);
    }
    EXPECT_EQ(COleDateTime(2023, 2, 29, 0, 0, 0).GetStatus(), COleDateTime::invalid);
}

TEST(COleDateTimeTest, ArithmeticAcrossTheEpochAndFormatting)
{
    COleDateTime t(1899, 12, 30, 3, 0, 0);
    COleDateTime earlier = t - COleDateTimeSpan(0, 6, 0, 0);
    EXPECT_EQ(earlier.Format(L"%Y-%m-%dT%H:%M:%SZ"), L"1899-12-29T21:00:00Z");
    EXPECT_NEAR((t - earlier).GetTotalHours(), 6.0, 1e-9);
    COleDateTime null;
    null.SetStatus(COleDateTime::null);
    EXPECT_EQ(null.Format(L"%Y"), L"");
}
