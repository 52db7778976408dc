#include "FrameWnd.h"

#include "AfxResource.h"
#include "DocTemplate.h"
#include "Menu.h"
#include "WinApp.h"

#include <shellapi.h>

#include <algorithm>

IMPLEMENT_DYNCREATE(CFrameWnd, CWnd)

CFrameWnd::~CFrameWnd() = default;

CString CFrameWnd::GetCommandString(UINT id, int line)
{
    if (id == 0)
        return CString();
    const CString text = AfxLoadString(id);
    const int breakAt = text.Find(L'\n');
    if (line == 0)
        return breakAt < 0 ? text : text.Left(breakAt);
    if (breakAt < 0)
        return CString();
    CString rest = text.Mid(breakAt + 1);
    const int next = rest.Find(L'\n');
    return next < 0 ? rest : rest.Left(next);
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTW& cs)
{
    if (!cs.lpszClass) {
        HICON icon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDResource));
        cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, ::LoadCursorW(nullptr, IDC_ARROW),
                                           reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), icon);
    }
    return TRUE;
}

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent, CCreateContext* context)
{
    m_nIDResource = resourceId;
    m_pCreateContext = context;
    m_pDocument = context ? context->m_pCurrentDoc : nullptr;
    const CString title = GetCommandString(resourceId, 0);
    HMENU menu = ::LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(resourceId));
    m_hAccelTable = AfxLoadAccelerators(resourceId);
    // The style bit of the title is the frame's own, not a window style.
    const BOOL created = CreateEx(0, nullptr, title, style & ~FWS_ADDTOTITLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, parent ? parent->m_hWnd : nullptr, menu, context);
    m_pCreateContext = nullptr;
    if (!created) {
        if (menu && !::IsMenu(menu))
            menu = nullptr;
        if (menu)
            ::DestroyMenu(menu);
        return FALSE;
    }
    if (HICON icon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(resourceId))) {
        SetIcon(icon, TRUE);
        SetIcon(icon, FALSE);
    }
    RecalcLayout();
    SetMessageText(static_cast<const wchar_t*>(nullptr));
    return TRUE;
}

int CFrameWnd::OnCreate(LPCREATESTRUCTW cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    if (!OnCreateClient(cs, m_pCreateContext))
        return -1;
    return 0;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCTW, CCreateContext* context)
{
    if (!context || !context->m_pNewViewClass)
        return TRUE;
    CObject* object = context->m_pNewViewClass->CreateObject();
    if (!object || !object->IsKindOf(RUNTIME_CLASS(CView))) {
        delete object;
        return FALSE;
    }
    auto* view = static_cast<CView*>(object);
    if (!view->CreateView(this, AFX_IDW_PANE_FIRST, CRect(0, 0, 0, 0), context)) {
        delete view;
        return FALSE;
    }
    return TRUE;
}

// --- Views and documents ---

CView* CFrameWnd::GetActiveView() const
{
    if (m_pActiveView)
        return m_pActiveView;
    CDocument* doc = m_pDocument;
    if (doc && !doc->GetViews().empty())
        return doc->GetViews().front();
    return nullptr;
}

void CFrameWnd::SetActiveView(CView* view) { m_pActiveView = view; }

CDocument* CFrameWnd::GetActiveDocument() const
{
    if (m_pActiveView && m_pActiveView->GetDocument())
        return m_pActiveView->GetDocument();
    return m_pDocument;
}

void CFrameWnd::OnViewDestroyed(CView* view)
{
    if (m_pActiveView == view)
        m_pActiveView = nullptr;
}

// --- Layout and bars ---

void CFrameWnd::AddControlBar(CControlBar* bar)
{
    if (bar && std::find(m_bars.begin(), m_bars.end(), bar) == m_bars.end())
        m_bars.push_back(bar);
}

void CFrameWnd::RemoveControlBar(CControlBar* bar) { m_bars.erase(std::remove(m_bars.begin(), m_bars.end(), bar), m_bars.end()); }

