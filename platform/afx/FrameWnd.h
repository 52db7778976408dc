// CFrameWnd: a program's main window. It holds control bars (a toolbar at the top, a
// status bar at the bottom) and one client window with the id AFX_IDW_PANE_FIRST (a view
// or a splitter), lays them out, and routes every command:
// active view -> its document -> the frame -> the application.
//
//     class CMainFrame : public CFrameWnd {
//         DECLARE_DYNCREATE(CMainFrame)
//         BOOL OnCreateClient(LPCREATESTRUCTW cs, CCreateContext* context) override;
//         BOOL OnCmdMsg(UINT id, UINT code) override;        // the frame's own commands
//         BOOL OnUpdateCmdUI(CCmdUI* ui) override;           // and their states
//     };
//     frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW, nullptr, &context);
//
// What the frame does for every program:
// - LoadFrame takes the menu, the accelerator table, the icon and the title (the first
//   line of the string) of one resource id.
// - Each command's string is "status text\ntooltip": the first line is shown in the
//   status bar while a menu item or a toolbar button is under the mouse (fly-by), the
//   second is the button's tooltip. The idle text is string 57345.
// - Menu items get their state before the menu opens; toolbar buttons whenever the
//   program is idle (WM_IDLEUPDATECMDUI).
// - m_hAccelTable may be swapped or cleared at any time (the keys then reach the focus).
// - Commands 59392/59393 show and hide the toolbar and status bar; 57680/57681 move the
//   focus to the next/previous pane; 57669 starts context-help mode (the next click asks
//   the window under the mouse for its help id with WM_HELPHITTEST; a command chosen in
//   the mode shows its help instead of running); 57670 shows the frame's help.
// - Dropped files are opened by the application (OpenDocumentFile), one after the other.
// - The frame deletes itself when its window is gone; the main window's end ends the program.
#pragma once

#include "CmdTarget.h"
#include "ImageList.h"
#include "View.h"
#include "Wnd.h"

#include <commctrl.h>

#include <vector>

class CControlBar;
class CStatusBar;

// Command and window ids of the class library.
constexpr UINT ID_SEPARATOR = 0;
constexpr UINT ID_FILE_NEW = 57600;
constexpr UINT ID_FILE_OPEN = 57601;
constexpr UINT ID_APP_ABOUT = 57664;
constexpr UINT ID_APP_EXIT = 57665;
constexpr UINT ID_HELP_FINDER = 57667;
constexpr UINT ID_CONTEXT_HELP = 57669;
constexpr UINT ID_NEXT_PANE = 57680;
constexpr UINT ID_PREV_PANE = 57681;
constexpr UINT ID_VIEW_TOOLBAR = 59392;
constexpr UINT ID_VIEW_STATUS_BAR = 59393;
constexpr UINT AFX_IDW_TOOLBAR = 59392;
constexpr UINT AFX_IDW_STATUS_BAR = 59393;
constexpr UINT AFX_IDS_IDLEMESSAGE = 57345;
// Sent to the main frame whenever the program becomes idle: update the bars' states.
constexpr UINT WM_IDLEUPDATECMDUI = 0x0363;
// Sent by context-help mode to the window under the mouse; the answer is its help id (0: ask the parent).
constexpr UINT WM_HELPHITTEST = 0x0366;
// The frame's style bit: add the document's name to the title.
constexpr DWORD FWS_ADDTOTITLE = 0x8000;

// Control-bar styles: where the bar sits, tooltips and fly-by status texts.
constexpr DWORD CBRS_ALIGN_TOP = 0x1000;
constexpr DWORD CBRS_ALIGN_BOTTOM = 0x8000;
constexpr DWORD CBRS_TOOLTIPS = 0x0010;
constexpr DWORD CBRS_FLYBY = 0x0020;
constexpr DWORD CBRS_TOP = CBRS_ALIGN_TOP;
constexpr DWORD CBRS_BOTTOM = CBRS_ALIGN_BOTTOM;

class CFrameWnd : public CWnd {
    DECLARE_DYNCREATE(CFrameWnd)
public:
    CFrameWnd() = default;
    ~CFrameWnd() override;

