// CWnd: a C++ object bound to a Win32 window, with one window procedure for the whole
// library, decoded virtual handlers for the common messages and a per-class dispatch of
// the rest.
//
//     class CMyWnd : public CWnd {
//     protected:
//         void OnSize(UINT type, int cx, int cy) override;          // a decoded handler
//         BOOL OnCmdMsg(UINT id, UINT code) override {               // commands, ranges
//             if (id >= ID_FIRST && id <= ID_LAST) { OnPick(id); return TRUE; }
//             return CWnd::OnCmdMsg(id, code);
//         }
//         BOOL OnWndMsg(UINT m, WPARAM w, LPARAM l, LRESULT* r) override {  // the rest
//             if (m == WM_OPEN_PATH) { *r = OnOpenPath(w, l); return TRUE; }
//             return CWnd::OnWndMsg(m, w, l, r);
//         }
//     };
//
// Ownership: a window made by CreateEx belongs to its object (the destructor destroys it);
// a window subclassed or attached is only borrowed (the destructor lets it go); a window
// met through FromHandle is foreign: its temporary object never destroys it.
// Subclassing starts with the first message (a creation hook attaches the object before
// WM_NCCREATE), so creation-time messages such as WM_MEASUREITEM reach the object.
// No C++ exception leaves a window procedure: it is reported through the message-box
// funnel (CUserException silently) and the message gets a harmless answer.
//
// Reflection: the base handlers of WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM,
// WM_DELETEITEM, WM_COMPAREITEM, WM_CTLCOLOR* and WM_H/VSCROLL first offer the message to
// the child control that sent it (OnChildNotify); the parent's own handling follows when
// the child leaves it.
#pragma once

#include "CObject.h"
#include "CString.h"
#include "Geometry.h"
#include "HtmlHelp.h"

#include <oleacc.h>

class CDC;
class CMenu;
class CWnd;

class CWnd : public CObject {
    DECLARE_DYNAMIC(CWnd)
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // --- The handle map (per thread) ---
    // The object of a window: its permanent object, else a temporary one (deleted by the
    // thread at idle time, never destroying the window). Null for a null handle.
    static CWnd* FromHandle(HWND hwnd);
    // Only an object attached to the window (created, subclassed or attached).
    static CWnd* FromHandlePermanent(HWND hwnd);
    // Deletes this thread's temporary objects (the thread does this when idle).
    static void DeleteTempMap();
    // Binds the object to a window without subclassing it (borrowed); FALSE when either is bound.
    BOOL Attach(HWND hwnd);
    HWND Detach();

