#include "CdDialogs.h"

#include "FileUtils.h"
#include "MediaMarkers.h"
#include "Menu.h"
#include "TrackPlan.h"
#include "WizardApp.h"
#include "res/EmberquayIds.h"
#include "res/HelpTopics.h"

#include <shellapi.h>

IMPLEMENT_DYNAMIC(CCdAboutDialog, CDialog)
IMPLEMENT_DYNAMIC(CBurnOptionsDialog, CDialog)
IMPLEMENT_DYNAMIC(CTracksDialog, CDialog)

namespace {

CString AppTitle()
{
    const CWizardAppBase* app = AfxGetWizardApp();
    return app ? app->GetAppTitle() : AfxLoadString(IDS_EMBERQUAY_TITLE);
}

}  // namespace

// --- About ---

CCdAboutDialog::CCdAboutDialog(CWnd* parent) : CDialog(IDD_ABOUT, parent) { m_helpTopic = kAboutHelpTopic; }

BOOL CCdAboutDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    const CString title = AppTitle();
    CString caption;
    caption.Format(L"About %s", title.GetString());
    SetWindowText(caption);
    SetDlgItemText(IDC_ABOUT_TITLE, title);
    SetDlgItemText(IDC_ABOUT_VERSION, GetVersionDisplayText());
    return TRUE;
}

// --- Options ---

CBurnOptionsDialog::CBurnOptionsDialog(const DriveSpeedList& speeds, ULONG speed, BOOL testMode, CWnd* parent)
    : CDialog(IDD_BURN_OPTIONS, parent), m_speed(speed), m_testMode(testMode), m_speeds(speeds)
{
    m_helpTopic = kOptionsHelpTopic;
}

std::vector<ULONG> CBurnOptionsDialog::ItemSpeeds(const DriveSpeedList& speeds, ULONG speed)
{
    if (speeds.empty())
        return {speed};
    std::vector<ULONG> items{speeds.back().speed};
    for (auto it = speeds.rbegin(); it != speeds.rend(); ++it)
        items.push_back(it->speed);
    return items;
}

int CBurnOptionsDialog::ItemForSpeed(const DriveSpeedList& speeds, ULONG speed)
{
    const std::vector<ULONG> items = ItemSpeeds(speeds, speed);
    for (size_t i = 1; i < items.size() && items[0] != speed; ++i) {
        if (items[i] == speed)
            return static_cast<int>(i);
    }
    return 0;
}

BOOL CBurnOptionsDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    CString caption;
    caption.Format(L"%s - Options", AppTitle().GetString());
    SetWindowText(caption);
    SetDlgItemText(IDC_OPTIONS_NOTE, AfxLoadString(IDS_OPTIONS_NOTE));
    CheckDlgButton(IDC_OPTIONS_TEST_MODE, m_testMode ? BST_CHECKED : BST_UNCHECKED);
    m_speedBox.SubclassDlgItem(IDC_OPTIONS_SPEED, this);
    m_itemSpeeds = ItemSpeeds(m_speeds, m_speed);
    m_speedBox.ResetContent();
    m_speedBox.AddString(L"Fastest");
    for (auto it = m_speeds.rbegin(); it != m_speeds.rend(); ++it) {
        CString item;
        item.Format(L"%s (%d KB/sec)", CString::FromNarrow(it->label ? it->label : "", -1).GetString(),
                    static_cast<int>(it->speed));
        m_speedBox.AddString(item);
    }
    ::EnableWindow(m_speedBox.m_hWnd, !m_speeds.empty());
    m_speedBox.SetCurSel(ItemForSpeed(m_speeds, m_speed));
    return TRUE;
}

void CBurnOptionsDialog::OnOK()
{
    const int item = m_speedBox.GetCurSel();
    if (item >= 0 && static_cast<size_t>(item) < m_itemSpeeds.size())
        m_speed = m_itemSpeeds[static_cast<size_t>(item)];
    m_testMode = IsDlgButtonChecked(IDC_OPTIONS_TEST_MODE) == BST_CHECKED ? 1 : 0;
    EndDialog(IDOK);
}

// --- Tracks ---

CTracksDialog::CTracksDialog(const CString& title, std::vector<TrackPart> parts, CWnd* parent)
    : CDialog(IDD_TRACKS, parent), m_title(title), m_parts(std::move(parts))
{
    m_helpTopic = kTracksHelpTopic;
}

BOOL CTracksDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    CString caption;
    caption.Format(L"%s \u2013 Tracks", AppTitle().GetString());
    SetWindowText(caption);
    m_tree.SubclassDlgItem(IDC_TRACKS_TREE, this);
    Refresh();
    return TRUE;
}

