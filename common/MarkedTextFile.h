// Text files as the suite's programs read them: UTF-16LE after the mark FF FE, UTF-8 after
// the mark EF BB BF, anything else in the ANSI code page. The one reader of the console (order
// files handed to it) and of both wizards (a title's playlist and order file).
//
//     CString text;
//     DWORD error = 0;
//     const int encoding = ReadMarkedTextFile(path, text, error);
//     if (encoding < 0) ... // the file could not be read: error is the system's code
#pragma once

#include "TextFileEncoding.h"
#include "afx.h"

#include <string>

// The files read this way are a few KB; a larger file is not one of them (and is not read).
inline constexpr unsigned long long kMaxMarkedTextFileSize = 16ull * 1024 * 1024;

// How text without a mark is read: in the ANSI code page, or as UTF-8 when it is valid
// UTF-8 (and the ANSI code page otherwise).
enum class UnmarkedText { ansi, utf8OrAnsi };

// The text of the bytes; returns the mark found (TextFileUtf16LE, TextFileUtf8 or
// TextFileOther). The mark itself is not part of the text.
int DecodeMarkedText(const std::string& bytes, CString& text, UnmarkedText unmarked = UnmarkedText::ansi);

// The whole file (shared with readers only, at most kMaxMarkedTextFileSize bytes); FALSE with
// the system's error code (ERROR_FILE_TOO_LARGE for a larger file).
bool ReadWholeFile(const wchar_t* path, std::string& bytes, DWORD& error);

// ReadWholeFile, then DecodeMarkedText: the mark found, or -1 when the file cannot be read
// (error holds why; the text is empty).
int ReadMarkedTextFile(const wchar_t* path, CString& text, DWORD& error, UnmarkedText unmarked = UnmarkedText::ansi);

// The system's text for an error of a file, without its line break ("The system cannot find
// the file specified."), as the programs show it in their messages.
CString FileErrorText(DWORD error, const wchar_t* path);
