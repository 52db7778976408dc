#include "Wnd.h"

#include "AfxMessageBox.h"
#include "AfxResource.h"
#include "CException.h"
#include "DC.h"
#include "Menu.h"
#include "WinApp.h"
#include "WinThread.h"

#include <shellapi.h>

#include <exception>
#include <map>
#include <memory>
#include <unordered_map>

IMPLEMENT_DYNAMIC(CWnd, CObject)

const wchar_t* const AfxWndClassName = L"VesperlinWnd";

namespace {

// Per thread, as windows belong to threads.
struct ThreadWindows {
    std::unordered_map<HWND, CWnd*> permanent;
    std::unordered_map<HWND, std::unique_ptr<CWnd>> temporary;
    // The creation hook.
    HHOOK hook = nullptr;
    int hookDepth = 0;
    CWnd* pending = nullptr;
    // The message being handled (for Default()).
    MSG current{};
};

// Held through a plain pointer: a thread-local object with a destructor hangs thread exit in
// the 32-bit build (the destructor runs under the loader lock); AfxTermThreadWindows frees it.
thread_local ThreadWindows* t_windows = nullptr;

ThreadWindows& Windows()
{
    if (!t_windows)
        t_windows = new ThreadWindows;
    return *t_windows;
}

}  // namespace

void AfxTermThreadWindows()
{
    if (ThreadWindows* windows = t_windows) {
        CWnd::DeleteTempMap();
        t_windows = nullptr;
        delete windows;
    }
}

// --- Handle map ---

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    auto& map = Windows().permanent;
    const auto found = map.find(hwnd);
    return found == map.end() ? nullptr : found->second;
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    if (CWnd* wnd = FromHandlePermanent(hwnd))
        return wnd;
    auto& temp = Windows().temporary[hwnd];
    if (!temp) {
        temp = std::make_unique<CWnd>();
        temp->m_hWnd = hwnd;  // foreign: never destroyed, never subclassed
    }
    return temp.get();
}

void CWnd::DeleteTempMap()
{
    if (!t_windows)
        return;  // nothing met on this thread
    auto& temp = t_windows->temporary;
    for (auto& entry : temp)
        entry.second->m_hWnd = nullptr;
    temp.clear();
}

BOOL CWnd::Attach(HWND hwnd)
{
    if (!hwnd || m_hWnd || FromHandlePermanent(hwnd))
        return FALSE;
    Windows().permanent[hwnd] = this;
    // A temporary object met before stays valid but now stands for nothing of ours.
    m_hWnd = hwnd;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hwnd = m_hWnd;
    if (hwnd) {
        auto& map = Windows().permanent;
        const auto found = map.find(hwnd);
        if (found != map.end() && found->second == this)
            map.erase(found);
    }
    m_hWnd = nullptr;
    m_ownsWindow = false;
    return hwnd;
}

CWnd::~CWnd()
{
    if (m_accessibleProxy) {
        // The proxy may outlive us in a client's hands: it answers CO_E_OBJNOTCONNECTED then.
        extern void AfxDisconnectAccessibleProxy(IAccessible * proxy);
        AfxDisconnectAccessibleProxy(m_accessibleProxy);
        m_accessibleProxy->Release();
        m_accessibleProxy = nullptr;
    }
    if (m_standardAccessible) {
        m_standardAccessible->Release();
        m_standardAccessible = nullptr;
    }
    if (!m_hWnd)
        return;
    if (m_ownsWindow && ::IsWindow(m_hWnd)) {
        ::DestroyWindow(m_hWnd);  // WM_NCDESTROY detaches us
        if (m_hWnd)
            Detach();
        return;
    }
    if (m_pfnSuper)
        UnsubclassWindow();
    else
        Detach();
}

// --- Creation hook ---

