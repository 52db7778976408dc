#include "HyperLink.h"

#include "DC.h"

BOOL CHyperLink::OpenLink()
{
    if (!IsWebAddress(m_url))
        return FALSE;
    return m_open ? m_open(m_url) : OpenInShell(m_url);
}

void CHyperLink::PreSubclassWindow()
{
    CStatic::PreSubclassWindow();
    ModifyStyle(0, SS_NOTIFY);
    m_cursor = LoadCursorW(nullptr, IDC_HAND);
    if (!m_cursor)
        m_cursor = LoadCursorW(nullptr, IDC_ARROW);
    LOGFONTW font{};
    HWND parent = ::GetParent(m_hWnd);
    HFONT parentFont = parent ? reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
    if (parentFont && GetObjectW(parentFont, sizeof(font), &font)) {
        font.lfUnderline = TRUE;
        m_font.CreateFontIndirect(&font);
    }
}

void CHyperLink::OnPaint()
{
    CPaintDC dc(this);
    const int saved = SaveDC(dc.m_hDC);
    if (m_font.m_hObject)
        SelectObject(dc.m_hDC, m_font.m_hObject);
    SetBkMode(dc.m_hDC, TRANSPARENT);
    SetTextColor(dc.m_hDC, RGB(0, 0, 255));
    const CString text = GetWindowText();
    TextOutW(dc.m_hDC, 0, 0, text, text.GetLength());
    RestoreDC(dc.m_hDC, saved);
}

BOOL CHyperLink::OnSetCursor(CWnd*, UINT, UINT)
{
    SetCursor(m_cursor);
    return TRUE;
}

void CHyperLink::OnLButtonDown(UINT flags, CPoint point)
{
    OpenLink();
    CStatic::OnLButtonDown(flags, point);
}
