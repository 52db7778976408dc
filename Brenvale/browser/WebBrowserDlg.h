// CWebBrowserDlg: one web page in the browser control above an OK button, with an optional
// line of text above the page (template 213). The console shows the pages it builds from
// the services' replies in it, modally, through a temporary file (ShowHtmlPage).
//
//     CWebBrowserDlg dialog(L"file:C:\\...\\CheckUpdatesResponse.htm", message, this);
//     dialog.DoModal();
#pragma once

#include "AfxWin.h"
#include "Explorer.h"

// What the page filter does with a message before it is dispatched.
enum class BrowserFilterAction {
    Pass,       // normal dispatch
    Swallow,    // right-button clicks: no context menu on the page
    Copy,       // Ctrl+C: ExecWB copy, then swallowed
    SelectAll,  // Ctrl+A: ExecWB select all, then swallowed
};
BrowserFilterAction FilterBrowserMessage(UINT message, WPARAM wParam, bool controlDown);

class CWebBrowserDlg : public CDialog {
public:
    // An empty message keeps the template's line.
    CWebBrowserDlg(const wchar_t* url, const wchar_t* message, CWnd* parent = nullptr);

    BOOL PreTranslateMessage(MSG* msg) override;
    CExplorer& Browser() { return m_browser; }

protected:
    BOOL OnInitDialog() override;

private:
    CExplorer m_browser;
    CString m_url;
    CString m_message;
};
