// The player's resume points and bookmarks against Wine's real registry, under the
// console's key: the position text on every C run-time, the furthest-point rule, a failed
// position read that keeps the stored points, and the bookmark limit, duplicates and order.
#include "ResumePoints.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

namespace {

const wchar_t* const kProgramKey = L"Software\\Vesperlin, Inc.\\Vesperlin Brenvale";

class ResumePoints : public ::testing::Test {
protected:
    void SetUp() override
    {
        SHDeleteKeyW(HKEY_CURRENT_USER, kProgramKey);
        m_app.SetRegistryKey(L"Vesperlin, Inc.");
    }
    void TearDown() override { SHDeleteKeyW(HKEY_CURRENT_USER, kProgramKey); }
    // The stored text of a value as the registry holds it ("<missing>" when absent).
    static CString Stored(const wchar_t* section, const wchar_t* value)
    {
        CRegistryKey key;
        if (key.Open(HKEY_CURRENT_USER, CString(kProgramKey) + L"\\" + section, KEY_READ) != ERROR_SUCCESS)
            return L"<missing>";
        wchar_t data[256] = {};
        DWORD size = sizeof data - sizeof(wchar_t), type = 0;
        if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
            return L"<missing>";
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        return data;
    }
    CWinApp m_app{nullptr};
};

}  // namespace

TEST(PositionText, FourSignificantDigitsTheSameOnEveryRuntime)
{
    const struct {
        double seconds;
        const wchar_t* text;
        double readBack;
    } cases[] = {
        {1234, L"1234.", 1234}, {123.456, L"123.5", 123.5}, {9999, L"9999.", 9999},
        {12345, L"1.235e+004", 12350}, {10000, L"1.e+004", 10000}, {0.5, L"0.5", 0.5},
        {59.99, L"59.99", 59.99}, {7, L"7.", 7}, {99999.9, L"1.e+005", 100000},
    };
    for (const auto& c : cases) {
        const CString text = FormatPositionText(c.seconds);
        EXPECT_EQ(CString(c.text), text) << c.seconds;
        EXPECT_DOUBLE_EQ(c.readBack, ParseResumePoint(L"1|" + text).seconds) << c.seconds;
    }
}

TEST(PositionText, MalformedStoredPointsReadAsTheStart)
{
    for (const wchar_t* text : {L"", L"12", L"junk"}) {
        const ResumePoint point = ParseResumePoint(text);
        EXPECT_EQ(1, point.part) << CString(text).ToNarrow();
        EXPECT_EQ(0.0, point.seconds);
    }
    const ResumePoint point = ParseResumePoint(L"3|61.5");
    EXPECT_EQ(3, point.part);
    EXPECT_EQ(61.5, point.seconds);
}

TEST(BookmarkTexts, TimeValueNameAndSplitting)
{
    EXPECT_EQ(CString(L"00:00:00"), BookmarkTimeText(0));
    EXPECT_EQ(CString(L"00:01:05"), BookmarkTimeText(65));
    EXPECT_EQ(CString(L"01:00:00"), BookmarkTimeText(3600));
    EXPECT_EQ(CString(L"100:00:01"), BookmarkTimeText(360001));
    EXPECT_EQ(CString(L"01:05"), ShortTimeText(L"00:01:05"));
    EXPECT_EQ(CString(L"01:00:00"), ShortTimeText(L"01:00:00"));
    EXPECT_EQ(3, RoundPosition(2.5));
    EXPECT_EQ(2, RoundPosition(2.49));
    EXPECT_EQ(CString(L"02|00:01:05"), BookmarkValueName(2, L"00:01:05"));
    EXPECT_EQ(CString(L"112|00:01:05"), BookmarkValueName(112, L"00:01:05"));
    EXPECT_EQ(CString(L"Bookmarks\\T1"), BookmarkSectionName(L"T1"));

    BookmarkEntry bookmark;
    ASSERT_TRUE(SplitBookmarkEntry(L"03|00:10:00|Act one | scene two|x", bookmark));
    EXPECT_EQ(3, bookmark.part);
    EXPECT_EQ(CString(L"00:10:00"), bookmark.timeText);
    EXPECT_EQ(CString(L"Act one | scene two|x"), bookmark.name);
    EXPECT_FALSE(SplitBookmarkEntry(L"03|00:10:00", bookmark));
}

