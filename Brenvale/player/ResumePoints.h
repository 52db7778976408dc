// The player's memory per title, in the console's registry profile: the most recently
// played and the furthest played point ("Recently Played", "Furthest Played": "%d|%s",
// the 1-based part and the position text) and up to 20 named bookmarks in "Bookmarks\<id>"
// (value "%.2d|hh:mm:ss", data the name).
//
//     SaveFurthestPlayed(id, part + 1, position);   // also the most recent point
//     ResumePoint recent = LoadRecentlyPlayed(id);
//     ClearResumePoints(id);                        // the last part has played to its end
#pragma once

#include "afx.h"

constexpr const wchar_t* kRecentlyPlayedSection = L"Recently Played";
constexpr const wchar_t* kFurthestPlayedSection = L"Furthest Played";
constexpr int kMaxBookmarks = 20;
constexpr int kMaxBookmarkName = 100;

// A stored point: the 1-based part and the position in seconds.
struct ResumePoint {
    int part = 1;
    double seconds = 0.0;
};

// The position text: 4 significant digits; whole numbers keep a trailing point ("1234."),
// from 10000 seconds on the exponent form with three digits ("1.235e+004"). The same text
// on every C run-time; wcstod reads both forms back.
CString FormatPositionText(double seconds);
// "%d|%s" read back: a missing value, or one without "|", is part 1 at 0 seconds.
ResumePoint ParseResumePoint(const CString& text);
// Whole seconds of a position, halves rounded up; a negative position stays negative.
int RoundPosition(double seconds);
// "hh:mm:ss" of whole seconds, each field at least two digits.
CString BookmarkTimeText(int seconds);
// The time text as the lists and menus show it: a leading "00:" removed.
CString ShortTimeText(const CString& timeText);

// Writes the most recent point. Nothing is written for part < 1 or a position that is not
// beyond the start (a failed position read gives -1 and must not lose the stored point).
void SaveRecentlyPlayed(const CString& id, int part, double seconds);
// Writes the most recent point and, when it is not behind the stored one, the furthest.
void SaveFurthestPlayed(const CString& id, int part, double seconds);
ResumePoint LoadRecentlyPlayed(const CString& id);
ResumePoint LoadFurthestPlayed(const CString& id);
// Deletes both points of the title.
void ClearResumePoints(const CString& id);

// "Bookmarks\<id>" and "%.2d|<time text>".
CString BookmarkSectionName(const CString& id);
CString BookmarkValueName(int part, const CString& timeText);

// One bookmark entry "part|time|name" split at its first two "|" (a name may hold "|").
struct BookmarkEntry {
    int part = 0;
    CString timeText;
    CString name;
};
bool SplitBookmarkEntry(const CString& entry, BookmarkEntry& bookmark);

// The title's bookmarks as "value name|name", sorted without regard to case.
CStringArray ReadBookmarks(const CString& id);

// Whether a new bookmark may go at this point: the limit (message 4062) and a bookmark
// already at the same part and second (4061).
enum class BookmarkAddCheck { Ok, TooMany, Exists };
BookmarkAddCheck CheckNewBookmark(const CString& id, int part, const CString& timeText);
BOOL WriteBookmark(const CString& id, int part, const CString& timeText, const CString& name);
BOOL DeleteBookmark(const CString& id, int part, const CString& timeText);

// What skipping to a stored point does from the current place (1-based part, position in
// whole seconds): a later part is loaded first (the seek follows once it plays), a later
// second of the current part is sought, a point behind the current place is not taken.
enum class SkipAction { None, GoToPart, Seek };
SkipAction DecideSkip(const ResumePoint& stored, int currentPart, int position);
// Whether the Skip To menu offers the furthest point: not at the start, and while playing
// not behind the current place.
bool CanSkipToFurthest(const ResumePoint& furthest, bool busy, int currentPart, int position);
// A stored point beyond the start shows where it is: "<entry> - Part %d (hh:mm:ss)".
bool IsBeyondStart(const ResumePoint& point);
CString SkipMenuText(const CString& entryText, const ResumePoint& point);
