#include "ResumePoints.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

CString FormatPositionText(double seconds)
{
    if (!std::isfinite(seconds) || seconds == 0.0)
        return L"0.";
    // Four significant digits, halves rounded up on the decimal digits (C run-times differ
    // in how they round an exact half and in the exponent's width).
    char text[64];
    std::snprintf(text, sizeof text, "%.17e", std::fabs(seconds));
    const char* e = std::strchr(text, 'e');
    int exponent = e ? std::atoi(e + 1) : 0;
    int digits = (text[0] - '0') * 1000 + (text[2] - '0') * 100 + (text[3] - '0') * 10 + (text[4] - '0');
    if (text[5] >= '5')
        ++digits;
    if (digits == 10000) {
        digits = 1000;
        ++exponent;
    }
    std::string result = seconds < 0 ? "-" : "";
    std::string mantissa = std::to_string(digits);  // four digits, the point after the first
    if (exponent < -4 || exponent >= 4) {
        while (mantissa.size() > 1 && mantissa.back() == '0')
            mantissa.pop_back();
        char tail[16];
        std::snprintf(tail, sizeof tail, "e%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
        result += mantissa.substr(0, 1) + "." + mantissa.substr(1) + tail;
    } else {
        // The point goes after digit exponent + 1; small values get leading zeros.
        std::string whole, fraction;
        if (exponent >= 0) {
            whole = mantissa.substr(0, static_cast<size_t>(exponent) + 1);
            fraction = mantissa.substr(static_cast<size_t>(exponent) + 1);
        } else {
            whole = "0";
            fraction = std::string(static_cast<size_t>(-exponent - 1), '0') + mantissa;
        }
        while (!fraction.empty() && fraction.back() == '0')
            fraction.pop_back();
        result += whole + "." + fraction;
    }
    return CString(result.c_str());
}

ResumePoint ParseResumePoint(const CString& text)
{
    ResumePoint point;
    const int bar = text.Find(L'|');
    if (bar < 0)
        return point;
    point.part = _wtoi(text.Left(bar));
    point.seconds = wcstod(text.Mid(bar + 1), nullptr);
    return point;
}

int RoundPosition(double seconds)
{
    return static_cast<int>(std::floor(seconds + 0.5));
}

CString BookmarkTimeText(int seconds)
{
    seconds = std::max(seconds, 0);
    CString text;
    text.Format(L"%.2d:%.2d:%.2d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

CString ShortTimeText(const CString& timeText)
{
    return timeText.Left(3) == L"00:" ? timeText.Mid(3) : timeText;
}

namespace {

CString FormatPoint(int part, double seconds)
{
    CString text;
    text.Format(L"%d|%s", part, static_cast<const wchar_t*>(FormatPositionText(seconds)));
    return text;
}

ResumePoint LoadPoint(const wchar_t* section, const CString& id)
{
    CWinApp* app = AfxGetApp();
    return app ? ParseResumePoint(app->GetProfileString(section, id, L"")) : ResumePoint{};
}

bool Writable(const CString& id, int part, double seconds)
{
    return AfxGetApp() && !id.IsEmpty() && part >= 1 && std::isfinite(seconds) && seconds > 0.0;
}

}  // namespace

void SaveRecentlyPlayed(const CString& id, int part, double seconds)
{
    if (Writable(id, part, seconds))
        AfxGetApp()->WriteProfileString(kRecentlyPlayedSection, id, FormatPoint(part, seconds));
}

void SaveFurthestPlayed(const CString& id, int part, double seconds)
{
    if (!Writable(id, part, seconds))
        return;
    SaveRecentlyPlayed(id, part, seconds);
    const ResumePoint furthest = LoadFurthestPlayed(id);
    if (furthest.part < part || (furthest.part == part && furthest.seconds <= seconds))
        AfxGetApp()->WriteProfileString(kFurthestPlayedSection, id, FormatPoint(part, seconds));
}

ResumePoint LoadRecentlyPlayed(const CString& id) { return LoadPoint(kRecentlyPlayedSection, id); }
ResumePoint LoadFurthestPlayed(const CString& id) { return LoadPoint(kFurthestPlayedSection, id); }

void ClearResumePoints(const CString& id)
{
    CWinApp* app = AfxGetApp();
    if (!app || id.IsEmpty())
        return;
    app->DeleteProfileValue(kRecentlyPlayedSection, id);
    app->DeleteProfileValue(kFurthestPlayedSection, id);
}

CString BookmarkSectionName(const CString& id)
{
    return L"Bookmarks\\" + id;
}

CString BookmarkValueName(int part, const CString& timeText)
{
    CString name;
    name.Format(L"%.2d|%s", part, static_cast<const wchar_t*>(timeText));
    return name;
}

bool SplitBookmarkEntry(const CString& entry, BookmarkEntry& bookmark)
{
    const int first = entry.Find(L'|');
    const int second = first < 0 ? -1 : entry.Find(L'|', first + 1);
    if (second < 0)
        return false;
    bookmark.part = _wtoi(entry.Left(first));
    bookmark.timeText = entry.Mid(first + 1, second - first - 1);
    bookmark.name = entry.Mid(second + 1);
    return true;
}

CStringArray ReadBookmarks(const CString& id)
{
    CStringArray entries;
    CWinApp* app = AfxGetApp();
    if (!app || id.IsEmpty())
        return entries;
    CRegistryKey appKey(app->GetAppRegistryKey());
    CRegistryKey section;
    if (!appKey || section.Open(appKey, BookmarkSectionName(id), KEY_READ) != ERROR_SUCCESS)
        return entries;
    DWORD count = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(section, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return entries;
    // The lengths leave out the terminators: room for them besides.
    std::vector<wchar_t> name(longestName + 1);
    std::vector<wchar_t> data(longestData / sizeof(wchar_t) + 2);
    std::vector<CString> found;
    for (DWORD i = 0; i < count; ++i) {
        DWORD nameChars = static_cast<DWORD>(name.size());
        DWORD dataBytes = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
        DWORD type = 0;
        if (RegEnumValueW(section, i, name.data(), &nameChars, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                          &dataBytes) != ERROR_SUCCESS ||
            type != REG_SZ)
            continue;
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        const CString valueName(name.data());
        if (valueName.Find(L'|') < 0)
            continue;
        found.push_back(valueName + L"|" + data.data());
    }
    std::sort(found.begin(), found.end(), [](const CString& a, const CString& b) { return a.CompareNoCase(b) < 0; });
    for (const CString& entry : found)
        entries.Add(entry);
    return entries;
}

BookmarkAddCheck CheckNewBookmark(const CString& id, int part, const CString& timeText)
{
    if (ReadBookmarks(id).GetSize() >= kMaxBookmarks)
        return BookmarkAddCheck::TooMany;
    CWinApp* app = AfxGetApp();
    if (app && !app->GetProfileString(BookmarkSectionName(id), BookmarkValueName(part, timeText), L"").IsEmpty())
        return BookmarkAddCheck::Exists;
    return BookmarkAddCheck::Ok;
}

BOOL WriteBookmark(const CString& id, int part, const CString& timeText, const CString& name)
{
    CWinApp* app = AfxGetApp();
    if (!app || id.IsEmpty() || name.IsEmpty())
        return FALSE;
    return app->WriteProfileString(BookmarkSectionName(id), BookmarkValueName(part, timeText),
                                   name.Left(kMaxBookmarkName));
}

BOOL DeleteBookmark(const CString& id, int part, const CString& timeText)
{
    CWinApp* app = AfxGetApp();
    return app && !id.IsEmpty() && app->DeleteProfileValue(BookmarkSectionName(id), BookmarkValueName(part, timeText));
}

SkipAction DecideSkip(const ResumePoint& stored, int currentPart, int position)
{
    if (stored.part > currentPart)
        return SkipAction::GoToPart;
    if (stored.part == currentPart && stored.seconds > position)
        return SkipAction::Seek;
    return SkipAction::None;
}

bool IsBeyondStart(const ResumePoint& point)
{
    return point.part >= 2 || point.seconds > 0.0;
}

bool CanSkipToFurthest(const ResumePoint& furthest, bool busy, int currentPart, int position)
{
    if (furthest.part <= 1 && furthest.seconds <= 0.0)
        return false;
    if (busy && (furthest.part < currentPart || (furthest.part == currentPart && position > furthest.seconds)))
        return false;
    return true;
}

CString SkipMenuText(const CString& entryText, const ResumePoint& point)
{
    CString text;
    text.Format(L"%s - Part %d (%s)", static_cast<const wchar_t*>(entryText), point.part,
                static_cast<const wchar_t*>(BookmarkTimeText(static_cast<int>(point.seconds))));
    return text;
}