LRESULT CALLBACK AfxCbtHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    ThreadWindows& windows = Windows();
    if (code == HCBT_CREATEWND && windows.pending) {
        CWnd* wnd = windows.pending;
        windows.pending = nullptr;
        wnd->AttachFromHook(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(windows.hook, code, wParam, lParam);
}

void AfxHookWindowCreate(CWnd* wnd)
{
    ThreadWindows& windows = Windows();
    if (windows.hookDepth++ == 0)
        windows.hook = SetWindowsHookExW(WH_CBT, AfxCbtHookProc, nullptr, GetCurrentThreadId());
    windows.pending = wnd;
}

BOOL AfxUnhookWindowCreate()
{
    ThreadWindows& windows = Windows();
    const BOOL attached = windows.pending == nullptr;
    windows.pending = nullptr;
    if (windows.hookDepth > 0 && --windows.hookDepth == 0 && windows.hook) {
        UnhookWindowsHookEx(windows.hook);
        windows.hook = nullptr;
    }
    return attached;
}

void CWnd::AttachFromHook(HWND hwnd)
{
    if (!Attach(hwnd))
        return;
    PreSubclassWindow();
    WNDPROC old = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    if (old != AfxWndProc) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc));
        m_pfnSuper = old;
    }
}

const wchar_t* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon)
{
    static std::map<std::wstring, std::wstring> names;  // keeps the returned names alive
    wchar_t name[96];
    wsprintfW(name, L"Vesperlin:%p:%x:%p:%p:%p", static_cast<void*>(AfxGetInstanceHandle()), classStyle,
              static_cast<void*>(cursor), static_cast<void*>(background), static_cast<void*>(icon));
    std::wstring& stored = names[name];
    if (stored.empty()) {
        WNDCLASSW wc{};
        wc.style = classStyle;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = AfxGetInstanceHandle();
        wc.hCursor = cursor;
        wc.hbrBackground = background;
        wc.hIcon = icon;
        wc.lpszClassName = name;
        WNDCLASSW existing{};
        if (!GetClassInfoW(wc.hInstance, name, &existing) && !RegisterClassW(&wc))
            return nullptr;
        stored = name;
    }
    return stored.c_str();
}

namespace {
void RegisterDefaultClass()
{
    static bool done = false;
    if (done)
        return;
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = AfxWndClassName;
    WNDCLASSW existing{};
    done = GetClassInfoW(wc.hInstance, AfxWndClassName, &existing) || RegisterClassW(&wc);
}
}  // namespace

BOOL CWnd::PreCreateWindow(CREATESTRUCTW& cs)
{
    if (!cs.lpszClass) {
        RegisterDefaultClass();
        cs.lpszClass = AfxWndClassName;
    }
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style, int x, int y,
                    int cx, int cy, HWND parent, HMENU menuOrId, void* param)
{
    if (m_hWnd)
        return FALSE;
    CREATESTRUCTW cs{};
    cs.dwExStyle = exStyle;
    cs.lpszClass = className;
    cs.lpszName = windowName;
    cs.style = style;
    cs.x = x;
    cs.y = y;
    cs.cx = cx;
    cs.cy = cy;
    cs.hwndParent = parent;
    cs.hMenu = menuOrId;
    cs.hInstance = AfxGetInstanceHandle();
    cs.lpCreateParams = param;
    if (!PreCreateWindow(cs))
        return FALSE;
    AfxHookWindowCreate(this);
    HWND hwnd = ::CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y, cs.cx, cs.cy,
                                  cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    AfxUnhookWindowCreate();
    if (!hwnd) {
        // A window that failed in WM_CREATE has been destroyed and detached already.
        if (m_hWnd)
            Detach();
        return FALSE;
    }
    if (m_hWnd != hwnd) {  // made without our hook seeing it (should not happen)
        ::DestroyWindow(hwnd);
        return FALSE;
    }
    m_ownsWindow = true;
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id, void* param)
{
    return CreateEx(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), param);
}

BOOL CWnd::Create(const wchar_t* className, const wchar_t* windowName, DWORD style, const RECT& rect, CWnd* parent,
                  UINT id)
{
    return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id);
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    if (FromHandlePermanent(m_hWnd) != this) {  // borrowed through a temporary object
        return FALSE;
    }
    return ::DestroyWindow(m_hWnd);
}

// --- Subclassing ---

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    if (!Attach(hwnd))
        return FALSE;
    PreSubclassWindow();
    WNDPROC old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
    if (old != AfxWndProc)
        m_pfnSuper = old;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    HWND control = parent ? ::GetDlgItem(parent->m_hWnd, static_cast<int>(id)) : nullptr;
    return control && SubclassWindow(control);
}

HWND CWnd::UnsubclassWindow()
{
    if (m_hWnd && m_pfnSuper &&
        reinterpret_cast<WNDPROC>(GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC)) == AfxWndProc)
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    return Detach();
}