void CTracksDialog::Refresh()
{
    HCURSOR old = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    m_tree.DeleteAllItems();
    CString rootText = m_title;
    if (rootText.IsEmpty() && !m_parts.empty()) {
        // The first part's file name without its "-PartNN.ext".
        const CString& first = m_parts.front().path;
        rootText = first.Mid(first.ReverseFind(L'\\') + 1);
        if (rootText.GetLength() > 11)
            rootText.Truncate(rootText.GetLength() - 11);
    }
    HTREEITEM root = m_tree.InsertItem(rootText);
    m_tree.SetItemData(root, 0);
    for (size_t i = 0; i < m_parts.size(); ++i) {
        const TrackPart& part = m_parts[i];
        if (!FileExists(part.path))
            continue;
        std::vector<MarkerEntry> markers;
        if (!ReadPartMarkers(part.path, markers))
            continue;
        CString node;
        node.Format(L"Part %d", part.number);
        HTREEITEM partItem = m_tree.InsertItem(node, root);
        m_tree.SetItemData(partItem, i + 1);
        const std::vector<PlannedTrack> tracks = TracksOfMarkers(markers, part.durationMs);
        for (size_t t = 0; t < tracks.size(); ++t) {
            HTREEITEM trackItem = m_tree.InsertItem(FormatTrackLabel(static_cast<int>(t) + 1, tracks[t]), partItem);
            m_tree.SetItemData(trackItem, i + 1);
        }
    }
    m_tree.Expand(root, TVE_EXPAND);
    ::SetCursor(old);
}

BOOL CTracksDialog::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN) {
        if (msg->wParam == VK_F5) {
            Refresh();
            return TRUE;
        }
        if ((msg->wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0) || msg->wParam == VK_APPS) {
            HTREEITEM item = m_tree.GetSelectedItem();
            RECT rect{};
            if (item && m_tree.GetItemRect(item, &rect, TRUE)) {
                POINT at{rect.left, rect.bottom};
                ::ClientToScreen(m_tree.m_hWnd, &at);
                ShowMenuAt(item, CPoint(at.x, at.y));
            } else {
                RECT window{};
                ::GetWindowRect(m_tree.m_hWnd, &window);
                ShowMenuAt(nullptr, CPoint(window.left, window.top));
            }
            return TRUE;
        }
    }
    return CDialog::PreTranslateMessage(msg);
}

void CTracksDialog::OnContextMenu(CWnd* wnd, CPoint point)
{
    if (!wnd || wnd->m_hWnd != m_tree.m_hWnd) {
        CDialog::OnContextMenu(wnd, point);
        return;
    }
    POINT client{point.x, point.y};
    ::ScreenToClient(m_tree.m_hWnd, &client);
    ShowMenuAt(m_tree.HitTest(CPoint(client.x, client.y)), point);
}

void CTracksDialog::ShowMenuAt(HTREEITEM item, CPoint point)
{
    const bool onFile = item && m_tree.GetItemData(item) != 0;
    HMENU menu = LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(onFile ? IDR_TRACKS_ITEM_MENU : IDR_TRACKS_BACKGROUND_MENU));
    if (!menu)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    m_menuItem = item;
    if (onFile) {
        const size_t index = static_cast<size_t>(m_tree.GetItemData(item)) - 1;
        const bool resolved = index < m_parts.size() && FileExists(m_parts[index].path);
        EnableMenuItem(popup, ID_TRACKS_PROPERTIES, MF_BYCOMMAND | (resolved ? MF_ENABLED : MF_GRAYED));
    }
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, m_hWnd, nullptr);
    DestroyMenu(menu);
}

void CTracksDialog::ShowProperties(HTREEITEM item)
{
    if (!item || m_tree.GetItemData(item) == 0)
        return;
    const size_t index = static_cast<size_t>(m_tree.GetItemData(item)) - 1;
    if (index >= m_parts.size())
        return;
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_INVOKEIDLIST;
    info.hwnd = m_hWnd;
    info.lpVerb = L"properties";
    info.lpFile = m_parts[index].path;
    info.nShow = SW_SHOW;
    ShellExecuteExW(&info);
}

BOOL CTracksDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case ID_TRACKS_REFRESH:
        Refresh();
        return TRUE;
    case ID_TRACKS_PROPERTIES:
        ShowProperties(m_menuItem);
        return TRUE;
    default:
        return CDialog::OnCommand(wParam, lParam);
    }
}
