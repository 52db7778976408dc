// CToolTipCtrl: tooltips for the windows of a dialog; the owner hands mouse messages to
// RelayEvent from its PreTranslateMessage.
#pragma once

#include "Wnd.h"

#include <commctrl.h>

class CToolTipCtrl : public CWnd {
    DECLARE_DYNAMIC(CToolTipCtrl)
public:
    BOOL Create(CWnd* parent, DWORD style = 0);
    // A tool for a child window (the whole window), with its text.
    BOOL AddTool(CWnd* tool, const wchar_t* text);
    void DelTool(CWnd* tool);
    void UpdateTipText(const wchar_t* text, CWnd* tool);
    void RelayEvent(MSG* msg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }
    void Activate(BOOL activate) { SendMessage(TTM_ACTIVATE, activate); }
    int GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }
    int SetMaxTipWidth(int width) { return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, width)); }

private:
    TTTOOLINFOW ToolInfo(CWnd* tool, const wchar_t* text) const;
};