    // --- Creation ---
    // Registers (once) and returns a window class of this library's windows.
    BOOL CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id, void* param = nullptr);
    BOOL CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style, int x, int y,
                  int cx, int cy, HWND parent, HMENU menuOrId, void* param = nullptr);
    virtual BOOL Create(const wchar_t* className, const wchar_t* windowName, DWORD style, const RECT& rect,
                        CWnd* parent, UINT id);
    // Adjusts the creation data before the window is made; FALSE cancels the creation.
    virtual BOOL PreCreateWindow(CREATESTRUCTW& cs);
    virtual BOOL DestroyWindow();

    // --- Subclassing ---
    // Takes over an existing window's messages (borrowed); FALSE when the window has an
    // object already. PreSubclassWindow runs first.
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();
    // Called once the object knows its window, before it handles messages of its own.
    virtual void PreSubclassWindow() {}

    // --- Messages ---
    // The library's window procedure calls this; decodes and dispatches, else DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Dispatch: TRUE when handled, *result the answer. Override it for messages without a
    // decoded handler (and call the base for the rest).
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Commands of menus, accelerators and controls (code: notification code, 0 for menus,
    // 1 for accelerators). TRUE when handled.
    virtual BOOL OnCmdMsg(UINT id, UINT code);
    // A message sent by this control to its parent and reflected back; TRUE when handled.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Keys and mouse before dispatch; TRUE when used up. Called along the parent chain.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Hands msg to PreTranslateMessage of the windows from msg->hwnd up its parents (ending
    // with stop when given); TRUE as soon as one uses it up.
    static BOOL WalkPreTranslateTree(HWND stop, MSG* msg);
    // The original window procedure with the message being handled.
    LRESULT Default();
    // The original window procedure (the class's, or the one replaced by subclassing).
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // After the window is gone (WM_NCDESTROY); windows that delete themselves do it here.
    virtual void PostNcDestroy() {}

    // --- Modal loop (dialogs, property sheets) ---
    // Runs messages (with PreTranslateMessage of the windows and the thread) until
    // EndModalLoop; returns its code. A WM_QUIT ends the loop with -1 and is posted again.
    int RunModalLoop();
    virtual void EndModalLoop(int result);
    // Checked before each message of the loop; FALSE ends it.
    virtual BOOL ContinueModal() { return m_modalRunning; }

    // --- Reflected owner-draw of controls (OnChildNotify's defaults call them) ---
    virtual void DrawItem(LPDRAWITEMSTRUCT drawItem);
    virtual void MeasureItem(LPMEASUREITEMSTRUCT measureItem);
    // WM_CTLCOLOR* reflected; a brush handles it, null leaves it to the parent.
    virtual HBRUSH CtlColor(CDC* dc, UINT ctlColor);

    // --- Accessibility (WM_GETOBJECT with OBJID_CLIENT) ---
    // child: CHILDID_SELF (0) for the window, n for its n-th child element.
    // The base answers from the system's standard object of the window.
    virtual HRESULT get_accName(VARIANT child, BSTR* name);
    virtual HRESULT get_accRole(VARIANT child, VARIANT* role);
    virtual HRESULT get_accState(VARIANT child, VARIANT* state);
    // Child elements the standard object does not know (list rows): their count, or -1
    // to leave it to the standard object.
    virtual long GetAccessibleChildCount();
    // The system's standard accessible object of the client area (not AddRef'd; held by
    // the object), or null.
    IAccessible* GetStandardAccessible();
    // Makes the window answer WM_GETOBJECT with the overrides above (call it in the constructor).
    void EnableActiveAccessibility() { m_accessibilityEnabled = true; }

    // --- Thin wrappers ---
    DWORD GetStyle() const { return static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0);
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    CWnd* GetOwner() const { return FromHandle(::GetWindow(m_hWnd, GW_OWNER)); }
    CWnd* GetTopLevelParent() const;
    CWnd* GetFocus() const { return FromHandle(::GetFocus()); }
    CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL UpdateWindow() { return ::UpdateWindow(m_hWnd); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
    BOOL RedrawWindow(const RECT* rect = nullptr, HRGN region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE)
    {
        return ::RedrawWindow(m_hWnd, rect, region, flags);
    }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void ClientToScreen(POINT* p) const { ::ClientToScreen(m_hWnd, p); }
    void ClientToScreen(RECT* r) const;
    void ScreenToClient(POINT* p) const { ::ScreenToClient(m_hWnd, p); }
    void ScreenToClient(RECT* r) const;
    BOOL MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE) { return ::MoveWindow(m_hWnd, x, y, cx, cy, repaint); }
    BOOL MoveWindow(const RECT& r, BOOL repaint = TRUE) { return MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, repaint); }
    BOOL SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags)
    {
        return ::SetWindowPos(m_hWnd, after ? after->m_hWnd : nullptr, x, y, cx, cy, flags);
    }
    void CenterWindow(CWnd* alternateOwner = nullptr);
    void SetWindowText(const wchar_t* text) { ::SetWindowTextW(m_hWnd, text); }
    CString GetWindowText() const;
    void GetWindowText(CString& text) const { text = GetWindowText(); }
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    void SetFont(HFONT font, BOOL redraw = TRUE) { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw); }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, BOOL deep = TRUE);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr) { return ::SetTimer(m_hWnd, id, elapse, proc); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    void SetDlgItemText(int id, const wchar_t* text) { ::SetDlgItemTextW(m_hWnd, id, text); }
    CString GetDlgItemText(int id) const;
    int GetDlgItemText(int id, CString& text) const { text = GetDlgItemText(id); return text.GetLength(); }
    void SetDlgItemInt(int id, UINT value, BOOL isSigned = TRUE) { ::SetDlgItemInt(m_hWnd, id, value, isSigned); }
    UINT GetDlgItemInt(int id, BOOL* translated = nullptr, BOOL isSigned = TRUE) const
    {
        return ::GetDlgItemInt(m_hWnd, id, translated, isSigned);
    }
    void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    void CheckRadioButton(int first, int last, int check) { ::CheckRadioButton(m_hWnd, first, last, check); }
    // The id of the checked button of first..last, or 0.
    int GetCheckedRadioButton(int first, int last) const;
    CMenu* GetMenu() const;
    BOOL SetMenu(CMenu* menu);
    CMenu* GetSystemMenu(BOOL revert) const;
    HICON SetIcon(HICON icon, BOOL big) { return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big, reinterpret_cast<LPARAM>(icon))); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    void DragAcceptFiles(BOOL accept = TRUE);
    int MessageBox(const wchar_t* text, const wchar_t* caption = nullptr, UINT type = MB_OK);
    // Help through the program's help hook (CWinApp::HtmlHelp); the main window's own call
    // goes to the help file.
    virtual void HtmlHelp(DWORD_PTR data, UINT command);