    // Creates the frame with the resources of id (menu, accelerators, icon, title).
    virtual BOOL LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* parent = nullptr, CCreateContext* context = nullptr);
    UINT GetResourceId() const { return m_nIDResource; }

    // The view with the focus (or the last one that had it; else the first of the document).
    CView* GetActiveView() const;
    void SetActiveView(CView* view);
    CDocument* GetActiveDocument() const;
    // Called by a view whose window goes.
    void OnViewDestroyed(CView* view);

    // Lays the bars and the client window out again.
    virtual void RecalcLayout();
    // Registers a bar with the frame (bars do this when created).
    void AddControlBar(CControlBar* bar);
    void RemoveControlBar(CControlBar* bar);
    void ShowControlBar(CControlBar* bar, BOOL show);
    CControlBar* GetControlBar(UINT id) const;
    // The text of status pane 0 (null or 0: the idle text).
    void SetMessageText(const wchar_t* text);
    void SetMessageText(UINT id);
    // The first (status) or second (tooltip) line of a command's string.
    static CString GetCommandString(UINT id, int line);

    // Command routing: view, document, frame (OnCmdMsg), application.
    BOOL RouteCommand(UINT id, UINT code);
    // State routing, same order; FALSE when nobody decided.
    BOOL RouteUpdateCmdUI(CCmdUI* ui);
    // The frame's own commands (derived frames handle theirs and call the base).
    BOOL OnCmdMsg(UINT id, UINT code) override;
    virtual BOOL OnUpdateCmdUI(CCmdUI* ui);

    // Help of the frame: HTML Help with the application's help file.
    void HtmlHelp(DWORD_PTR data, UINT command) override;
    BOOL IsInContextHelpMode() const { return m_helpMode; }
    // Context-help mode (command 57669): runs until a click or Escape.
    virtual void OnContextHelp();
    // The next or previous pane gets the focus (57680/57681).
    virtual void OnNextPane(BOOL previous);

    // The accelerator table the frame translates keys with (null: none).
    HACCEL m_hAccelTable = nullptr;

protected:
    // Makes the client window; the base makes a view of the context's view class.
    virtual BOOL OnCreateClient(LPCREATESTRUCTW cs, CCreateContext* context);
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    int OnCreate(LPCREATESTRUCTW cs) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnClose() override;
    void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu) override;
    void OnDropFiles(HDROP drop) override;
    void OnSetFocus(CWnd* oldWnd) override;
    void PostNcDestroy() override;
    // Updates the states of the bars' buttons.
    virtual void OnIdleUpdateCmdUI();

    UINT m_nIDResource = 0;
    CCreateContext* m_pCreateContext = nullptr;

private:
    void OnMenuSelect(UINT id, UINT flags, HMENU menu);
    CView* m_pActiveView = nullptr;
    CDocument* m_pDocument = nullptr;  // the document of the creation context
    std::vector<CControlBar*> m_bars;
    CString m_tipText;
    bool m_helpMode = false;
    bool m_inMenu = false;
};

// A bar docked at one edge of a frame.
class CControlBar : public CWnd {
    DECLARE_DYNAMIC(CControlBar)
public:
    ~CControlBar() override;
    DWORD GetBarStyle() const { return m_barStyle; }
    // The bar's height when laid out across width pixels.
    virtual int CalcHeight(int width);
    // Moves the bar over rect (the base moves the window).
    virtual void PlaceBar(const RECT& rect);
    // Command states of the bar's items (the frame asks when idle).
    virtual void OnUpdateCmdUI(CFrameWnd*) {}

protected:
    void AttachToFrame(CWnd* parent);
    DWORD m_barStyle = 0;
    CFrameWnd* m_frame = nullptr;
};