CControlBar* CFrameWnd::GetControlBar(UINT id) const
{
    for (CControlBar* bar : m_bars)
        if (bar->m_hWnd && static_cast<UINT>(bar->GetDlgCtrlID()) == id)
            return bar;
    return nullptr;
}

void CFrameWnd::ShowControlBar(CControlBar* bar, BOOL show)
{
    if (!bar || !bar->m_hWnd)
        return;
    bar->ShowWindow(show ? SW_SHOWNA : SW_HIDE);
    RecalcLayout();
}

void CFrameWnd::RecalcLayout()
{
    if (!m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    int top = client.top;
    int bottom = client.bottom;
    const int width = client.Width();
    for (CControlBar* bar : m_bars) {
        if (!bar->m_hWnd || !(bar->GetStyle() & WS_VISIBLE))
            continue;
        const int height = bar->CalcHeight(width);
        if (bar->GetBarStyle() & CBRS_ALIGN_BOTTOM) {
            bar->PlaceBar(CRect(client.left, bottom - height, client.right, bottom));
            bottom -= height;
        } else {
            bar->PlaceBar(CRect(client.left, top, client.right, top + height));
            top += height;
        }
    }
    if (HWND pane = ::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST))
        ::MoveWindow(pane, client.left, top, width, std::max(0, bottom - top), TRUE);
}

void CFrameWnd::OnSize(UINT type, int cx, int cy)
{
    CWnd::OnSize(type, cx, cy);
    if (type != SIZE_MINIMIZED)
        RecalcLayout();
}

void CFrameWnd::SetMessageText(const wchar_t* text)
{
    auto* status = static_cast<CStatusBar*>(GetControlBar(AFX_IDW_STATUS_BAR));
    if (!status || !status->IsKindOf(RUNTIME_CLASS(CStatusBar)))
        return;
    status->SetPaneText(0, text ? text : static_cast<const wchar_t*>(AfxLoadString(AFX_IDS_IDLEMESSAGE)));
}

void CFrameWnd::SetMessageText(UINT id)
{
    SetMessageText(id ? static_cast<const wchar_t*>(GetCommandString(id, 0)) : nullptr);
}

// --- Command routing ---

BOOL CFrameWnd::RouteCommand(UINT id, UINT code)
{
    // A command from a menu or a key that its state handlers disable does not run.
    if (code == 0 || code == 1) {
        CCmdUI state;
        state.m_nID = id;
        if (RouteUpdateCmdUI(&state) && !state.m_bEnabled)
            return TRUE;
    }
    CView* view = GetActiveView();
    if (view) {
        if (view->OnCmdMsg(id, code))
            return TRUE;
    } else if (CDocument* doc = GetActiveDocument()) {
        if (doc->OnCmdMsg(id, code))
            return TRUE;
    }
    if (OnCmdMsg(id, code))
        return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(id, code);
}

BOOL CFrameWnd::RouteUpdateCmdUI(CCmdUI* ui)
{
    CView* view = GetActiveView();
    if (view) {
        if (view->OnUpdateCmdUI(ui))
            return TRUE;
    } else if (CDocument* doc = GetActiveDocument()) {
        if (doc->OnUpdateCmdUI(ui))
            return TRUE;
    }
    if (OnUpdateCmdUI(ui))
        return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnUpdateCmdUI(ui);
}

BOOL CFrameWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const HWND control = reinterpret_cast<HWND>(lParam);
    LRESULT ignored = 0;
    if (control && ReflectChildNotify(control, &ignored))
        return TRUE;
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    if (m_helpMode && (code == 0 || code == 1)) {
        // Context-help mode: the chosen command's help instead of the command.
        m_helpMode = false;
        HtmlHelp(HID_BASE_COMMAND + id, HH_HELP_CONTEXT);
        return TRUE;
    }
    return RouteCommand(id, code);
}

