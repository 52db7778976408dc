// COleDateTime: a date and time as the automation DATE (days since 30 December 1899,
// the fraction being the time of day) with a validity status; COleDateTimeSpan.
#pragma once

#include "CString.h"

#include <ctime>

class CArchive;

class COleDateTimeSpan {
public:
    enum DateTimeSpanStatus { valid = 0, invalid = 1, null = 2 };
    COleDateTimeSpan() = default;
    explicit COleDateTimeSpan(double days) : m_span(days) {}
    COleDateTimeSpan(LONG days, int hours, int minutes, int seconds)
        : m_span(days + hours / 24.0 + minutes / 1440.0 + seconds / 86400.0)
    {
    }
    double GetTotalDays() const { return m_span; }
    double GetTotalHours() const { return m_span * 24; }
    double GetTotalMinutes() const { return m_span * 1440; }
    double GetTotalSeconds() const { return m_span * 86400; }
    LONG GetDays() const { return static_cast<LONG>(m_span); }
    COleDateTimeSpan operator-() const { return COleDateTimeSpan(-m_span); }

    double m_span = 0;
    DateTimeSpanStatus m_status = valid;
};

class COleDateTime {
public:
    enum DateTimeStatus { error = -1, valid = 0, invalid = 1, null = 2 };

    COleDateTime() = default;
    explicit COleDateTime(double date) : m_dt(date) {}
    COleDateTime(int year, int month, int day, int hour, int minute, int second);
    explicit COleDateTime(const SYSTEMTIME& st);
    explicit COleDateTime(const FILETIME& ft);  // UTC file time, kept as given
    explicit COleDateTime(__time64_t t);        // converted to local time

    static COleDateTime GetCurrentTime();  // local time

    DateTimeStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeStatus status) { m_status = status; }
    int SetDateTime(int year, int month, int day, int hour, int minute, int second);
    int SetDate(int year, int month, int day) { return SetDateTime(year, month, day, 0, 0, 0); }
    bool GetAsSystemTime(SYSTEMTIME& st) const;

    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const;  // 1 = Sunday

    // strftime-style format ("%Y-%m-%dT%H:%M:%SZ"); empty for a date that is not valid.
    CString Format(const wchar_t* format) const;
    // Short date and time in the user's locale.
    CString Format() const;

    COleDateTime operator+(const COleDateTimeSpan& span) const;
    COleDateTime operator-(const COleDateTimeSpan& span) const;
    COleDateTimeSpan operator-(const COleDateTime& other) const;
    COleDateTime& operator+=(const COleDateTimeSpan& span) { return *this = *this + span; }
    COleDateTime& operator-=(const COleDateTimeSpan& span) { return *this = *this - span; }
    bool operator==(const COleDateTime& o) const { return m_status == o.m_status && m_dt == o.m_dt; }
    bool operator!=(const COleDateTime& o) const { return !(*this == o); }
    bool operator<(const COleDateTime& o) const;
    bool operator>(const COleDateTime& o) const { return o < *this; }

    // Archive form: the status as a 32-bit integer, then the DATE as a double.
    friend CArchive& operator<<(CArchive& ar, const COleDateTime& date);
    friend CArchive& operator>>(CArchive& ar, COleDateTime& date);

    double m_dt = 0;
    DateTimeStatus m_status = valid;
};

// The current difference between local time and UTC (local minus UTC).
COleDateTimeSpan AfxLocalTimeBias();
