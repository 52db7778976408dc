// New GUIDs as texts.
#pragma once

#include "afx.h"

// A new GUID as "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (upper case), in braces when asked.
// A failure of the system throws COleException.
CString NewGuidString(BOOL withBraces);
