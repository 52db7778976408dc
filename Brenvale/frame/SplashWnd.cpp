#include "SplashWnd.h"

CSplashWnd* CSplashWnd::s_current = nullptr;

namespace {
constexpr UINT_PTR kSplashTimer = 1;
}

CSplashWnd::~CSplashWnd()
{
    if (m_bitmap)
        ::DeleteObject(m_bitmap);
    if (m_palette)
        ::DeleteObject(m_palette);
    if (s_current == this)
        s_current = nullptr;
}

BOOL CSplashWnd::LoadPicture(UINT bitmapId)
{
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(bitmapId), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const auto* info = static_cast<const BITMAPINFO*>(loaded ? ::LockResource(loaded) : nullptr);
    const DWORD size = found ? ::SizeofResource(module, found) : 0;
    if (!info || size < sizeof(BITMAPINFOHEADER) || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER))
        return FALSE;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biWidth <= 0 || header.biHeight == 0 || header.biPlanes != 1)
        return FALSE;
    DWORD colours = header.biClrUsed;
    if (colours == 0 && header.biBitCount <= 8)
        colours = 1u << header.biBitCount;
    const DWORD offset = header.biSize + colours * sizeof(RGBQUAD) +
                         (header.biCompression == BI_BITFIELDS ? 3 * sizeof(DWORD) : 0);
    const DWORD stride = ((static_cast<DWORD>(header.biWidth) * header.biBitCount + 31) / 32) * 4;
    const DWORD height = static_cast<DWORD>(header.biHeight < 0 ? -header.biHeight : header.biHeight);
    if (offset > size || static_cast<unsigned long long>(stride) * height > size - offset)
        return FALSE;
    const BYTE* bits = reinterpret_cast<const BYTE*>(info) + offset;
    HDC screen = ::GetDC(nullptr);
    m_palette = ::CreateHalftonePalette(screen);
    HPALETTE old = m_palette ? ::SelectPalette(screen, m_palette, FALSE) : nullptr;
    if (m_palette)
        ::RealizePalette(screen);
    m_bitmap = ::CreateDIBitmap(screen, &header, CBM_INIT, bits, info, DIB_RGB_COLORS);
    if (old)
        ::SelectPalette(screen, old, FALSE);
    ::ReleaseDC(nullptr, screen);
    m_width = header.biWidth;
    m_height = static_cast<int>(height);
    return m_bitmap != nullptr;
}

BOOL CSplashWnd::ShowSplashScreen(UINT bitmapId, UINT displayMs)
{
    if (s_current)
        return TRUE;
    auto* splash = new CSplashWnd;
    s_current = splash;
    splash->m_displayMs = displayMs;
    if (!splash->LoadPicture(bitmapId)) {
        delete splash;
        return FALSE;
    }
    const wchar_t* cls = AfxRegisterWndClass(0, ::LoadCursorW(nullptr, IDC_ARROW));
    if (!splash->CreateEx(WS_EX_TOOLWINDOW, cls, L"", WS_POPUP | WS_VISIBLE, 0, 0, splash->m_width, splash->m_height,
                          nullptr, nullptr)) {
        delete splash;
        return FALSE;
    }
    splash->UpdateWindow();
    return TRUE;
}

int CSplashWnd::OnCreate(LPCREATESTRUCTW cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    CenterWindow();
    SetTimer(kSplashTimer, m_displayMs);
    return 0;
}

void CSplashWnd::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    HPALETTE old = m_palette ? ::SelectPalette(dc, m_palette, FALSE) : nullptr;
    if (m_palette)
        ::RealizePalette(dc);
    HDC memory = ::CreateCompatibleDC(dc);
    HGDIOBJ oldBitmap = ::SelectObject(memory, m_bitmap);
    ::BitBlt(dc, 0, 0, m_width, m_height, memory, 0, 0, SRCCOPY);
    ::SelectObject(memory, oldBitmap);
    ::DeleteDC(memory);
    if (old)
        ::SelectPalette(dc, old, FALSE);
    ::EndPaint(m_hWnd, &ps);
}

void CSplashWnd::OnTimer(UINT_PTR id)
{
    if (id != kSplashTimer) {
        CWnd::OnTimer(id);
        return;
    }
    KillTimer(kSplashTimer);
    m_timeUp = TRUE;
    if (m_mainShown)
        HideSplashScreen();
}

void CSplashWnd::OnMainWindowShown()
{
    if (!s_current)
        return;
    s_current->m_mainShown = TRUE;
    if (s_current->m_timeUp)
        HideSplashScreen();
}

void CSplashWnd::HideSplashScreen()
{
    if (s_current && s_current->m_hWnd)
        s_current->DestroyWindow();
    else
        delete s_current;
    if (CWnd* main = AfxGetMainWnd(); main && main->m_hWnd)
        main->UpdateWindow();
}
