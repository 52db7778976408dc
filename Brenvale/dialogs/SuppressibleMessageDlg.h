// CSuppressibleMessageDlg: a message dialog with a "do not show again" check box. The
// answer to the box is kept per message key under "Suppressible Messages" (1: do not show
// again); a suppressed key ends the dialog with IDOK before anything is shown, unless the
// dialog is asked to show even then (the box is shown checked).
//
// The dialog's text (control 1950) may hold "%s" places: the message key, then the second
// text; the check box's text (1838) may hold one, the key.
#pragma once

#include "AfxWin.h"

constexpr const wchar_t* kSuppressibleSection = L"Suppressible Messages";

class CSuppressibleMessageDlg : public CDialog {
public:
    CSuppressibleMessageDlg(UINT templateId, const wchar_t* key, CWnd* parent, const wchar_t* secondText,
                            BOOL showEvenWhenSuppressed);
    // IDOK, IDYES or IDNO; IDOK at once for a suppressed key.
    INT_PTR DoModal() override;
    // Whether the key is stored as suppressed.
    static BOOL IsSuppressed(const wchar_t* key);

protected:
    BOOL OnInitDialog() override;
    BOOL OnCmdMsg(UINT id, UINT code) override;

private:
    void Close(int result);
    CString m_key;
    CString m_secondText;
    BOOL m_showEvenWhenSuppressed;
};
