// CTime: a calendar time in whole seconds since 1 January 1970 UTC; CTimeSpan: a signed
// number of seconds between two times.
#pragma once

#include "CString.h"

#include <ctime>

class CTimeSpan {
public:
    CTimeSpan() = default;
    CTimeSpan(__time64_t seconds) : m_span(seconds) {}
    CTimeSpan(LONG days, int hours, int minutes, int seconds)
        : m_span(((static_cast<__time64_t>(days) * 24 + hours) * 60 + minutes) * 60 + seconds)
    {
    }

    LONGLONG GetDays() const { return m_span / 86400; }
    LONG GetHours() const { return static_cast<LONG>(GetTotalHours() - GetDays() * 24); }  // hour within the day
    LONG GetMinutes() const { return static_cast<LONG>(GetTotalMinutes() - GetTotalHours() * 60); }
    LONG GetSeconds() const { return static_cast<LONG>(m_span - GetTotalMinutes() * 60); }
    LONGLONG GetTotalHours() const { return m_span / 3600; }
    LONGLONG GetTotalMinutes() const { return m_span / 60; }
    LONGLONG GetTotalSeconds() const { return m_span; }
    __time64_t GetTimeSpan() const { return m_span; }

    // "%D" days, "%H" hour within the day, "%M" minutes, "%S" seconds (two digits each),
    // "%%" a percent sign; other characters are copied.
    CString Format(const wchar_t* format) const;

    CTimeSpan operator+(CTimeSpan other) const { return CTimeSpan(m_span + other.m_span); }
    CTimeSpan operator-(CTimeSpan other) const { return CTimeSpan(m_span - other.m_span); }
    CTimeSpan& operator+=(CTimeSpan other) { m_span += other.m_span; return *this; }
    CTimeSpan& operator-=(CTimeSpan other) { m_span -= other.m_span; return *this; }
    bool operator==(CTimeSpan other) const { return m_span == other.m_span; }
    bool operator!=(CTimeSpan other) const { return m_span != other.m_span; }
    bool operator<(CTimeSpan other) const { return m_span < other.m_span; }
    bool operator>(CTimeSpan other) const { return m_span > other.m_span; }
    bool operator<=(CTimeSpan other) const { return m_span <= other.m_span; }
    bool operator>=(CTimeSpan other) const { return m_span >= other.m_span; }

private:
    __time64_t m_span = 0;
};

class CTime {
public:
    CTime() = default;
    CTime(__time64_t time) : m_time(time) {}
    // A local date and time. A date the C library cannot represent gives the time -1, which
    // Format turns into an empty text.
    CTime(int year, int month, int day, int hour, int minute, int second, int daylightSaving = -1);
    explicit CTime(const SYSTEMTIME& localTime, int daylightSaving = -1);

    static CTime GetCurrentTime() { return CTime(_time64(nullptr)); }

    __time64_t GetTime() const { return m_time; }
    // Parts of the local time (0 when the time cannot be converted).
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const;  // 1 = Sunday
    bool GetAsSystemTime(SYSTEMTIME& localTime) const;

    // strftime-style formats of the local time and of UTC; empty when the time cannot be converted.
    CString Format(const wchar_t* format) const;
    CString FormatGmt(const wchar_t* format) const;

    CTimeSpan operator-(CTime other) const { return CTimeSpan(m_time - other.m_time); }
    CTime operator+(CTimeSpan span) const { return CTime(m_time + span.GetTimeSpan()); }
    CTime operator-(CTimeSpan span) const { return CTime(m_time - span.GetTimeSpan()); }
    CTime& operator+=(CTimeSpan span) { m_time += span.GetTimeSpan(); return *this; }
    CTime& operator-=(CTimeSpan span) { m_time -= span.GetTimeSpan(); return *this; }
    bool operator==(CTime other) const { return m_time == other.m_time; }
    bool operator!=(CTime other) const { return m_time != other.m_time; }
    bool operator<(CTime other) const { return m_time < other.m_time; }
    bool operator>(CTime other) const { return m_time > other.m_time; }
    bool operator<=(CTime other) const { return m_time <= other.m_time; }
    bool operator>=(CTime other) const { return m_time >= other.m_time; }

private:
    bool LocalParts(struct tm& parts) const;
    __time64_t m_time = 0;
};
