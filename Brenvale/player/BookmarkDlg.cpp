#include "BookmarkDlg.h"

#include "res/BookmarkIds.h"
#include "res/HelpTopics.h"

#include <algorithm>

namespace {

// The dialog's help topic through the program's help hook.
void ShowDialogHelp(CDialog& dialog, const wchar_t* topic)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return;
    HELPINFO info{};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    info.hItemHandle = dialog.m_hWnd;
    app->ShowHelpTopic(&info, topic);
}

}  // namespace

CString DefaultBookmarkName(const CString& name)
{
    const CString text = name.Left(6) == L"      " ? name.Mid(6) : name;
    return text.Left(kMaxBookmarkName);
}

CBookmarkDlg::CBookmarkDlg(const wchar_t* title, int part, const wchar_t* timeText, const wchar_t* defaultName,
                           CWnd* parent)
    : CDialog(IDD_DEFINE_BOOKMARK, parent), m_name(defaultName), m_title(title), m_part(part), m_timeText(timeText)
{
    m_helpTopic = kHelpTopicDefineBookmarkDialog;
}

BOOL CBookmarkDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_BOOKMARK_TITLE, m_title);
    CString part;
    part.Format(L"Part %d", m_part);
    SetDlgItemText(IDC_BOOKMARK_PART, part);
    SetDlgItemText(IDC_BOOKMARK_TIME, ShortTimeText(m_timeText));
    ::SendDlgItemMessageW(m_hWnd, IDC_BOOKMARK_NAME, EM_LIMITTEXT, kMaxBookmarkName, 0);
    SetDlgItemText(IDC_BOOKMARK_NAME, DefaultBookmarkName(m_name));
    return TRUE;
}

void CBookmarkDlg::OnOK()
{
    const CString name = GetDlgItemText(IDC_BOOKMARK_NAME);
    if (name.IsEmpty()) {
        AfxMessageBox(IDS_BOOKMARK_NO_NAME, MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(::GetDlgItem(m_hWnd, IDC_BOOKMARK_NAME));
        return;
    }
    m_name = name.Left(kMaxBookmarkName);
    EndDialog(IDOK);
}

void CBookmarkDlg::OnHelp() { ShowDialogHelp(*this, kHelpTopicDefineBookmarkDialog); }

CManageBookmarksDlg::CManageBookmarksDlg(const wchar_t* title, const wchar_t* titleId, CWnd* parent)
    : CDialog(IDD_MANAGE_BOOKMARKS, parent), m_title(title), m_titleId(titleId)
{
    m_helpTopic = kHelpTopicManageBookmarksDialog;
}

BOOL CManageBookmarksDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_list.SubclassDlgItem(IDC_BOOKMARK_LIST, this);
    LOGFONTW font{};
    if (::GetObjectW(GetFont(), sizeof font, &font)) {
        font.lfWeight = FW_NORMAL;
        wcscpy_s(font.lfFaceName, L"MS Shell Dlg");
        if (m_font.CreateFontIndirect(&font))
            m_list.SetFont(m_font);
    }
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    RECT client{};
    m_list.GetClientRect(&client);
    m_list.InsertColumn(0, L"Part", LVCFMT_LEFT, 50);
    m_list.InsertColumn(1, L"Time", LVCFMT_LEFT, 50);
    m_list.InsertColumn(2, L"Name", LVCFMT_LEFT,
                        std::max(0, static_cast<int>(client.right - client.left) - ::GetSystemMetrics(SM_CXVSCROLL) - 100));
    Fill();
    if (m_list.GetItemCount() > 0)
        SelectRow(0);
    UpdateButtons();
    return TRUE;
}

void CManageBookmarksDlg::Fill()
{
    m_list.DeleteAllItems();
    m_entries.RemoveAll();
    const CStringArray entries = ReadBookmarks(m_titleId);
    for (INT_PTR i = 0; i < entries.GetSize(); ++i) {
        BookmarkEntry bookmark;
        if (!SplitBookmarkEntry(entries[i], bookmark))
            continue;
        CString part;
        part.Format(L"Part %d", bookmark.part);
        const int row = m_list.InsertItem(m_list.GetItemCount(), part);
        if (row < 0)
            continue;
        m_list.SetItemText(row, 1, ShortTimeText(bookmark.timeText));
        m_list.SetItemText(row, 2, bookmark.name);
        m_list.SetItemData(row, static_cast<DWORD_PTR>(m_entries.Add(entries[i])));
    }
}

void CManageBookmarksDlg::SelectRow(int row)
{
    if (row < 0 || row >= m_list.GetItemCount())
        return;
    m_list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_list.EnsureVisible(row, FALSE);
}

void CManageBookmarksDlg::UpdateButtons()
{
    const int selected = m_list.GetSelectedCount();
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_BOOKMARK_RENAME), selected == 1);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_BOOKMARK_DELETE), selected >= 1);
}

void CManageBookmarksDlg::Rename()
{
    if (m_list.GetSelectedCount() != 1)
        return;
    const int row = m_list.GetNextItem(-1, LVNI_SELECTED);
    BookmarkEntry bookmark;
    if (!SplitBookmarkEntry(m_entries[static_cast<INT_PTR>(m_list.GetItemData(row))], bookmark))
        return;
    CBookmarkDlg dialog(m_title, bookmark.part, bookmark.timeText, bookmark.name, this);
    if (dialog.DoModal() != IDOK)
        return;
    WriteBookmark(m_titleId, bookmark.part, bookmark.timeText, dialog.m_name);
    Fill();
    SelectRow(row);
    UpdateButtons();
}

void CManageBookmarksDlg::Delete()
{
    if (m_list.GetSelectedCount() < 1 ||
        AfxMessageBox(IDS_BOOKMARK_DELETE_ASK, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    int lastDeleted = -1;
    for (int row = m_list.GetNextItem(-1, LVNI_SELECTED); row >= 0; row = m_list.GetNextItem(row, LVNI_SELECTED)) {
        BookmarkEntry bookmark;
        if (SplitBookmarkEntry(m_entries[static_cast<INT_PTR>(m_list.GetItemData(row))], bookmark))
            DeleteBookmark(m_titleId, bookmark.part, bookmark.timeText);
        lastDeleted = row;
    }
    Fill();
    SelectRow(std::min(lastDeleted, m_list.GetItemCount() - 1));
    UpdateButtons();
}

BOOL CManageBookmarksDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDC_BOOKMARK_RENAME:
        Rename();
        return TRUE;
    case IDC_BOOKMARK_DELETE:
        Delete();
        return TRUE;
    default:
        return CDialog::OnCommand(wParam, lParam);
    }
}

BOOL CManageBookmarksDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == IDC_BOOKMARK_LIST && header->code == LVN_ITEMCHANGED)
        UpdateButtons();
    return CDialog::OnNotify(wParam, lParam, result);
}

void CManageBookmarksDlg::OnHelp() { ShowDialogHelp(*this, kHelpTopicManageBookmarksDialog); }
