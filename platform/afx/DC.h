// Device contexts: CDC (owns a DC it created, borrows an attached one), and the
// scoped kinds CPaintDC (BeginPaint/EndPaint), CClientDC and CWindowDC (GetDC/ReleaseDC).
//     void CMyWnd::OnPaint() { CPaintDC dc(this); dc.FillSolidRect(CRect(0, 0, 10, 10), RGB(255, 0, 0)); }
//     CDC memory;  memory.CreateCompatibleDC(&dc);       // a memory DC, deleted with the object
#pragma once

#include "Gdi.h"
#include "CString.h"

class CWnd;

class CDC : public CObject {
    DECLARE_DYNAMIC(CDC)
public:
    CDC() = default;
    ~CDC() override;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }
    // Borrows a DC (never deleted by the object).
    BOOL Attach(HDC dc);
    HDC Detach();
    // A memory DC compatible with dc (null: the screen); deleted with the object.
    BOOL CreateCompatibleDC(CDC* dc);
    BOOL DeleteDC();

    // Selection returns the object selected before as a temporary wrapper of this DC
    // (valid until the next selection of that kind).
    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    CFont* SelectObject(CFont* font);
    CBitmap* SelectObject(CBitmap* bitmap);
    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    CGdiObject* SelectStockObject(int index);
    CPalette* SelectPalette(CPalette* palette, BOOL forceBackground);
    UINT RealizePalette() { return ::RealizePalette(m_hDC); }

    COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
    COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
    COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
    COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    BOOL GetTextMetrics(TEXTMETRICW* tm) const { return ::GetTextMetricsW(m_hDC, tm); }
    CSize GetTextExtent(const wchar_t* text, int length) const;
    CSize GetTextExtent(const CString& text) const { return GetTextExtent(text, text.GetLength()); }
    BOOL TextOut(int x, int y, const wchar_t* text, int length) { return ::TextOutW(m_hDC, x, y, text, length); }
    BOOL TextOut(int x, int y, const CString& text) { return TextOut(x, y, text, text.GetLength()); }
    int DrawText(const wchar_t* text, int length, RECT* rect, UINT format)
    {
        return ::DrawTextW(m_hDC, text, length, rect, format);
    }
    int DrawText(const CString& text, RECT* rect, UINT format) { return DrawText(text, text.GetLength(), rect, format); }
    void FillRect(const RECT* rect, CBrush* brush) { ::FillRect(m_hDC, rect, *brush); }
    void FillSolidRect(const RECT& rect, COLORREF color);
    void FrameRect(const RECT* rect, CBrush* brush) { ::FrameRect(m_hDC, rect, *brush); }
    BOOL Rectangle(int l, int t, int r, int b) { return ::Rectangle(m_hDC, l, t, r, b); }
    BOOL Rectangle(const RECT& r) { return Rectangle(r.left, r.top, r.right, r.bottom); }
    CPoint MoveTo(int x, int y);
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    BOOL DrawFrameControl(RECT* rect, UINT type, UINT state) { return ::DrawFrameControl(m_hDC, rect, type, state); }
    BOOL DrawEdge(RECT* rect, UINT edge, UINT flags) { return ::DrawEdge(m_hDC, rect, edge, flags); }
    void DrawFocusRect(const RECT* rect) { ::DrawFocusRect(m_hDC, rect); }
    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
    BOOL BitBlt(int x, int y, int cx, int cy, CDC* source, int sx, int sy, DWORD rop)
    {
        return ::BitBlt(m_hDC, x, y, cx, cy, source ? source->m_hDC : nullptr, sx, sy, rop);
    }
    BOOL StretchBlt(int x, int y, int cx, int cy, CDC* source, int sx, int sy, int scx, int scy, DWORD rop)
    {
        return ::StretchBlt(m_hDC, x, y, cx, cy, source ? source->m_hDC : nullptr, sx, sy, scx, scy, rop);
    }
    int SaveDC() { return ::SaveDC(m_hDC); }
    BOOL RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
    int IntersectClipRect(const RECT& r) { return ::IntersectClipRect(m_hDC, r.left, r.top, r.right, r.bottom); }

protected:
    bool m_ownsDC = false;  // created (memory DC): deleted with the object

private:
    CPen m_oldPen;          // borrowed handles of the objects selected before
    CBrush m_oldBrush;
    CFont m_oldFont;
    CBitmap m_oldBitmap;
    CGdiObject m_oldStock;
    CPalette m_oldPalette;
    template <class T> T* Borrowed(T& holder, HGDIOBJ old);
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* wnd);  // null: the screen
    ~CClientDC() override;

protected:
    HWND m_hWnd;
};

class CWindowDC : public CDC {
public:
    explicit CWindowDC(CWnd* wnd);  // null: the screen
    ~CWindowDC() override;

private:
    HWND m_hWnd;
};