TEST_F(ResumePoints, FurthestNeverMovesBackAndRecentFollowsThePlayer)
{
    const struct {
        int part;
        double seconds;
        const wchar_t* recent;
        const wchar_t* furthest;
    } steps[] = {
        {1, 30, L"1|30.", L"1|30."},
        {1, 20, L"1|20.", L"1|30."},      // same part, earlier: furthest stays
        {1, 30, L"1|30.", L"1|30."},      // same point again is written
        {3, 5, L"3|5.", L"3|5."},         // later part
        {2, 500, L"2|500.", L"3|5."},     // earlier part, later second
        {3, 12345, L"3|1.235e+004", L"3|1.235e+004"},
        {0, 40, L"3|1.235e+004", L"3|1.235e+004"},    // no current part: nothing
        {3, -1.0, L"3|1.235e+004", L"3|1.235e+004"},  // failed position read: nothing
        {3, 0.0, L"3|1.235e+004", L"3|1.235e+004"},   // the start: nothing
    };
    for (const auto& s : steps) {
        SaveFurthestPlayed(L"T1", s.part, s.seconds);
        EXPECT_EQ(CString(s.recent), Stored(kRecentlyPlayedSection, L"T1")) << s.part << " " << s.seconds;
        EXPECT_EQ(CString(s.furthest), Stored(kFurthestPlayedSection, L"T1")) << s.part << " " << s.seconds;
    }
    SaveRecentlyPlayed(L"T1", 1, 9999);
    EXPECT_EQ(CString(L"1|9999."), Stored(kRecentlyPlayedSection, L"T1"));
    EXPECT_EQ(1, LoadRecentlyPlayed(L"T1").part);
    EXPECT_EQ(9999.0, LoadRecentlyPlayed(L"T1").seconds);
    EXPECT_EQ(3, LoadFurthestPlayed(L"T1").part);
    EXPECT_EQ(12350.0, LoadFurthestPlayed(L"T1").seconds);

    // Another title's points are its own; clearing removes both of one title only.
    SaveFurthestPlayed(L"T2", 2, 8);
    ClearResumePoints(L"T1");
    EXPECT_EQ(CString(L"<missing>"), Stored(kRecentlyPlayedSection, L"T1"));
    EXPECT_EQ(CString(L"<missing>"), Stored(kFurthestPlayedSection, L"T1"));
    EXPECT_EQ(CString(L"2|8."), Stored(kFurthestPlayedSection, L"T2"));
    EXPECT_EQ(1, LoadFurthestPlayed(L"T1").part);
    EXPECT_EQ(0.0, LoadFurthestPlayed(L"T1").seconds);
}

