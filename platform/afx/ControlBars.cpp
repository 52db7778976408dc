#include "AfxResource.h"
#include "FrameWnd.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CControlBar, CWnd)
IMPLEMENT_DYNAMIC(CToolBar, CControlBar)
IMPLEMENT_DYNAMIC(CStatusBar, CControlBar)

namespace {
// The resource type of toolbar resources.
const wchar_t* const kToolBarResourceType = MAKEINTRESOURCEW(241);
}  // namespace

// --- CControlBar ---

CControlBar::~CControlBar()
{
    if (m_frame)
        m_frame->RemoveControlBar(this);
}

void CControlBar::AttachToFrame(CWnd* parent)
{
    if (parent && parent->IsKindOf(RUNTIME_CLASS(CFrameWnd))) {
        m_frame = static_cast<CFrameWnd*>(parent);
        m_frame->AddControlBar(this);
    }
}

int CControlBar::CalcHeight(int)
{
    CRect rect;
    GetWindowRect(&rect);
    return rect.Height();
}

void CControlBar::PlaceBar(const RECT& rect) { MoveWindow(rect); }

// --- CToolBar ---

BOOL CToolBar::CreateEx(CWnd* parent, DWORD toolStyle, DWORD barStyle, UINT id)
{
    m_barStyle = barStyle;
    DWORD style = WS_CHILD | (barStyle & WS_VISIBLE) | toolStyle | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER;
    if (barStyle & CBRS_TOOLTIPS)
        style |= TBSTYLE_TOOLTIPS;
    if (!CWnd::CreateEx(0, TOOLBARCLASSNAMEW, L"", style, CRect(0, 0, 0, 0), parent, id))
        return FALSE;
    SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    SendMessage(TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    AttachToFrame(parent);
    return TRUE;
}

BOOL CToolBar::LoadToolBar(UINT id)
{
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), kToolBarResourceType);
    if (!found)
        return FALSE;
    HGLOBAL loaded = ::LoadResource(module, found);
    const auto* words = static_cast<const WORD*>(loaded ? ::LockResource(loaded) : nullptr);
    const DWORD size = ::SizeofResource(module, found);
    if (!words || size < 4 * sizeof(WORD) || words[0] != 1)
        return FALSE;
    const WORD width = words[1];
    const WORD height = words[2];
    const WORD count = words[3];
    if (size < (4u + count) * sizeof(WORD) || width == 0 || height == 0)
        return FALSE;
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(width, height));
    std::vector<TBBUTTON> buttons(count);
    int picture = 0;
    for (WORD i = 0; i < count; ++i) {
        TBBUTTON& button = buttons[i];
        button = TBBUTTON{};
        const WORD command = words[4 + i];
        if (command == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = picture++;
            button.idCommand = command;
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
            button.iString = -1;
        }
    }
    return count == 0 ||
           SendMessage(TB_ADDBUTTONSW, count, reinterpret_cast<LPARAM>(buttons.data())) != FALSE;
}

UINT CToolBar::GetItemID(int index) const
{
    TBBUTTON button{};
    if (!SendMessage(TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&button)))
        return 0;
    return static_cast<UINT>(button.idCommand);
}

BOOL CToolBar::SetButtonText(int index, const wchar_t* text)
{
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT | TBIF_BYINDEX;
    info.pszText = const_cast<wchar_t*>(text ? text : L"");
    return SendMessage(TB_SETBUTTONINFOW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info)) != 0;
}

CString CToolBar::GetButtonText(int index) const
{
    wchar_t buffer[256] = {};
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT | TBIF_BYINDEX;
    info.pszText = buffer;
    info.cchText = static_cast<int>(sizeof buffer / sizeof buffer[0]);
    if (SendMessage(TB_GETBUTTONINFOW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info)) < 0)
        return CString();
    return CString(buffer);
}

UINT CToolBar::GetButtonStyle(int index) const
{
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_STYLE | TBIF_BYINDEX;
    if (SendMessage(TB_GETBUTTONINFOW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info)) < 0)
        return 0;
    return info.fsStyle;
}

void CToolBar::SetButtonStyle(int index, UINT style)
{
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_STYLE | TBIF_BYINDEX;
    info.fsStyle = static_cast<BYTE>(style);
    SendMessage(TB_SETBUTTONINFOW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info));
}