void CWnd::AfterNcDestroy()
{
    HWND hwnd = m_hWnd;
    if (m_pfnSuper && reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)) == AfxWndProc)
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    Detach();
    PostNcDestroy();  // may delete this
}

// --- The window procedure and its exception boundary ---

void AfxReportWndProcException(const wchar_t* what)
{
    CString text = L"An internal error occurred";
    if (what && *what)
        text += CString(L": ") + what;
    AfxMessageBox(text, MB_OK | MB_ICONSTOP);
}

namespace {
// The answer a message gets when its handler failed: creation fails, painting is over.
LRESULT AnswerAfterException(HWND hwnd, UINT message)
{
    switch (message) {
    case WM_CREATE:
        return -1;
    case WM_NCCREATE:
        return FALSE;
    case WM_PAINT:
        ::ValidateRect(hwnd, nullptr);
        return 0;
    default:
        return 0;
    }
}
}  // namespace

LRESULT AfxCallWndProc(CWnd* wnd, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    ThreadWindows& windows = Windows();
    const MSG saved = windows.current;
    windows.current.hwnd = hwnd;
    windows.current.message = message;
    windows.current.wParam = wParam;
    windows.current.lParam = lParam;
    LRESULT result = 0;
    try {
        result = wnd->WindowProc(message, wParam, lParam);
    } catch (const CUserException&) {
        result = AnswerAfterException(hwnd, message);  // the user has been told
    } catch (const CException& e) {
        result = AnswerAfterException(hwnd, message);
        try {
            e.ReportError(MB_OK | MB_ICONSTOP);
        } catch (...) {
        }
    } catch (const std::exception& e) {
        result = AnswerAfterException(hwnd, message);
        try {
            AfxReportWndProcException(CString::FromNarrow(e.what(), -1, CP_UTF8));
        } catch (...) {
        }
    } catch (...) {
        result = AnswerAfterException(hwnd, message);
        try {
            AfxReportWndProcException(nullptr);
        } catch (...) {
        }
    }
    windows.current = saved;
    if (message == WM_NCDESTROY && CWnd::FromHandlePermanent(hwnd) == wnd) {
        try {
            wnd->AfterNcDestroy();
        } catch (...) {
            AfxReportWndProcException(nullptr);
        }
    }
    return result;
}

