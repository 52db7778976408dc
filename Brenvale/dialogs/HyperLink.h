// CHyperLink: a static text drawn as a blue underlined link that opens its web address in
// the shell when clicked. Only http: and https: addresses are opened: the address comes
// from order files, and anything else (a program, a path) is ignored.
//     m_link.SubclassDlgItem(IDC_SOURCE_LINK, this);
//     m_link.SetWindowText(url);  m_link.m_url = url;
#pragma once

#include "Gdi.h"
#include "ShellOpen.h"
#include "Static.h"

#include <functional>

class CHyperLink : public CStatic {
public:
    CString m_url;
    // Opens an address (the shell by default; tests record instead).
    std::function<BOOL(const wchar_t*)> m_open;

    // Opens m_url when it is a web address; TRUE when it was handed on.
    BOOL OpenLink();

protected:
    void PreSubclassWindow() override;
    void OnPaint() override;
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override;
    void OnLButtonDown(UINT flags, CPoint point) override;

private:
    HCURSOR m_cursor = nullptr;  // a shared system cursor: never destroyed
    CFont m_font;
};
