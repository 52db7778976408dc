#include "COleDateTime.h"

#include "CArchive.h"

#include <cmath>
#include <cwchar>

namespace {

// Automation dates run from year 100 to 9999.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958465.99999;
constexpr long kEpochShift = 693899;  // from the 0000-03-01 era origin to 1899-12-30

// A DATE's fraction counts forward from midnight even for negative dates (-1.25 is
// 29 December 1899, 06:00); arithmetic is done on a continuous day number instead.
double ToContinuous(double date)
{
    if (date >= 0)
        return date;
    const double whole = std::ceil(date);
    return whole + (whole - date);
}

double FromContinuous(double days)
{
    if (days >= 0)
        return days;
    const double whole = std::floor(days);
    const double fraction = days - whole;
    return whole - fraction;
}

// Days since 1899-12-30 of a civil date (proleptic Gregorian).
long DaysFromCivil(long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - kEpochShift;
}

void CivilFromDays(long z, int& y, int& m, int& d)
{
    z += kEpochShift;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long yy = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

bool Split(double date, SYSTEMTIME& st)
{
    if (!(date >= kMinDate && date <= kMaxDate))
        return false;
    // Round to the nearest second first so 23:59:59.9999 does not read as 23:59:59.
    double continuous = ToContinuous(date);
    double seconds = std::floor(continuous * 86400.0 + 0.5);
    long days = static_cast<long>(std::floor(seconds / 86400.0));
    long secondOfDay = static_cast<long>(seconds - static_cast<double>(days) * 86400.0);
    int y, m, d;
    CivilFromDays(days, y, m, d);
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(m);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(secondOfDay / 3600);
    st.wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
    st.wSecond = static_cast<WORD>(secondOfDay % 60);
    st.wMilliseconds = 0;
    // 1899-12-30 was a Saturday (6).
    st.wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 6) % 7);
    return true;
}

}  // namespace

COleDateTime::COleDateTime(int year, int month, int day, int hour, int minute, int second)
{
    SetDateTime(year, month, day, hour, minute, second);
}

COleDateTime::COleDateTime(const SYSTEMTIME& st)
{
    SetDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

COleDateTime::COleDateTime(const FILETIME& ft)
{
    SYSTEMTIME st;
    if (FileTimeToSystemTime(&ft, &st))
        SetDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
    else
        m_status = invalid;
}

COleDateTime::COleDateTime(__time64_t t)
{
    struct tm local;
    if (_localtime64_s(&local, &t) != 0) {
        m_status = invalid;
        return;
    }
    SetDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

COleDateTime COleDateTime::GetCurrentTime()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    return COleDateTime(st);
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second)
{
    static const int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > kDaysInMonth[month - 1] + (month == 2 && leap ? 1 : 0) || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59) {
        m_dt = 0;
        m_status = invalid;
        return 1;
    }
    const double days = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)));
    const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
    m_dt = FromContinuous(days + time);
    m_status = valid;
    return 0;
}

bool COleDateTime::GetAsSystemTime(SYSTEMTIME& st) const { return m_status == valid && Split(m_dt, st); }

#define DATE_PART(name, field)                  \
    int COleDateTime::name() const              \
    {                                           \
        SYSTEMTIME st;                          \
        return GetAsSystemTime(st) ? st.field : -1; \
    }
DATE_PART(GetYear, wYear)
DATE_PART(GetMonth, wMonth)
DATE_PART(GetDay, wDay)
DATE_PART(GetHour, wHour)
DATE_PART(GetMinute, wMinute)
DATE_PART(GetSecond, wSecond)
#undef DATE_PART

int COleDateTime::GetDayOfWeek() const
{
    SYSTEMTIME st;
    return GetAsSystemTime(st) ? st.wDayOfWeek + 1 : -1;
}

CString COleDateTime::Format(const wchar_t* format) const
{
    SYSTEMTIME st;
    if (!format || !GetAsSystemTime(st))
        return CString();
    struct tm t = {};
    t.tm_year = st.wYear - 1900;
    t.tm_mon = st.wMonth - 1;
    t.tm_mday = st.wDay;
    t.tm_hour = st.wHour;
    t.tm_min = st.wMinute;
    t.tm_sec = st.wSecond;
    t.tm_wday = st.wDayOfWeek;
    t.tm_isdst = -1;
    wchar_t buffer[512];
    const size_t n = wcsftime(buffer, 512, format, &t);
    return CString(buffer, static_cast<int>(n));
}

CString COleDateTime::Format() const
{
    SYSTEMTIME st;
    if (!GetAsSystemTime(st))
        return CString();
    wchar_t date[128] = {}, time[128] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 128);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 128);
    CString text(date);
    text += L' ';
    text += time;
    return text;
}

COleDateTime COleDateTime::operator+(const COleDateTimeSpan& span) const
{
    COleDateTime result;
    if (m_status != valid) {
        result.m_status = m_status;
        return result;
    }
    result.m_dt = FromContinuous(ToContinuous(m_dt) + span.m_span);
    result.m_status = (result.m_dt >= kMinDate && result.m_dt <= kMaxDate) ? valid : invalid;
    return result;
}

COleDateTime COleDateTime::operator-(const COleDateTimeSpan& span) const { return *this + (-span); }

COleDateTimeSpan COleDateTime::operator-(const COleDateTime& other) const
{
    COleDateTimeSpan span(ToContinuous(m_dt) - ToContinuous(other.m_dt));
    if (m_status != valid || other.m_status != valid)
        span.m_status = COleDateTimeSpan::invalid;
    return span;
}

bool COleDateTime::operator<(const COleDateTime& o) const { return ToContinuous(m_dt) < ToContinuous(o.m_dt); }

CArchive& operator<<(CArchive& ar, const COleDateTime& date)
{
    ar << static_cast<LONG>(date.m_status);
    ar << date.m_dt;
    return ar;
}

CArchive& operator>>(CArchive& ar, COleDateTime& date)
{
    LONG status;
    ar >> status;
    ar >> date.m_dt;
    date.m_status = (status >= COleDateTime::valid && status <= COleDateTime::null)
                        ? static_cast<COleDateTime::DateTimeStatus>(status)
                        : COleDateTime::invalid;
    return ar;
}

COleDateTimeSpan AfxLocalTimeBias()
{
    SYSTEMTIME utc, local;
    GetSystemTime(&utc);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return COleDateTimeSpan();
    COleDateTime u(utc), l(local);
    // Round to whole minutes: both readings come from the same instant.
    const double minutes = std::floor((l - u).GetTotalMinutes() + 0.5);
    return COleDateTimeSpan(minutes / 1440.0);
}
