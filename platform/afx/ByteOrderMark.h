// The byte-order mark a text file begins with: the one place that tells a file's encoding by
// its first bytes.
//
//     if (AfxReadByteOrderMark(path) == AfxByteOrderMark::utf16LittleEndian)
//         ...  // read the file as UTF-16 code units after the two bytes FF FE
#pragma once

#include <windows.h>

#include <cstddef>

enum class AfxByteOrderMark {
    none,               // no mark, or the file cannot be read, or is shorter than a mark
    utf16LittleEndian,  // FF FE
    utf8,               // EF BB BF
};

// The mark at the start of the bytes.
AfxByteOrderMark AfxByteOrderMarkOf(const BYTE* bytes, size_t size);
// The mark at the start of the file, which is opened read-only as raw bytes (sharing reads and
// writes) and closed again before the function returns.
AfxByteOrderMark AfxReadByteOrderMark(const wchar_t* path);
