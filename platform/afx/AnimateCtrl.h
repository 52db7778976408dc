// CAnimateCtrl: plays a silent AVI clip from the resource module (or a file).
#pragma once

#include "Wnd.h"

#include <commctrl.h>

class CAnimateCtrl : public CWnd {
    DECLARE_DYNAMIC(CAnimateCtrl)
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
    {
        return CreateEx(0, ANIMATE_CLASSW, L"", style | WS_CHILD, rect, parent, id);
    }
    BOOL Open(UINT resourceId);
    BOOL Open(const wchar_t* fileName) { return static_cast<BOOL>(SendMessage(ACM_OPENW, 0, reinterpret_cast<LPARAM>(fileName))); }
    // from/to in frames (-1: the last), repeat -1 for ever.
    BOOL Play(UINT from, UINT to, UINT repeat) { return static_cast<BOOL>(SendMessage(ACM_PLAY, repeat, MAKELPARAM(from, to))); }
    BOOL Stop() { return static_cast<BOOL>(SendMessage(ACM_STOP)); }
    BOOL Close() { return static_cast<BOOL>(SendMessage(ACM_OPENW)); }
    BOOL Seek(UINT frame) { return Play(frame, frame, 1); }
};