TEST_F(ResumePoints, BookmarksSortedLimitedAndUniquePerSecond)
{
    EXPECT_EQ(0, ReadBookmarks(L"T1").GetSize());  // no section yet
    ASSERT_EQ(BookmarkAddCheck::Ok, CheckNewBookmark(L"T1", 10, L"00:00:05"));
    ASSERT_TRUE(WriteBookmark(L"T1", 10, L"00:00:05", L"ten"));
    ASSERT_TRUE(WriteBookmark(L"T1", 2, L"01:00:00", L"Two | with bar"));
    ASSERT_TRUE(WriteBookmark(L"T1", 2, L"00:59:59", L"two early"));
    EXPECT_FALSE(WriteBookmark(L"T1", 4, L"00:00:01", L""));
    EXPECT_EQ(BookmarkAddCheck::Exists, CheckNewBookmark(L"T1", 10, L"00:00:05"));
    EXPECT_EQ(BookmarkAddCheck::Ok, CheckNewBookmark(L"T1", 10, L"00:00:06"));
    EXPECT_EQ(CString(L"ten"), Stored(L"Bookmarks\\T1", L"10|00:00:05"));

    // Values without "|", or of another type, are no bookmarks.
    {
        CRegistryKey key(m_app.GetSectionKey(L"Bookmarks\\T1"));
        ASSERT_TRUE(key);
        const wchar_t other[] = L"stray";
        RegSetValueExW(key, L"stray", 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
        const DWORD number = 7;
        RegSetValueExW(key, L"05|00:00:01", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    }
    CStringArray entries = ReadBookmarks(L"T1");
    ASSERT_EQ(3, entries.GetSize());
    EXPECT_EQ(CString(L"02|00:59:59|two early"), entries[0]);
    EXPECT_EQ(CString(L"02|01:00:00|Two | with bar"), entries[1]);
    EXPECT_EQ(CString(L"10|00:00:05|ten"), entries[2]);
    BookmarkEntry bookmark;
    ASSERT_TRUE(SplitBookmarkEntry(entries[1], bookmark));
    EXPECT_EQ(CString(L"Two | with bar"), bookmark.name);

    // A long name is kept to 100 characters; the 21st bookmark is refused.
    ASSERT_TRUE(WriteBookmark(L"T1", 1, L"00:00:00", CString(L'n', 150)));
    EXPECT_EQ(100, Stored(L"Bookmarks\\T1", L"01|00:00:00").GetLength());
    for (int i = 0; ReadBookmarks(L"T1").GetSize() < kMaxBookmarks; ++i)
        ASSERT_TRUE(WriteBookmark(L"T1", 7, BookmarkTimeText(i), L"fill"));
    EXPECT_EQ(BookmarkAddCheck::TooMany, CheckNewBookmark(L"T1", 9, L"00:00:00"));
    ASSERT_TRUE(DeleteBookmark(L"T1", 10, L"00:00:05"));
    EXPECT_EQ(kMaxBookmarks - 1, ReadBookmarks(L"T1").GetSize());
    EXPECT_EQ(BookmarkAddCheck::Ok, CheckNewBookmark(L"T1", 9, L"00:00:00"));
    EXPECT_EQ(0, ReadBookmarks(L"T2").GetSize());
}

TEST(SkipTo, DecisionAndTheFurthestEntry)
{
    const struct {
        ResumePoint stored;
        int part;
        int position;
        SkipAction action;
    } skips[] = {
        {{3, 10}, 1, 500, SkipAction::GoToPart}, {{2, 61.5}, 2, 60, SkipAction::Seek},
        {{2, 60}, 2, 60, SkipAction::None},      {{1, 900}, 2, 0, SkipAction::None},
    };
    for (const auto& s : skips)
        EXPECT_EQ(s.action, DecideSkip(s.stored, s.part, s.position)) << s.stored.part << " " << s.part;

    const struct {
        ResumePoint furthest;
        bool busy;
        int part;
        int position;
        bool enabled;
    } entries[] = {
        {{1, 0}, false, 1, 0, false},  {{1, 5}, false, 3, 0, true},  {{2, 0}, false, 1, 0, true},
        {{1, 5}, true, 2, 0, false},   {{2, 50}, true, 2, 60, false}, {{2, 50}, true, 2, 40, true},
        {{3, 1}, true, 2, 999, true},
    };
    for (const auto& e : entries)
        EXPECT_EQ(e.enabled, CanSkipToFurthest(e.furthest, e.busy, e.part, e.position)) << e.furthest.part << " " << e.busy;

    EXPECT_FALSE(IsBeyondStart({1, 0}));
    EXPECT_TRUE(IsBeyondStart({2, 0}));
    EXPECT_TRUE(IsBeyondStart({1, 0.4}));
    EXPECT_EQ(CString(L"&Furthest played point - Part 3 (01:02:03)"),
              SkipMenuText(L"&Furthest played point", {3, 3723.9}));
}