// A toolbar from a toolbar resource (RT_TOOLBAR, 241: a version word 1, the picture width
// and height, the number of items, then one command id per item, 0 for a separator).
class CToolBar : public CControlBar {
    DECLARE_DYNAMIC(CToolBar)
public:
    // toolStyle: TBSTYLE_ flags; barStyle: CBRS_ flags and WS_ styles.
    BOOL CreateEx(CWnd* parent, DWORD toolStyle = TBSTYLE_FLAT, DWORD barStyle = WS_CHILD | WS_VISIBLE | CBRS_TOP,
                  UINT id = AFX_IDW_TOOLBAR);
    // Adds the resource's buttons; pictures are numbered in order over the non-separators.
    BOOL LoadToolBar(UINT id);
    int GetCount() const { return static_cast<int>(SendMessage(TB_BUTTONCOUNT)); }
    UINT GetItemID(int index) const;
    int CommandToIndex(UINT id) const { return static_cast<int>(SendMessage(TB_COMMANDTOINDEX, id)); }
    BOOL GetItemRect(int index, RECT* rect) const { return static_cast<BOOL>(SendMessage(TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect))); }
    BOOL SetButtonText(int index, const wchar_t* text);
    CString GetButtonText(int index) const;
    // TBSTYLE_/BTNS_ styles of a button.
    UINT GetButtonStyle(int index) const;
    void SetButtonStyle(int index, UINT style);
    // Replace the toolbar's own picture lists (the lists stay the caller's).
    void SetImageList(CImageList* list) { SendMessage(TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list ? list->m_hImageList : nullptr)); }
    void SetHotImageList(CImageList* list) { SendMessage(TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(list ? list->m_hImageList : nullptr)); }
    int CalcHeight(int width) override;
    void OnUpdateCmdUI(CFrameWnd* frame) override;
};

// A status bar of panes: pane 0 (ID_SEPARATOR) takes the room the others leave; every
// other pane is as wide as its string (the indicator's id) in the bar's font.
class CStatusBar : public CControlBar {
    DECLARE_DYNAMIC(CStatusBar)
public:
    BOOL CreateEx(CWnd* parent, DWORD barStyle = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, UINT id = AFX_IDW_STATUS_BAR);
    BOOL SetIndicators(const UINT* ids, int count);
    int GetCount() const { return static_cast<int>(m_panes.size()); }
    BOOL SetPaneText(int index, const wchar_t* text);
    CString GetPaneText(int index) const;
    // The pane's rectangle in the bar's client coordinates.
    BOOL GetItemRect(int index, RECT* rect) const;
    int GetPaneWidth(int index) const { return index >= 0 && index < GetCount() ? m_panes[static_cast<size_t>(index)].width : 0; }
    int CalcHeight(int width) override;
    void PlaceBar(const RECT& rect) override;

private:
    struct Pane {
        UINT id;
        int width;  // 0: the stretching pane
    };
    void ApplyParts(int width);
    std::vector<Pane> m_panes;
};

// A static splitter: a fixed grid of panes (views), one row here, with bars between the
// columns that the user drags. Notifications and owner-draw messages of a pane reach the
// pane itself (the window layer's reflection); commands go on to the frame.
class CSplitterWnd : public CWnd {
    DECLARE_DYNAMIC(CSplitterWnd)
public:
    BOOL CreateStatic(CWnd* parent, int rows, int columns, DWORD style = WS_CHILD | WS_VISIBLE,
                      UINT id = AFX_IDW_PANE_FIRST);
    // Makes the pane's view from its runtime class; size.cx is the column's width.
    BOOL CreateView(int row, int column, const CRuntimeClass* viewClass, SIZE size, CCreateContext* context);
    CWnd* GetPane(int row, int column) const;
    int GetRowCount() const { return m_rows; }
    int GetColumnCount() const { return m_columns; }
    // The column's current and smallest width.
    void GetColumnInfo(int column, int& current, int& minimum) const;
    void SetColumnInfo(int column, int ideal, int minimum);
    void RecalcLayout();
    // The pane after (or before) the one with the focus, round the grid.
    CWnd* GetNextPane(CWnd* current, BOOL previous) const;
    static constexpr int kBarWidth = 6;

protected:
    void OnSize(UINT type, int cx, int cy) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint() override;

private:
    int BarAt(CPoint point) const;
    int m_rows = 0;
    int m_columns = 0;
    std::vector<int> m_ideal;
    std::vector<int> m_minimum;
    std::vector<int> m_current;
    std::vector<HWND> m_panes;
    int m_tracking = -1;
    int m_trackOffset = 0;
};
