// Free functions on files, folders, paths and version texts that every program uses.
// All texts are UTF-16; paths use the backslash.
#pragma once

#include "afx.h"

// TRUE when the path names an existing entry that is not a folder; FALSE for a null path.
BOOL FileExists(const wchar_t* path);
// TRUE for an existing folder. A drive given as "X:" or "X:\" counts unless its drive type
// is DRIVE_NO_ROOT_DIR. FALSE for a null path.
BOOL FolderExists(const wchar_t* path);
// The folder of the running program's file (without the last backslash).
CString GetProgramFolder();
// Creates every missing folder of the path; TRUE when the path is an existing folder at the end.
BOOL CreateFolderPath(const wchar_t* path);
// CreateFolderPath of the text before the last backslash; FALSE when there is none.
BOOL CreateParentFolder(const wchar_t* filePath);
// A new, unique, empty temporary file in the user's temporary folder, created by the system;
// when that fails, "<folder>\<prefix>-temp.tmp" (not created).
CString MakeTempFileName(const wchar_t* prefix);
// Removes CR and LF characters from the end of the text, in place; returns the same buffer.
wchar_t* TrimLineBreaks(wchar_t* text);
// A size in bytes written as decimal digits only, blanks around them allowed (a header's
// Content-Length, an order file's part size). FALSE for an empty text, a sign, any other
// character, or a number past 63 bits; value is then left as it was.
BOOL ParseByteCount(const CString& text, ULONGLONG& value);
// "  MY   device " -> "My Device": words split at blanks, lower case with a capital first letter.
CString CapitalizeWords(const wchar_t* text);
// Compares dotted version texts ("1.2.0.0", "3, 6, 0, 12") by up to four decimal numbers:
// -1, 0 or 1. An empty a is lower (also against an empty b); an empty b is lower than any a.
int CompareVersions(const wchar_t* a, const wchar_t* b);

// The value of the version resource's string table for a module (null: the resource module);
// empty when the module has no version resource or no such value.
CString GetVersionResourceString(HMODULE module, const wchar_t* name);
// "FileVersion" and "ProductVersion" of the resource module, read once per process, with
// commas replaced by points.
CString GetFileVersionText();
CString GetProductVersionText();
// "3, 6, 0, 12" -> "3.6.0.12"; "2.5" stays; a text without a point (or empty) gives "1.0".
CString NormalizeVersionText(const wchar_t* text);
// "Version %s (Build %s)": the normalised file version and the "SpecialBuild" value.
CString GetVersionDisplayText();
// The normalised product version.
CString GetProductVersionNumber();