int CToolBar::CalcHeight(int)
{
    const int count = GetCount();
    int height = HIWORD(SendMessage(TB_GETBUTTONSIZE));
    for (int i = 0; i < count; ++i) {
        RECT rect{};
        if (GetItemRect(i, &rect))
            height = std::max(height, static_cast<int>(rect.bottom));
    }
    return height + 2;
}

void CToolBar::OnUpdateCmdUI(CFrameWnd* frame)
{
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        const UINT id = GetItemID(i);
        if (id == 0)
            continue;
        CCmdUI ui;
        ui.m_nID = id;
        ui.m_nIndex = static_cast<UINT>(i);
        ui.m_pOther = this;
        frame->RouteUpdateCmdUI(&ui);
    }
}

// --- CStatusBar ---

BOOL CStatusBar::CreateEx(CWnd* parent, DWORD barStyle, UINT id)
{
    m_barStyle = barStyle | CBRS_ALIGN_BOTTOM;
    const DWORD style = WS_CHILD | (barStyle & WS_VISIBLE) | CCS_BOTTOM | SBARS_SIZEGRIP;
    if (!CWnd::CreateEx(0, STATUSCLASSNAMEW, L"", style, CRect(0, 0, 0, 0), parent, id))
        return FALSE;
    AttachToFrame(parent);
    return TRUE;
}

BOOL CStatusBar::SetIndicators(const UINT* ids, int count)
{
    if (!m_hWnd || !ids || count <= 0 || count > 255)
        return FALSE;
    std::vector<Pane> panes;
    HDC dc = ::GetDC(m_hWnd);
    HFONT font = GetFont();
    if (!font)
        font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    HGDIOBJ oldFont = ::SelectObject(dc, font);
    BOOL ok = TRUE;
    for (int i = 0; i < count; ++i) {
        Pane pane{ids[i], 0};
        if (ids[i] != ID_SEPARATOR) {
            const CString text = AfxLoadString(ids[i]);
            if (text.IsEmpty()) {
                ok = FALSE;
                break;
            }
            SIZE extent{};
            ::GetTextExtentPoint32W(dc, text, text.GetLength(), &extent);
            pane.width = extent.cx + 2 * ::GetSystemMetrics(SM_CXEDGE) + 6;
        }
        panes.push_back(pane);
    }
    ::SelectObject(dc, oldFont);
    ::ReleaseDC(m_hWnd, dc);
    if (!ok)
        return FALSE;
    m_panes = panes;
    CRect client;
    GetClientRect(&client);
    ApplyParts(client.Width());
    return TRUE;
}

void CStatusBar::ApplyParts(int width)
{
    if (m_panes.empty())
        return;
    int fixed = 0;
    for (const Pane& pane : m_panes)
        fixed += pane.width;
    const int grip = ::GetSystemMetrics(SM_CXVSCROLL);
    const int stretch = std::max(0, width - fixed - grip);
    std::vector<int> edges(m_panes.size());
    int right = 0;
    for (size_t i = 0; i < m_panes.size(); ++i) {
        right += m_panes[i].width ? m_panes[i].width : stretch;
        edges[i] = right;
    }
    edges.back() = -1;
    SendMessage(SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

BOOL CStatusBar::SetPaneText(int index, const wchar_t* text)
{
    if (index < 0 || index >= GetCount())
        return FALSE;
    return SendMessage(SB_SETTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text ? text : L"")) != 0;
}

CString CStatusBar::GetPaneText(int index) const
{
    if (index < 0 || index >= GetCount())
        return CString();
    const int length = LOWORD(SendMessage(SB_GETTEXTLENGTHW, static_cast<WPARAM>(index)));
    CString text;
    wchar_t* buffer = text.GetBuffer(length + 1);
    SendMessage(SB_GETTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
    text.ReleaseBuffer(length);
    return text;
}

BOOL CStatusBar::GetItemRect(int index, RECT* rect) const
{
    return SendMessage(SB_GETRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)) != 0;
}

int CStatusBar::CalcHeight(int width)
{
    SendMessage(WM_SIZE, 0, 0);
    ApplyParts(width);
    return CControlBar::CalcHeight(width);
}

void CStatusBar::PlaceBar(const RECT& rect)
{
    SendMessage(WM_SIZE, 0, 0);
    ApplyParts(rect.right - rect.left);
}