protected:
    // --- Decoded handlers; each base lets the original window procedure answer. ---
    virtual int OnCreate(LPCREATESTRUCTW cs);
    virtual void OnDestroy();
    virtual void OnNcDestroy();
    virtual void OnClose();
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnMove(int x, int y);
    virtual void OnPaint();
    virtual BOOL OnEraseBkgnd(CDC* dc);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnShowWindow(BOOL show, UINT status);
    virtual void OnSetFocus(CWnd* oldWnd);
    virtual void OnKillFocus(CWnd* newWnd);
    virtual void OnLButtonDown(UINT flags, CPoint point);
    virtual void OnLButtonUp(UINT flags, CPoint point);
    virtual void OnLButtonDblClk(UINT flags, CPoint point);
    virtual void OnRButtonDown(UINT flags, CPoint point);
    virtual void OnRButtonUp(UINT flags, CPoint point);
    virtual void OnMouseMove(UINT flags, CPoint point);
    virtual BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
    virtual void OnKeyDown(UINT key, UINT repeat, UINT flags);
    virtual void OnKeyUp(UINT key, UINT repeat, UINT flags);
    virtual void OnChar(UINT ch, UINT repeat, UINT flags);
    virtual BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
    virtual void OnContextMenu(CWnd* wnd, CPoint point);
    virtual void OnParentNotify(UINT message, LPARAM lParam);
    virtual void OnSysCommand(UINT id, LPARAM lParam);
    virtual void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
    virtual void OnGetMinMaxInfo(MINMAXINFO* info);
    virtual void OnDropFiles(HDROP drop);
    // WM_HELP (F1 or the caption's "?"); TRUE when handled.
    virtual BOOL OnHelpInfo(HELPINFO* info);
    // WM_COMMAND: reflection to the control, then OnCmdMsg.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY: the base offers it to the control that sent it.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Owner-draw, colours and scrolling: the bases offer the message to the control first.
    virtual void OnDrawItem(int id, LPDRAWITEMSTRUCT drawItem);
    virtual void OnMeasureItem(int id, LPMEASUREITEMSTRUCT measureItem);
    virtual HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);
    virtual void OnHScroll(UINT code, UINT pos, CWnd* scrollBar);
    virtual void OnVScroll(UINT code, UINT pos, CWnd* scrollBar);

    // Offers the message being handled to the child window that sent it; TRUE when it used it.
    BOOL ReflectChildNotify(HWND child, LRESULT* result);

    // The super procedure taken over by subclassing (null: the class procedure is ours).
    WNDPROC m_pfnSuper = nullptr;

private:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT AfxCallWndProc(CWnd*, HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK AfxCbtHookProc(int, WPARAM, LPARAM);
    friend class CAccessibleProxy;
    friend BOOL AfxAnswerGetObject(CWnd*, WPARAM, LPARAM, LRESULT*);
    void AttachFromHook(HWND hwnd);
    void AfterNcDestroy();
    bool m_ownsWindow = false;      // made by CreateEx: destroyed with the object
    bool m_modalRunning = false;
    int m_modalResult = -1;
    bool m_reflectUnhandled = false;
    bool m_accessibilityEnabled = false;
    IAccessible* m_standardAccessible = nullptr;
    IAccessible* m_accessibleProxy = nullptr;
};

// The owner side of a modal window (dialogs, property sheets): finds the owner (the parent's
// top-level window, else the main window) and disables it while the modal window runs;
// Finish enables it again, hands it the activation and destroys the modal window.
class CModalScope {
public:
    explicit CModalScope(CWnd* parent);
    ~CModalScope();
    CModalScope(const CModalScope&) = delete;
    CModalScope& operator=(const CModalScope&) = delete;
    HWND Owner() const { return m_owner; }
    void Finish(CWnd& modal);

private:
    HWND m_owner = nullptr;
    bool m_disabled = false;
};

// The library's window procedure (subclassed windows and registered classes use it).
LRESULT CALLBACK AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Calls wnd->WindowProc inside the exception boundary.
LRESULT AfxCallWndProc(CWnd* wnd, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The next window created on this thread is attached to wnd from its first message.
void AfxHookWindowCreate(CWnd* wnd);
// Ends the hook; TRUE when the window was attached.
BOOL AfxUnhookWindowCreate();

// A window class registered once per set of attributes (like "Afx:..." classes); its
// procedure is DefWindowProc, the creation hook subclasses each window.
const wchar_t* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                                   HICON icon = nullptr);
// The class name CreateEx uses when given none.
extern const wchar_t* const AfxWndClassName;

// Frees the calling thread's handle map (a CWinThread does it when its thread ends).
void AfxTermThreadWindows();

// The main window of the thread (m_pMainWnd of the thread object), or null.
CWnd* AfxGetMainWnd();

// A message's way before dispatch: the thread object's PreTranslateMessage, or the window
// chain when the thread has no object.
BOOL AfxPreTranslateMessage(MSG* msg);
// Reports an exception caught at the window-procedure boundary (through the funnel).
void AfxReportWndProcException(const wchar_t* what);
