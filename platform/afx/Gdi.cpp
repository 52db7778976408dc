#include "Gdi.h"
#include "DC.h"

#include "AfxResource.h"

IMPLEMENT_DYNAMIC(CGdiObject, CObject)
IMPLEMENT_DYNAMIC(CDC, CObject)

BOOL CGdiObject::Attach(HGDIOBJ object)
{
    DeleteObject();
    m_hObject = object;
    return object != nullptr;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ object = m_hObject;
    m_hObject = nullptr;
    return object;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    const BOOL done = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return done;
}

BOOL CFont::CreatePointFont(int pointSizeTenths, const wchar_t* faceName, HDC dc)
{
    LOGFONTW lf{};
    HDC screen = dc ? dc : ::GetDC(nullptr);
    lf.lfHeight = -MulDiv(pointSizeTenths, ::GetDeviceCaps(screen, LOGPIXELSY), 720);
    if (!dc)
        ::ReleaseDC(nullptr, screen);
    lf.lfCharSet = DEFAULT_CHARSET;
    if (faceName)
        lstrcpynW(lf.lfFaceName, faceName, LF_FACESIZE);
    return CreateFontIndirect(&lf);
}

BOOL CBitmap::LoadBitmap(UINT id)
{
    return Attach(::LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
}

CSize CBitmap::GetBitmapDimension() const
{
    BITMAP info{};
    if (!m_hObject || !GetObject(sizeof info, &info))
        return CSize();
    return CSize(info.bmWidth, info.bmHeight);
}

int CPalette::GetEntryCount() const
{
    WORD count = 0;
    return m_hObject && GetObject(sizeof count, &count) ? count : 0;
}

// --- CDC ---

CDC::~CDC()
{
    m_oldPen.Detach();
    m_oldBrush.Detach();
    m_oldFont.Detach();
    m_oldBitmap.Detach();
    m_oldStock.Detach();
    m_oldPalette.Detach();
    DeleteDC();
}

BOOL CDC::Attach(HDC dc)
{
    DeleteDC();
    m_hDC = dc;
    m_ownsDC = false;
    return dc != nullptr;
}

HDC CDC::Detach()
{
    HDC dc = m_hDC;
    m_hDC = nullptr;
    m_ownsDC = false;
    return dc;
}

BOOL CDC::CreateCompatibleDC(CDC* dc)
{
    DeleteDC();
    m_hDC = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
    m_ownsDC = m_hDC != nullptr;
    return m_hDC != nullptr;
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC)
        return FALSE;
    BOOL done = TRUE;
    if (m_ownsDC)
        done = ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    m_ownsDC = false;
    return done;
}

template <class T>
T* CDC::Borrowed(T& holder, HGDIOBJ old)
{
    holder.Detach();
    if (!old)
        return nullptr;
    holder.m_hObject = old;  // borrowed: detached again before the holder can delete it
    return &holder;
}

CPen* CDC::SelectObject(CPen* pen) { return Borrowed(m_oldPen, ::SelectObject(m_hDC, pen->m_hObject)); }
CBrush* CDC::SelectObject(CBrush* brush) { return Borrowed(m_oldBrush, ::SelectObject(m_hDC, brush->m_hObject)); }
CFont* CDC::SelectObject(CFont* font) { return Borrowed(m_oldFont, ::SelectObject(m_hDC, font->m_hObject)); }
CBitmap* CDC::SelectObject(CBitmap* bitmap)
{
    return Borrowed(m_oldBitmap, ::SelectObject(m_hDC, bitmap->m_hObject));
}
CGdiObject* CDC::SelectStockObject(int index)
{
    return Borrowed(m_oldStock, ::SelectObject(m_hDC, ::GetStockObject(index)));
}
CPalette* CDC::SelectPalette(CPalette* palette, BOOL forceBackground)
{
    return Borrowed(m_oldPalette, ::SelectPalette(m_hDC, *palette, forceBackground));
}

CSize CDC::GetTextExtent(const wchar_t* text, int length) const
{
    SIZE size{};
    ::GetTextExtentPoint32W(m_hDC, text, length, &size);
    return CSize(size);
}

void CDC::FillSolidRect(const RECT& rect, COLORREF color)
{
    const COLORREF old = ::SetBkColor(m_hDC, color);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

CPoint CDC::MoveTo(int x, int y)
{
    POINT old{};
    ::MoveToEx(m_hDC, x, y, &old);
    return CPoint(old);
}
