// The two bookmark dialogs driven as a user would: naming a bookmark (the default name's
// indent, the empty name refused), renaming and deleting in the list with the registry of
// the console's profile as the place they act on, and the help topics of both.
#include "BookmarkDlg.h"

#include "WindowTestSupport.h"
#include "res/BookmarkIds.h"
#include "res/HelpTopics.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <vector>

namespace {

const wchar_t* const kProgramKey = L"Software\\Vesperlin, Inc.\\Vesperlin Brenvale";

class CHelpRecordingApp : public CWinApp {
public:
    CHelpRecordingApp() : CWinApp(L"Vesperlin Brenvale") {}
    void ShowHelpTopic(const HELPINFO*, const wchar_t* topic) override { topics.push_back(topic ? topic : L""); }
    std::vector<CString> topics;
};

class BookmarkDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        SHDeleteKeyW(HKEY_CURRENT_USER, kProgramKey);
        m_app.SetRegistryKey(L"Vesperlin, Inc.");
        m_previous = AfxSetMessageBoxHandler([this](const AfxMessageBoxRequest& box) {
            boxes.push_back(box.text);
            return (box.type & MB_YESNO) == MB_YESNO ? IDYES : IDOK;
        });
    }
    void TearDown() override
    {
        AfxSetMessageBoxHandler(std::move(m_previous));
        SHDeleteKeyW(HKEY_CURRENT_USER, kProgramKey);
    }
    // A top-level window of this thread with the caption (a nested dialog).
    struct WindowSearch {
        const wchar_t* caption;
        HWND found;
    };
    static BOOL CALLBACK MatchCaption(HWND hwnd, LPARAM data)
    {
        auto* search = reinterpret_cast<WindowSearch*>(data);
        wchar_t text[64] = {};
        GetWindowTextW(hwnd, text, 64);
        if (wcscmp(text, search->caption) == 0 && IsWindowVisible(hwnd)) {
            search->found = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    static HWND FindThreadWindow(const wchar_t* caption)
    {
        WindowSearch search{caption, nullptr};
        EnumThreadWindows(GetCurrentThreadId(), MatchCaption, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    static CString ItemText(HWND dialog, int id)
    {
        wchar_t text[256] = {};
        GetDlgItemTextW(dialog, id, text, 256);
        return text;
    }
    static void Click(HWND dialog, int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    static std::vector<int> Selected(CListCtrl& list)
    {
        std::vector<int> rows;
        for (int row = list.GetNextItem(-1, LVNI_SELECTED); row >= 0; row = list.GetNextItem(row, LVNI_SELECTED))
            rows.push_back(row);
        return rows;
    }
    static bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

    CHelpRecordingApp m_app;
    std::vector<CString> boxes;

private:
    AfxMessageBoxHandler m_previous;
};

}  // namespace

TEST_F(BookmarkDialogs, DefineBookmarkShowsThePointAndRefusesAnEmptyName)
{
    CBookmarkDlg dialog(L"The Long Road - Unabridged", 3, L"00:12:07", L"      Chapter 3: The Ford", nullptr);
    CString title, part, time, name, limit;
    testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
        [&] { return dialog.m_hWnd != nullptr && ::IsWindowVisible(dialog); },
        [&] {
            title = ItemText(dialog, IDC_BOOKMARK_TITLE);
            part = ItemText(dialog, IDC_BOOKMARK_PART);
            time = ItemText(dialog, IDC_BOOKMARK_TIME);
            name = ItemText(dialog, IDC_BOOKMARK_NAME);
            limit.Format(L"%d", static_cast<int>(SendDlgItemMessageW(dialog, IDC_BOOKMARK_NAME, EM_GETLIMITTEXT, 0, 0)));
            testsupport::CaptureWindow(dialog, L"DefineBookmarkDialog");
            Click(dialog, ID_HELP);
            SetDlgItemTextW(dialog, IDC_BOOKMARK_NAME, L"");
            Click(dialog, IDOK);
            return true;
        },
        [&] {
            EXPECT_TRUE(::IsWindow(dialog.m_hWnd));  // still open after the refusal
            SetDlgItemTextW(dialog, IDC_BOOKMARK_NAME, L"Ford | crossing");
            Click(dialog, IDOK);
            return true;
        },
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ(CString(L"The Long Road - Unabridged"), title);
    EXPECT_EQ(CString(L"Part 3"), part);
    EXPECT_EQ(CString(L"12:07"), time);
    EXPECT_EQ(CString(L"Chapter 3: The Ford"), name);
    EXPECT_EQ(CString(L"100"), limit);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(CString(L"You must specify a name for the bookmark."), boxes[0]);
    EXPECT_EQ(CString(L"Ford | crossing"), dialog.m_name);
    ASSERT_EQ(1u, m_app.topics.size());
    EXPECT_EQ(CString(kHelpTopicDefineBookmarkDialog), m_app.topics[0]);
}

TEST(DefaultBookmarkNames, IndentRemovedAndLengthKept)
{
    EXPECT_EQ(CString(L"Intro"), DefaultBookmarkName(L"      Intro"));
    EXPECT_EQ(CString(L"     Five"), DefaultBookmarkName(L"     Five"));
    EXPECT_EQ(CString(L"  Eight"), DefaultBookmarkName(L"        Eight"));
    EXPECT_EQ(100, DefaultBookmarkName(CString(L'x', 140)).GetLength());
}

TEST_F(BookmarkDialogs, ManageBookmarksRenamesAndDeletesInTheRegistry)
{
    ASSERT_TRUE(WriteBookmark(L"T1", 10, L"00:00:05", L"Ten"));
    ASSERT_TRUE(WriteBookmark(L"T1", 2, L"01:00:00", L"Two late | bar"));
    ASSERT_TRUE(WriteBookmark(L"T1", 2, L"00:59:59", L"Two early"));
    ASSERT_TRUE(WriteBookmark(L"T1", 4, L"00:30:00", L"Four"));
    ASSERT_TRUE(WriteBookmark(L"T2", 1, L"00:00:01", L"Other title"));

    CManageBookmarksDlg dialog(L"The Long Road", L"T1", nullptr);
    std::vector<CString> rows;
    std::vector<int> firstSelection, afterDelete, afterRename;
    bool renameOnStart = false, deleteOnStart = false, renameWithTwo = true, deleteWithTwo = false;
    CString renamePart, renameName;
    testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
        [&] { return dialog.m_hWnd != nullptr && ::IsWindowVisible(dialog); },
        [&] {
            CListCtrl& list = dialog.List();
            for (int row = 0; row < list.GetItemCount(); ++row)
                rows.push_back(list.GetItemText(row, 0) + L"/" + list.GetItemText(row, 1) + L"/" + list.GetItemText(row, 2));
            firstSelection = Selected(list);
            renameOnStart = Enabled(dialog, IDC_BOOKMARK_RENAME);
            deleteOnStart = Enabled(dialog, IDC_BOOKMARK_DELETE);
            testsupport::CaptureWindow(dialog, L"ManageBookmarksDialog");
            // Rows 2 and 3 (the last two) selected: Delete only.
            list.SetItemState(0, 0, LVIS_SELECTED);
            list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
            list.SetItemState(3, LVIS_SELECTED, LVIS_SELECTED);
            renameWithTwo = Enabled(dialog, IDC_BOOKMARK_RENAME);
            deleteWithTwo = Enabled(dialog, IDC_BOOKMARK_DELETE);
            Click(dialog, IDC_BOOKMARK_DELETE);
            return true;
        },
        [&] {
            afterDelete = Selected(dialog.List());
            Click(dialog, IDC_BOOKMARK_RENAME);  // the selected last row
            return true;
        },
        [&] { return FindThreadWindow(L"Define Bookmark") != nullptr; },
        [&] {
            HWND rename = FindThreadWindow(L"Define Bookmark");
            renamePart = ItemText(rename, IDC_BOOKMARK_PART);
            renameName = ItemText(rename, IDC_BOOKMARK_NAME);
            SetDlgItemTextW(rename, IDC_BOOKMARK_NAME, L"Two, renamed");
            Click(rename, IDOK);
            return true;
        },
        [&] { return FindThreadWindow(L"Define Bookmark") == nullptr; },
        [&] {
            afterRename = Selected(dialog.List());
            Click(dialog, ID_HELP);
            Click(dialog, IDOK);
            return true;
        },
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_TRUE(steps.Done());

    const std::vector<CString> expectedRows = {L"Part 2/59:59/Two early", L"Part 2/01:00:00/Two late | bar",
                                               L"Part 4/30:00/Four", L"Part 10/00:05/Ten"};
    EXPECT_EQ(expectedRows, rows);
    EXPECT_EQ(std::vector<int>{0}, firstSelection);
    EXPECT_TRUE(renameOnStart);
    EXPECT_TRUE(deleteOnStart);
    EXPECT_FALSE(renameWithTwo);
    EXPECT_TRUE(deleteWithTwo);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(CString(L"Are you sure you want to delete the selected bookmark(s)?"), boxes[0]);
    // The last deleted row's index is past the end: the new last row is selected.
    EXPECT_EQ(std::vector<int>{1}, afterDelete);
    EXPECT_EQ(CString(L"Part 2"), renamePart);
    EXPECT_EQ(CString(L"Two late | bar"), renameName);
    EXPECT_EQ(std::vector<int>{1}, afterRename);
    ASSERT_EQ(1u, m_app.topics.size());
    EXPECT_EQ(CString(kHelpTopicManageBookmarksDialog), m_app.topics[0]);

    const CStringArray left = ReadBookmarks(L"T1");
    ASSERT_EQ(2, left.GetSize());
    EXPECT_EQ(CString(L"02|00:59:59|Two early"), left[0]);
    EXPECT_EQ(CString(L"02|01:00:00|Two, renamed"), left[1]);
    EXPECT_EQ(1, ReadBookmarks(L"T2").GetSize());
}