LRESULT CALLBACK AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
    if (!wnd)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return AfxCallWndProc(wnd, hwnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    const MSG& m = Windows().current;
    return DefWindowProc(m.message, m.wParam, m.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

namespace {
// A borrowed DC for the length of one handler call.
struct BorrowedDC {
    explicit BorrowedDC(WPARAM dc) { wrapper.Attach(reinterpret_cast<HDC>(dc)); }
    ~BorrowedDC() { wrapper.Detach(); }
    CDC wrapper;
};
}  // namespace

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    *result = 0;
    switch (message) {
    case WM_CREATE:
        *result = OnCreate(reinterpret_cast<LPCREATESTRUCTW>(lParam));
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return TRUE;
    case WM_NCDESTROY:
        OnNcDestroy();
        return TRUE;
    case WM_CLOSE:
        OnClose();
        return TRUE;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return TRUE;
    case WM_MOVE:
        OnMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return TRUE;
    case WM_PAINT:
        OnPaint();
        return TRUE;
    case WM_ERASEBKGND: {
        BorrowedDC dc(wParam);
        *result = OnEraseBkgnd(&dc.wrapper);
        return TRUE;
    }
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_SHOWWINDOW:
        OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam));
        return TRUE;
    case WM_SETFOCUS:
        OnSetFocus(FromHandle(reinterpret_cast<HWND>(wParam)));
        return TRUE;
    case WM_KILLFOCUS:
        OnKillFocus(FromHandle(reinterpret_cast<HWND>(wParam)));
        return TRUE;
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), CPoint(lParam));
        return TRUE;
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wParam), CPoint(lParam));
        return TRUE;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(static_cast<UINT>(wParam), CPoint(lParam));
        return TRUE;
    case WM_RBUTTONDOWN:
        OnRButtonDown(static_cast<UINT>(wParam), CPoint(lParam));
        return TRUE;
    case WM_RBUTTONUP:
        OnRButtonUp(static_cast<UINT>(wParam), CPoint(lParam));
        return TRUE;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), CPoint(lParam));
        return TRUE;
    case WM_MOUSEWHEEL:
        *result = OnMouseWheel(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), CPoint(lParam));
        return TRUE;
    case WM_KEYDOWN:
        OnKeyDown(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_KEYUP:
        OnKeyUp(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_CHAR:
        OnChar(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_SETCURSOR:
        *result = OnSetCursor(FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_CONTEXTMENU:
        OnContextMenu(FromHandle(reinterpret_cast<HWND>(wParam)), CPoint(lParam));
        return TRUE;
    case WM_PARENTNOTIFY:
        OnParentNotify(LOWORD(wParam), lParam);
        return TRUE;
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return TRUE;
    case WM_INITMENUPOPUP: {
        CMenu* popup = CMenu::FromHandle(reinterpret_cast<HMENU>(wParam));
        OnInitMenuPopup(popup, LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    }
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        return TRUE;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_HELP:
        *result = OnHelpInfo(reinterpret_cast<HELPINFO*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return TRUE;
        return FALSE;
    case WM_NOTIFY:
        return OnNotify(wParam, lParam, result);
    case WM_DRAWITEM:
        OnDrawItem(static_cast<int>(wParam), reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        *result = TRUE;
        return TRUE;
    case WM_MEASUREITEM:
        OnMeasureItem(static_cast<int>(wParam), reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
        *result = TRUE;
        return TRUE;
    case WM_DELETEITEM:
        return ReflectChildNotify(reinterpret_cast<LPDELETEITEMSTRUCT>(lParam)->hwndItem, result);
    case WM_COMPAREITEM:
        return ReflectChildNotify(reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam)->hwndItem, result);
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        BorrowedDC dc(wParam);
        *result = reinterpret_cast<LRESULT>(
            OnCtlColor(&dc.wrapper, FromHandle(reinterpret_cast<HWND>(lParam)), message - WM_CTLCOLORMSGBOX));
        return TRUE;
    }
    case WM_HSCROLL:
        OnHScroll(LOWORD(wParam), HIWORD(wParam), FromHandle(reinterpret_cast<HWND>(lParam)));
        return TRUE;
    case WM_VSCROLL:
        OnVScroll(LOWORD(wParam), HIWORD(wParam), FromHandle(reinterpret_cast<HWND>(lParam)));
        return TRUE;
    case WM_GETOBJECT: {
        extern BOOL AfxAnswerGetObject(CWnd * wnd, WPARAM wParam, LPARAM lParam, LRESULT * result);
        return AfxAnswerGetObject(this, wParam, lParam, result);
    }
    default:
        return FALSE;
    }
}

BOOL CWnd::OnCmdMsg(UINT, UINT) { return FALSE; }

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const HWND control = reinterpret_cast<HWND>(lParam);
    LRESULT ignored = 0;
    if (control && ReflectChildNotify(control, &ignored))
        return TRUE;
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* result)
{
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    return header && ReflectChildNotify(header->hwndFrom, result);
}

BOOL CWnd::ReflectChildNotify(HWND child, LRESULT* result)
{
    // Only children: a notification from the parent (a property sheet to its page) stays here.
    CWnd* control = FromHandlePermanent(child);
    if (!control || control == this || ::GetParent(child) != m_hWnd)
        return FALSE;
    const MSG& m = Windows().current;
    return control->OnChildNotify(m.message, m.wParam, m.lParam, result);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_DRAWITEM:
        m_reflectUnhandled = false;
        DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        *result = TRUE;
        return !m_reflectUnhandled;
    case WM_MEASUREITEM:
        m_reflectUnhandled = false;
        MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
        *result = TRUE;
        return !m_reflectUnhandled;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        const MSG& m = Windows().current;
        BorrowedDC dc(m.wParam);
        HBRUSH brush = CtlColor(&dc.wrapper, message - WM_CTLCOLORMSGBOX);
        *result = reinterpret_cast<LRESULT>(brush);
        return brush != nullptr;
    }
    default:
        return FALSE;
    }
}

void CWnd::DrawItem(LPDRAWITEMSTRUCT) { m_reflectUnhandled = true; }
void CWnd::MeasureItem(LPMEASUREITEMSTRUCT) { m_reflectUnhandled = true; }
HBRUSH CWnd::CtlColor(CDC*, UINT) { return nullptr; }

void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT drawItem)
{
    LRESULT result = 0;
    if (drawItem && drawItem->CtlType != ODT_MENU && ReflectChildNotify(drawItem->hwndItem, &result))
        return;
    Default();
}

