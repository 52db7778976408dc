#include "WebBrowserDlg.h"

#include "res/WebBrowserIds.h"

#include <docobj.h>

BrowserFilterAction FilterBrowserMessage(UINT message, WPARAM wParam, bool controlDown)
{
    switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
        return BrowserFilterAction::Swallow;
    case WM_KEYDOWN:
        if (controlDown && wParam == 'C')
            return BrowserFilterAction::Copy;
        if (controlDown && wParam == 'A')
            return BrowserFilterAction::SelectAll;
        return BrowserFilterAction::Pass;
    default:
        return BrowserFilterAction::Pass;
    }
}

CWebBrowserDlg::CWebBrowserDlg(const wchar_t* url, const wchar_t* message, CWnd* parent)
    : CDialog(IDD_WEB_BROWSER, parent), m_url(url), m_message(message)
{
}

BOOL CWebBrowserDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (!m_message.IsEmpty())
        SetDlgItemText(IDC_BROWSER_MESSAGE, m_message);
    // Without a browser the dialog still shows its line and closes with OK.
    if (m_browser.CreateAtPlaceholder(this, IDC_BROWSER))
        m_browser.Navigate2(m_url);  // whether the page loads is the browser's affair
    return TRUE;
}

BOOL CWebBrowserDlg::PreTranslateMessage(MSG* msg)
{
    const bool controlDown = GetKeyState(VK_CONTROL) < 0;
    switch (FilterBrowserMessage(msg->message, msg->wParam, controlDown)) {
    case BrowserFilterAction::Swallow:
        return TRUE;
    case BrowserFilterAction::Copy:
        m_browser.ExecWB(OLECMDID_COPY, OLECMDEXECOPT_DONTPROMPTUSER);
        return TRUE;
    case BrowserFilterAction::SelectAll:
        m_browser.ExecWB(OLECMDID_SELECTALL, OLECMDEXECOPT_DONTPROMPTUSER);
        return TRUE;
    case BrowserFilterAction::Pass:
        break;
    }
    return CDialog::PreTranslateMessage(msg);
}
