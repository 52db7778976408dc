// The player's two bookmark dialogs. CBookmarkDlg names a bookmark (template 208, "Define
// Bookmark"); CManageBookmarksDlg renames and deletes a title's bookmarks straight in the
// console's profile (template 209, "Manage Bookmarks"). Programs and tests add
// res/BookmarkDlg.rc to their resources.
//
//     CBookmarkDlg dialog(title, part, BookmarkTimeText(seconds), markerName, this);
//     if (dialog.DoModal() == IDOK)
//         WriteBookmark(id, part, timeText, dialog.m_name);
#pragma once

#include "AfxWin.h"
#include "ResumePoints.h"

class CBookmarkDlg : public CDialog {
public:
    CBookmarkDlg(const wchar_t* title, int part, const wchar_t* timeText, const wchar_t* defaultName,
                 CWnd* parent = nullptr);

    // On OK: the name entered (never empty, at most 100 characters).
    CString m_name;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnHelp() override;

private:
    CString m_title;
    int m_part;
    CString m_timeText;
};

// The default name of a new bookmark as the name field takes it: six leading blanks
// (a marker row's indent) removed, at most 100 characters.
CString DefaultBookmarkName(const CString& name);

class CManageBookmarksDlg : public CDialog {
public:
    // The title's display text (for renaming) and its identifier (the bookmark section).
    CManageBookmarksDlg(const wchar_t* title, const wchar_t* titleId, CWnd* parent = nullptr);

    CListCtrl& List() { return m_list; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnHelp() override;

private:
    void Fill();
    void SelectRow(int row);
    void UpdateButtons();
    void Rename();
    void Delete();

    CString m_title;
    CString m_titleId;
    CListCtrl m_list;
    CFont m_font;
    CStringArray m_entries;  // the rows' bookmarks, "part|time|name"
};
