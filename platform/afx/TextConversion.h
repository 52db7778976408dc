// Conversions between UTF-16 and multibyte text: the one place the class library, the
// media core and the programs turn one into the other.
//
//     std::string ansi = AfxToMultiByte(L"caf\u00e9", -1, CP_ACP);          // whole texts
//     CString back = AfxToWide(ansi.data(), static_cast<int>(ansi.size()), CP_ACP);
//     char buffer[64];
//     ConvertWideToMultiByte(buffer, L"abc", sizeof buffer, CP_UTF8);    // into a caller's buffer
//
// Three forms, one set of rules:
// - counting (AfxWideToMultiByte, AfxMultiByteToWide): the platform's counting, a length of -1
//   takes the text through its NUL; a null buffer of size 0 asks for the size needed;
// - whole texts (AfxToMultiByte, AfxToWide): a length of -1 takes the text up to its NUL; the
//   result never holds a terminator;
// - NUL-terminated texts into a caller's buffer (ConvertMultiByteToWide, ConvertWideToMultiByte),
//   which can tell whether anything was lost on the way.
// None of them throws; a failure gives 0, an empty text or a null pointer (with an empty buffer).
#pragma once

#include <windows.h>

#include <string>

// How a conversion to multibyte text treats what the code page lacks: the WC_ flags and the
// default character (null: the code page's own).
struct AfxNarrowing {
    DWORD flags = 0;
    const char* defaultChar = nullptr;
};

// Returns the units written (or needed); 0 on failure or for a null text.
int AfxWideToMultiByte(UINT codePage, const wchar_t* text, int length, char* buffer, int bufferSize,
                       const AfxNarrowing& how = {});
int AfxMultiByteToWide(UINT codePage, const char* text, int length, wchar_t* buffer, int bufferSize,
                       DWORD flags = 0);

// The whole text; empty for an empty or null text and when the conversion fails (*ok tells
// the two apart when given).
std::string AfxToMultiByte(const wchar_t* text, int length, UINT codePage, const AfxNarrowing& how = {},
                           bool* ok = nullptr);
std::wstring AfxToWide(const char* text, int length, UINT codePage, DWORD flags = 0, bool* ok = nullptr);

// Bytes that name no encoding of their own (a server's reply, a text without a byte-order
// mark), converted in one piece: as UTF-8 when they are valid UTF-8 (a leading UTF-8 mark is
// dropped), else in the ANSI code page. A length of -1 takes the text up to its NUL.
std::wstring AfxToWideUtf8OrAnsi(const char* text, int length);

// TRUE when every character of the NUL-terminated text has a character of its own in the code
// page (no default character, no best-fit look-alike). UTF-8 and UTF-7 hold every text.
bool AfxCanRepresent(const wchar_t* text, UINT codePage);

// Convert a NUL-terminated text into the caller's buffer (length in characters / bytes), which
// is first made an empty text. They return the buffer, or null when the buffer or the text is
// null, the buffer length is below 1, or the conversion fails (the buffer is then left empty).
// Characters the target cannot represent become its replacement character (or a best-fit
// look-alike); when lossy is given it tells whether the result differs from the text in any such
// way (for multibyte input: whether it held sequences not valid in the code page).
wchar_t* ConvertMultiByteToWide(wchar_t* buffer, const char* text, int bufferLength, UINT codePage,
                                BOOL* lossy = nullptr);
char* ConvertWideToMultiByte(char* buffer, const wchar_t* text, int bufferLength, UINT codePage,
                             BOOL* lossy = nullptr);
