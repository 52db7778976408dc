// The names Windows lets a file have: one component of a path made safe to store under.
//
//     SafeFileNameComponent(L"con.part") == L"con_.part"; SafeFileNameComponent(L"a:b.") == L"a_b"
#pragma once

#include "CString.h"

// A name made safe as one component of a path: characters that are not allowed in file
// names become "_"; trailing dots and blanks, which Windows would drop, are removed; a name
// left empty (".", "..", "") becomes "_"; and a device name of Windows ("CON", "nul.txt",
// "COM1.wma", "LPT9") gets "_" after its device part ("CON_", "nul_.txt"). Ordinary ids and
// file names come back unchanged.
CString SafeFileNameComponent(const CString& name);
