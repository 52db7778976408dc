// CSplashWnd: the bitmap shown over the desktop while the console starts. It goes when
// both its time is up and the main window is shown, or at once when a file is handed
// over. There is at most one; a splash whose bitmap cannot be loaded is not shown and the
// start-up goes on.
#pragma once

#include "AfxWin.h"

class CSplashWnd : public CWnd {
public:
    // FALSE when no splash could be shown.
    static BOOL ShowSplashScreen(UINT bitmapId, UINT displayMs);
    static void OnMainWindowShown();
    static void HideSplashScreen();
    // The one splash, or null.
    static CSplashWnd* Current() { return s_current; }
    ~CSplashWnd() override;

protected:
    int OnCreate(LPCREATESTRUCTW cs) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
    void OnTimer(UINT_PTR id) override;
    void PostNcDestroy() override { delete this; }

private:
    CSplashWnd() = default;
    BOOL LoadPicture(UINT bitmapId);
    static CSplashWnd* s_current;
    HBITMAP m_bitmap = nullptr;
    HPALETTE m_palette = nullptr;
    int m_width = 0;
    int m_height = 0;
    UINT m_displayMs = 0;
    BOOL m_timeUp = FALSE;
    BOOL m_mainShown = FALSE;
};
