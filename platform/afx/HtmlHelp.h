// HTML Help, bound at run time (hhctrl.ocx is loaded on the first call), with a seam:
// a test installs a handler that receives every call instead of the help system.
// Where the help system cannot do something (Wine's has no text pop-ups), the call fails
// harmlessly: the result is null and nothing else happens.
#pragma once

#include "AfxIds.h"
#include "CString.h"

#include <htmlhelp.h>
// The header names the function through a macro that would rename our HtmlHelp members.
#undef HtmlHelp

#include <functional>

// One call as the help system would receive it. For HH_DISPLAY_TEXT_POPUP the pop-up
// record is copied (its text pointer is not kept).
struct AfxHtmlHelpCall {
    HWND caller;
    CString file;  // null file: empty
    UINT command;
    DWORD_PTR data;
    bool hasPopup;
    HH_POPUP popup;
};
using AfxHtmlHelpHandler = std::function<HWND(const AfxHtmlHelpCall&)>;

// Installs a handler for every HTML Help call (empty: the real help again); returns the old one.
AfxHtmlHelpHandler AfxSetHtmlHelpHandler(AfxHtmlHelpHandler handler);

// HtmlHelpW of hhctrl.ocx, or null when it is missing.
HWND AfxHtmlHelp(HWND caller, const wchar_t* file, UINT command, DWORD_PTR data);

// Help ids of the class library: commands 0x10000 + id, dialogs and windows 0x20000 + id.
constexpr DWORD HID_BASE_COMMAND = 0x10000;
constexpr DWORD HID_BASE_RESOURCE = 0x20000;
