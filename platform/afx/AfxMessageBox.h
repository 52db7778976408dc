// The one funnel through which every message box of the suite passes.
// Tests install a handler that answers boxes instead of showing them.
#pragma once

#include "CString.h"

#include <functional>

// Shows text with the owner's caption (the application title) and the given MB_ flags;
// returns the button pressed (IDOK, IDYES, ...). With an application object the box passes
// its virtual DoMessageBox first.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK, UINT helpId = 0);
// The same with a text from the string table.
int AfxMessageBox(UINT textId, UINT type = MB_OK, UINT helpId = (UINT)-1);

// Everything a box would have shown: the handler's result is the button "pressed".
struct AfxMessageBoxRequest {
    HWND owner;
    CString text;
    CString caption;
    UINT type;
    UINT helpId;
};
using AfxMessageBoxHandler = std::function<int(const AfxMessageBoxRequest&)>;

// Installs a handler for all boxes (an empty handler restores real boxes); returns the old one.
AfxMessageBoxHandler AfxSetMessageBoxHandler(AfxMessageBoxHandler handler);

// Caption used for boxes; a program sets its title once at start-up.
void AfxSetMessageBoxCaption(const wchar_t* caption);
// The window boxes are owned by (the main window when set).
void AfxSetMessageBoxOwner(HWND owner);

// The window a box of the calling thread is owned by: the owner set above while it exists,
// else the thread's main window, else (a worker thread) the program's main window.
HWND AfxGetMessageBoxOwner();

// The box as the class library shows it (CWinApp::DoMessageBox's base): the caption and
// owner set above, then the handler or a real box.
int AfxDefaultMessageBox(const wchar_t* text, UINT type, UINT helpId);

// Shows a box through the funnel with an explicit owner and caption (for callers of ::MessageBox).
int AfxShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type, UINT helpId = 0);