void CWnd::OnMeasureItem(int id, LPMEASUREITEMSTRUCT measureItem)
{
    LRESULT result = 0;
    if (measureItem && measureItem->CtlType != ODT_MENU && ReflectChildNotify(::GetDlgItem(m_hWnd, id), &result))
        return;
    Default();
}

HBRUSH CWnd::OnCtlColor(CDC*, CWnd* wnd, UINT)
{
    LRESULT result = 0;
    if (wnd && ReflectChildNotify(wnd->m_hWnd, &result))
        return reinterpret_cast<HBRUSH>(result);
    return reinterpret_cast<HBRUSH>(Default());
}

void CWnd::OnHScroll(UINT, UINT, CWnd* scrollBar)
{
    LRESULT result = 0;
    if (scrollBar && ReflectChildNotify(scrollBar->m_hWnd, &result))
        return;
    Default();
}

void CWnd::OnVScroll(UINT, UINT, CWnd* scrollBar)
{
    LRESULT result = 0;
    if (scrollBar && ReflectChildNotify(scrollBar->m_hWnd, &result))
        return;
    Default();
}

int CWnd::OnCreate(LPCREATESTRUCTW) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnNcDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnMove(int, int) { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) { return static_cast<BOOL>(Default()); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
void CWnd::OnContextMenu(CWnd*, CPoint) { Default(); }
void CWnd::OnParentNotify(UINT, LPARAM) { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
void CWnd::OnInitMenuPopup(CMenu*, UINT, BOOL) { Default(); }
void CWnd::OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
void CWnd::OnDropFiles(HDROP) { Default(); }
BOOL CWnd::OnHelpInfo(HELPINFO*) { return static_cast<BOOL>(Default()); }

// --- PreTranslateMessage and the modal loop ---

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::WalkPreTranslateTree(HWND stop, MSG* msg)
{
    for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        CWnd* wnd = FromHandlePermanent(hwnd);
        if (wnd && wnd->PreTranslateMessage(msg))
            return TRUE;
        if (hwnd == stop)
            break;
    }
    return FALSE;
}

BOOL AfxPreTranslateMessage(MSG* msg)
{
    if (CWinThread* thread = AfxGetThread())
        return thread->PreTranslateMessage(msg);
    return msg->hwnd && CWnd::WalkPreTranslateTree(nullptr, msg);
}

int CWnd::RunModalLoop()
{
    m_modalRunning = true;
    m_modalResult = -1;
    const HWND self = m_hWnd;
    while (ContinueModal()) {
        MSG msg;
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
            m_modalRunning = false;
            return -1;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (!::IsWindow(self) && m_modalRunning) {  // destroyed behind the loop's back
            m_modalRunning = false;
            break;
        }
    }
    return m_modalResult;
}

void CWnd::EndModalLoop(int result)
{
    m_modalResult = result;
    if (m_modalRunning) {
        m_modalRunning = false;
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);  // wakes the loop
    }
}

CModalScope::CModalScope(CWnd* parent)
{
    m_owner = parent ? parent->m_hWnd : nullptr;
    if (!m_owner) {
        CWnd* main = AfxGetMainWnd();
        m_owner = main ? main->m_hWnd : nullptr;
    }
    while (m_owner && (GetWindowLongPtrW(m_owner, GWL_STYLE) & WS_CHILD))
        m_owner = ::GetParent(m_owner);
    m_disabled = m_owner && ::IsWindowEnabled(m_owner);
    if (m_disabled)
        ::EnableWindow(m_owner, FALSE);
}

CModalScope::~CModalScope()
{
    if (m_disabled)
        ::EnableWindow(m_owner, TRUE);
}

void CModalScope::Finish(CWnd& modal)
{
    // The owner is enabled before the modal window goes, so the activation returns to it.
    if (m_disabled)
        ::EnableWindow(m_owner, TRUE);
    m_disabled = false;
    if (m_owner && modal.m_hWnd && ::GetActiveWindow() == modal.m_hWnd)
        ::SetActiveWindow(m_owner);
    if (modal.m_hWnd)
        ::DestroyWindow(modal.m_hWnd);
}

