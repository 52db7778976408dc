// The Authentication Required dialog, shown when a request of the console answers 407:
// the proxy user name and password, stored (the password scrambled) on OK.
#pragma once

#include "ConsoleDialog.h"

class CAuthenticationDlg : public CConsoleDialog {
public:
    explicit CAuthenticationDlg(CWnd* parent);

    CString m_userName;
    CString m_password;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
};
