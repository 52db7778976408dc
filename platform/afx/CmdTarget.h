// CCmdTarget and CCmdUI: what command routing walks. A command (menu item, accelerator,
// toolbar button) goes to the active view, its document, the frame and the application,
// in that order, until one handles it; its state (enabled, checked, text) is asked the
// same way before a menu opens and, for the toolbar, whenever the program is idle.
//
//     BOOL CMyDoc::OnUpdateCmdUI(CCmdUI* ui) override {
//         if (ui->m_nID != ID_MY_COMMAND) return FALSE;
//         ui->Enable(HasSelection());
//         return TRUE;
//     }
// Windows take part through CWnd::OnCmdMsg; documents and the application derive from
// CCmdTarget. A command without a state handler stays enabled.
#pragma once

#include "CString.h"

#include <windows.h>

class CCmdUI;
class CWnd;

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    // A command (code: 0 menus, 1 accelerators, else a control's notification); TRUE when handled.
    virtual BOOL OnCmdMsg(UINT id, UINT code);
    // The state of a command's menu item or button; TRUE when this target decided it.
    virtual BOOL OnUpdateCmdUI(CCmdUI* ui);
};

// The state of one command's menu item (by position) or toolbar button.
class CCmdUI {
public:
    UINT m_nID = 0;
    UINT m_nIndex = 0;           // position in the menu, or button index
    HMENU m_hMenu = nullptr;     // the menu being opened, or null
    CWnd* m_pOther = nullptr;    // the toolbar, or null
    BOOL m_bEnabled = TRUE;      // what the handlers decided (for tests and callers)
    int m_nCheck = 0;

    virtual ~CCmdUI() = default;
    virtual void Enable(BOOL on = TRUE);
    // 0 unchecked, 1 checked.
    virtual void SetCheck(int check = 1);
    // A round mark instead of a tick.
    virtual void SetRadio(BOOL on = TRUE);
    // The menu item's text (buttons keep theirs).
    virtual void SetText(const wchar_t* text);
};