BOOL CFrameWnd::OnCmdMsg(UINT id, UINT code)
{
    if (code != 0 && code != 1)
        return FALSE;
    switch (id) {
    case ID_VIEW_TOOLBAR:
    case ID_VIEW_STATUS_BAR:
        if (CControlBar* bar = GetControlBar(id)) {
            ShowControlBar(bar, !(bar->GetStyle() & WS_VISIBLE));
            return TRUE;
        }
        return FALSE;
    case ID_NEXT_PANE:
    case ID_PREV_PANE:
        OnNextPane(id == ID_PREV_PANE);
        return TRUE;
    case ID_CONTEXT_HELP:
        OnContextHelp();
        return TRUE;
    case ID_HELP:
        HtmlHelp(HID_BASE_RESOURCE + m_nIDResource, HH_HELP_CONTEXT);
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CFrameWnd::OnUpdateCmdUI(CCmdUI* ui)
{
    if (ui->m_nID == ID_VIEW_TOOLBAR || ui->m_nID == ID_VIEW_STATUS_BAR) {
        CControlBar* bar = GetControlBar(ui->m_nID);
        ui->Enable(bar != nullptr);
        ui->SetCheck(bar && (bar->GetStyle() & WS_VISIBLE) ? 1 : 0);
        return TRUE;
    }
    return FALSE;
}

void CFrameWnd::OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu)
{
    CWnd::OnInitMenuPopup(popup, index, sysMenu);
    if (sysMenu || !popup)
        return;
    const int count = popup->GetMenuItemCount();
    for (int i = 0; i < count; ++i) {
        const UINT id = popup->GetMenuItemID(i);
        if (id == 0 || id == static_cast<UINT>(-1))
            continue;  // separators and sub-menus
        CCmdUI ui;
        ui.m_nID = id;
        ui.m_nIndex = static_cast<UINT>(i);
        ui.m_hMenu = popup->m_hMenu;
        RouteUpdateCmdUI(&ui);
    }
}

void CFrameWnd::OnIdleUpdateCmdUI()
{
    for (CControlBar* bar : std::vector<CControlBar*>(m_bars))
        if (bar->m_hWnd && (bar->GetStyle() & WS_VISIBLE))
            bar->OnUpdateCmdUI(this);
}

void CFrameWnd::OnMenuSelect(UINT id, UINT flags, HMENU menu)
{
    if (flags == 0xFFFF && !menu) {
        m_inMenu = false;
        SetMessageText(static_cast<const wchar_t*>(nullptr));
        return;
    }
    m_inMenu = true;
    if (flags & (MF_POPUP | MF_SEPARATOR))
        SetMessageText(L"");
    else
        SetMessageText(id);
}

BOOL CFrameWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header && header->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        if (!(info->uFlags & TTF_IDISHWND)) {
            m_tipText = GetCommandString(static_cast<UINT>(header->idFrom), 1);
            info->lpszText = const_cast<wchar_t*>(static_cast<const wchar_t*>(m_tipText));
            info->hinst = nullptr;
            *result = 0;
            return TRUE;
        }
    }
    if (header && header->code == TBN_HOTITEMCHANGE) {
        CWnd* bar = FromHandlePermanent(header->hwndFrom);
        if (bar && bar->IsKindOf(RUNTIME_CLASS(CControlBar)) &&
            (static_cast<CControlBar*>(bar)->GetBarStyle() & CBRS_FLYBY) && !m_inMenu) {
            const auto* hot = reinterpret_cast<const NMTBHOTITEM*>(lParam);
            if (hot->dwFlags & HICF_LEAVING)
                SetMessageText(static_cast<const wchar_t*>(nullptr));
            else
                SetMessageText(static_cast<UINT>(hot->idNew));
        }
    }
    return CWnd::OnNotify(wParam, lParam, result);
}

BOOL CFrameWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_MENUSELECT:
        OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
        *result = 0;
        return TRUE;
    case WM_IDLEUPDATECMDUI:
        OnIdleUpdateCmdUI();
        *result = 0;
        return TRUE;
    default:
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
}

BOOL CFrameWnd::PreTranslateMessage(MSG* msg)
{
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && m_hAccelTable)
        return ::TranslateAcceleratorW(m_hWnd, m_hAccelTable, msg) != 0;
    return FALSE;
}