CWnd* AfxGetMainWnd()
{
    CWinThread* thread = AfxGetThread();
    return thread ? thread->m_pMainWnd : nullptr;
}

// --- Wrappers that take more than a line ---

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags)
{
    const DWORD style = GetStyle();
    const DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
    if (swpFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags)
{
    const DWORD style = GetExStyle();
    const DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(changed));
    if (swpFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return TRUE;
}

CWnd* CWnd::GetTopLevelParent() const
{
    HWND hwnd = m_hWnd;
    while (hwnd && (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD))
        hwnd = ::GetParent(hwnd);
    return FromHandle(hwnd);
}

void CWnd::ClientToScreen(RECT* r) const
{
    ::ClientToScreen(m_hWnd, reinterpret_cast<POINT*>(&r->left));
    ::ClientToScreen(m_hWnd, reinterpret_cast<POINT*>(&r->right));
}

void CWnd::ScreenToClient(RECT* r) const
{
    ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&r->left));
    ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&r->right));
}

void CWnd::CenterWindow(CWnd* alternateOwner)
{
    HWND owner = alternateOwner ? alternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
    if (GetStyle() & WS_CHILD)
        owner = ::GetParent(m_hWnd);
    CRect area;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &area);
    } else {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    if (GetStyle() & WS_CHILD) {
        ::GetClientRect(owner, &area);
    }
    CRect self;
    GetWindowRect(&self);
    int x = area.left + (area.Width() - self.Width()) / 2;
    int y = area.top + (area.Height() - self.Height()) / 2;
    if (!(GetStyle() & WS_CHILD)) {
        CRect work;
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        x = x < work.left ? work.left : (x + self.Width() > work.right ? work.right - self.Width() : x);
        y = y < work.top ? work.top : (y + self.Height() > work.bottom ? work.bottom - self.Height() : y);
    }
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CString CWnd::GetWindowText() const
{
    const int length = ::GetWindowTextLengthW(m_hWnd);
    CString text;
    if (length > 0) {
        wchar_t* buffer = text.GetBuffer(length + 1);
        const int got = ::GetWindowTextW(m_hWnd, buffer, length + 1);
        text.ReleaseBuffer(got);
    }
    return text;
}

CString CWnd::GetDlgItemText(int id) const
{
    HWND item = ::GetDlgItem(m_hWnd, id);
    return item ? FromHandle(item)->GetWindowText() : CString();
}

int CWnd::GetCheckedRadioButton(int first, int last) const
{
    for (int id = first; id <= last; ++id) {
        if (::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED)
            return id;
    }
    return 0;
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL deep)
{
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        ::SendMessageW(child, message, wParam, lParam);
        if (deep)
            FromHandle(child)->SendMessageToDescendants(message, wParam, lParam, TRUE);
    }
}

CMenu* CWnd::GetMenu() const { return CMenu::FromHandle(::GetMenu(m_hWnd)); }
BOOL CWnd::SetMenu(CMenu* menu) { return ::SetMenu(m_hWnd, menu ? menu->m_hMenu : nullptr); }
CMenu* CWnd::GetSystemMenu(BOOL revert) const { return CMenu::FromHandle(::GetSystemMenu(m_hWnd, revert)); }
void CWnd::DragAcceptFiles(BOOL accept) { ::DragAcceptFiles(m_hWnd, accept); }

int CWnd::MessageBox(const wchar_t* text, const wchar_t* caption, UINT type)
{
    CWinApp* app = AfxGetApp();
    return AfxShowMessageBox(m_hWnd, text, caption ? caption : (app ? app->m_pszAppName : L""), type);
}

void CWnd::HtmlHelp(DWORD_PTR data, UINT command)
{
    // Other windows pass through the program (its main window may adjust the call); the main
    // window itself, or any window of a program without one, goes to the help file: asking the
    // program again would come back here for ever.
    CWinApp* app = AfxGetApp();
    CWnd* main = app ? app->m_pMainWnd : nullptr;
    if (main && main != this && main->m_hWnd && ::IsWindow(main->m_hWnd)) {
        app->HtmlHelp(data, command);
        return;
    }
    AfxHtmlHelp(m_hWnd, app ? app->m_pszHelpFilePath : nullptr, command, data);
}
