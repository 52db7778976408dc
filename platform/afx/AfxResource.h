// The module whose resources (string table, dialogs, bitmaps) the class library loads from.
#pragma once

#include <windows.h>

HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE module);
HINSTANCE AfxGetInstanceHandle();
void AfxSetInstanceHandle(HINSTANCE module);
