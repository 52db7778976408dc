// The encoding of a text file by its byte-order mark, as the device wizard and the console
// read their text files.
#pragma once

#include "afx.h"

// What GetTextFileEncoding tells.
enum TextFileEncoding : int {
    TextFileOther = 0,     // no mark, also a file that cannot be read or is shorter than a mark
    TextFileUtf16LE = 1,   // FF FE
    TextFileUtf8 = 2,      // EF BB BF
};

// The encoding the file's byte-order mark names; the file is opened read-only as raw bytes
// and closed again before the function returns.
int GetTextFileEncoding(const wchar_t* path);
