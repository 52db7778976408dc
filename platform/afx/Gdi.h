// GDI objects owned by their C++ object: CPen, CBrush, CFont, CBitmap, CPalette.
// The object deletes its handle when destroyed (Detach first to keep it). Select them into
// a CDC; restore the old object before the C++ object goes away.
//     CFont bold;  bold.CreateFontIndirect(&lf);  CFont* old = dc.SelectObject(&bold);
#pragma once

#include "CObject.h"
#include "Geometry.h"

class CGdiObject : public CObject {
    DECLARE_DYNAMIC(CGdiObject)
public:
    CGdiObject() = default;
    ~CGdiObject() override { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ m_hObject = nullptr;
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    operator HGDIOBJ() const { return m_hObject; }
    // Takes ownership of a handle (deleting one held before).
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    int GetObject(int size, void* buffer) const { return ::GetObjectW(m_hObject, size, buffer); }
    // A stock object (not deleted: stock objects ignore DeleteObject).
    BOOL CreateStockObject(int index) { return Attach(::GetStockObject(index)); }
};

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    BOOL CreatePen(int style, int width, COLORREF color) { return Attach(::CreatePen(style, width, color)); }
    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    BOOL CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
    BOOL CreateSysColorBrush(int index) { return Attach(::GetSysColorBrush(index)); }
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

class CFont : public CGdiObject {
public:
    BOOL CreateFontIndirect(const LOGFONTW* font) { return Attach(::CreateFontIndirectW(font)); }
    // Height in tenths of a point for the screen (or the given DC).
    BOOL CreatePointFont(int pointSizeTenths, const wchar_t* faceName, HDC dc = nullptr);
    BOOL GetLogFont(LOGFONTW* font) const { return GetObject(sizeof(LOGFONTW), font) != 0; }
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};

class CBitmap : public CGdiObject {
public:
    BOOL LoadBitmap(UINT id);
    BOOL CreateCompatibleBitmap(HDC dc, int cx, int cy) { return Attach(::CreateCompatibleBitmap(dc, cx, cy)); }
    BOOL CreateBitmap(int cx, int cy, UINT planes, UINT bitsPerPixel, const void* bits)
    {
        return Attach(::CreateBitmap(cx, cy, planes, bitsPerPixel, bits));
    }
    CSize GetBitmapDimension() const;  // width and height in pixels
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};

class CPalette : public CGdiObject {
public:
    BOOL CreatePalette(const LOGPALETTE* palette) { return Attach(::CreatePalette(palette)); }
    BOOL CreateHalftonePalette(HDC dc) { return Attach(::CreateHalftonePalette(dc)); }
    int GetEntryCount() const;
    operator HPALETTE() const { return static_cast<HPALETTE>(m_hObject); }
};