// --- Help ---

void CFrameWnd::HtmlHelp(DWORD_PTR data, UINT command)
{
    CWinApp* app = AfxGetApp();
    AfxHtmlHelp(m_hWnd, app ? app->m_pszHelpFilePath : nullptr, command, data);
}

void CFrameWnd::OnContextHelp()
{
    if (m_helpMode)
        return;
    m_helpMode = true;
    HCURSOR helpCursor = ::LoadCursorW(nullptr, IDC_HELP);
    ::SetCapture(m_hWnd);
    ::SetCursor(helpCursor);
    DWORD helpId = 0;
    bool chosen = false;
    MSG msg;
    while (m_helpMode && ::GetMessageW(&msg, nullptr, 0, 0)) {
        if (msg.message == WM_LBUTTONDOWN || msg.message == WM_NCLBUTTONDOWN) {
            chosen = true;
            HWND hit = ::WindowFromPoint(msg.pt);
            for (HWND wnd = hit; wnd && !helpId; wnd = ::GetParent(wnd)) {
                POINT p = msg.pt;
                ::ScreenToClient(wnd, &p);
                helpId = static_cast<DWORD>(::SendMessageW(wnd, WM_HELPHITTEST, 0, MAKELPARAM(p.x, p.y)));
                if (wnd == m_hWnd)
                    break;
            }
            break;
        }
        if ((msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) || msg.message == WM_RBUTTONDOWN)
            break;
        if (msg.message == WM_MOUSEMOVE || msg.message == WM_SETCURSOR) {
            ::SetCursor(helpCursor);
            continue;
        }
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && m_hAccelTable &&
            ::TranslateAcceleratorW(m_hWnd, m_hAccelTable, &msg))
            continue;  // a command chosen in the mode showed its help
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (msg.message == WM_QUIT)
        ::PostQuitMessage(static_cast<int>(msg.wParam));
    const bool stillInMode = m_helpMode;
    m_helpMode = false;
    ::ReleaseCapture();
    if (chosen && stillInMode)
        HtmlHelp(helpId ? helpId : HID_BASE_RESOURCE + m_nIDResource, HH_HELP_CONTEXT);
}

void CFrameWnd::OnNextPane(BOOL previous)
{
    CWnd* pane = FromHandlePermanent(::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST));
    if (!pane || !pane->IsKindOf(RUNTIME_CLASS(CSplitterWnd)))
        return;
    CWnd* current = GetActiveView();
    if (CWnd* focus = CWnd::FromHandlePermanent(::GetFocus()); focus && focus->IsKindOf(RUNTIME_CLASS(CView)))
        current = focus;
    if (CWnd* next = static_cast<CSplitterWnd*>(pane)->GetNextPane(current, previous))
        next->SetFocus();
}

// --- Files, focus, end ---

void CFrameWnd::OnDropFiles(HDROP drop)
{
    SetForegroundWindow();
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    CStringArray paths;
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        CString path;
        wchar_t* buffer = path.GetBuffer(static_cast<int>(length) + 1);
        ::DragQueryFileW(drop, i, buffer, length + 1);
        path.ReleaseBuffer(static_cast<int>(length));
        paths.Add(path);
    }
    ::DragFinish(drop);
    CWinApp* app = AfxGetApp();
    for (INT_PTR i = 0; app && i < paths.GetSize(); ++i)
        app->OpenDocumentFile(paths[i]);
}

void CFrameWnd::OnSetFocus(CWnd* oldWnd)
{
    if (CView* view = GetActiveView(); view && view->m_hWnd) {
        view->SetFocus();
        return;
    }
    CWnd::OnSetFocus(oldWnd);
}

void CFrameWnd::OnClose() { DestroyWindow(); }

void CFrameWnd::PostNcDestroy()
{
    CWinApp* app = AfxGetApp();
    if (m_pDocument && m_pDocument->GetDocTemplate())
        m_pDocument->GetDocTemplate()->OnFrameGone(m_pDocument);
    m_pDocument = nullptr;
    if (app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
    delete this;
}
