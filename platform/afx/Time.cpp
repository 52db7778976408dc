#include "Time.h"

#include <cwchar>

CString CTimeSpan::Format(const wchar_t* format) const
{
    CString text;
    if (!format)
        return text;
    for (const wchar_t* p = format; *p; ++p) {
        if (*p != L'%' || !p[1]) {
            text += *p;
            continue;
        }
        ++p;
        switch (*p) {
        case L'D':
            text.AppendFormat(L"%lld", static_cast<long long>(GetDays()));
            break;
        case L'H':
            text.AppendFormat(L"%02ld", static_cast<long>(GetHours()));
            break;
        case L'M':
            text.AppendFormat(L"%02ld", static_cast<long>(GetMinutes()));
            break;
        case L'S':
            text.AppendFormat(L"%02ld", static_cast<long>(GetSeconds()));
            break;
        case L'%':
            text += L'%';
            break;
        default:
            text += L'%';
            text += *p;
            break;
        }
    }
    return text;
}

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int daylightSaving)
{
    struct tm parts = {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = daylightSaving;
    m_time = _mktime64(&parts);
}

CTime::CTime(const SYSTEMTIME& localTime, int daylightSaving)
    : CTime(localTime.wYear, localTime.wMonth, localTime.wDay, localTime.wHour, localTime.wMinute, localTime.wSecond,
            daylightSaving)
{
}

bool CTime::LocalParts(struct tm& parts) const
{
    return m_time >= 0 && _localtime64_s(&parts, &m_time) == 0;
}

int CTime::GetYear() const
{
    struct tm parts;
    return LocalParts(parts) ? parts.tm_year + 1900 : 0;
}

int CTime::GetMonth() const
{
    struct tm parts;
    return LocalParts(parts) ? parts.tm_mon + 1 : 0;
}

int CTime::GetDay() const
{
    struct tm parts;
    return LocalParts(parts) ? parts.tm_mday : 0;
}

int CTime::GetHour() const
{
    struct tm parts;
    return LocalParts(parts) ? parts.tm_hour : 0;
}

int CTime::GetMinute() const
{
    struct tm parts;
    return LocalParts(parts) ? parts.tm_min : 0;
}

int CTime::GetSecond() const
{
    struct tm parts;
    return LocalParts(parts) ? parts.tm_sec : 0;
}

int CTime::GetDayOfWeek() const
{
    struct tm parts;
    return LocalParts(parts) ? parts.tm_wday + 1 : 0;
}

bool CTime::GetAsSystemTime(SYSTEMTIME& localTime) const
{
    struct tm parts;
    if (!LocalParts(parts))
        return false;
    localTime = SYSTEMTIME{};
    localTime.wYear = static_cast<WORD>(parts.tm_year + 1900);
    localTime.wMonth = static_cast<WORD>(parts.tm_mon + 1);
    localTime.wDay = static_cast<WORD>(parts.tm_mday);
    localTime.wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    localTime.wHour = static_cast<WORD>(parts.tm_hour);
    localTime.wMinute = static_cast<WORD>(parts.tm_min);
    localTime.wSecond = static_cast<WORD>(parts.tm_sec);
    return true;
}

namespace {

CString FormatParts(const wchar_t* format, const struct tm& parts)
{
    if (!format || !*format)
        return CString();
    wchar_t buffer[512];
    const size_t n = wcsftime(buffer, 512, format, &parts);
    return CString(buffer, static_cast<int>(n));
}

}  // namespace

CString CTime::Format(const wchar_t* format) const
{
    struct tm parts;
    return LocalParts(parts) ? FormatParts(format, parts) : CString();
}

CString CTime::FormatGmt(const wchar_t* format) const
{
    struct tm parts;
    if (m_time < 0 || _gmtime64_s(&parts, &m_time) != 0)
        return CString();
    return FormatParts(format, parts);
}
