// Two small functions of the device wizard that the console uses as well.
#pragma once

#include "afx.h"

// The folder name of a content format: every "Audiobook" becomes "Audiobooks", then
// every "Video" becomes "Videos" (exact case); other texts come back unchanged.
CString PluralizeFolderName(const CString& name);

// The encoding a text file's byte-order mark names: 1 for FF FE (UTF-16LE), 2 for
// EF BB BF (UTF-8), 0 otherwise, also when the file cannot be read or is too short.
int GetTextFileEncoding(const wchar_t* path);
