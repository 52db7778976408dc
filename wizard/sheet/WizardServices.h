// The small services both wizards use, as free functions: texts with placeholders, the
// registry values under a program's key, the message-box type, the banner of a source, file
// versions and error texts. The application object's own services (log, strings file, help,
// single instance, server switches) are CWizardAppBase's (WizardApp.h).
#pragma once

#include "afx.h"

// Replaces every key of the map by its value (a null map is skipped), then every backslash
// followed by "n" by a line break (CR LF).
CString ReplacePlaceholders(const CString& text, const CMapStringToString* placeholders);

// "[RegOpenKeyEx] failed with error 2: The system cannot find the file specified."; empty
// when the system has no text for the code.
CString FormatLastErrorText(const wchar_t* step, DWORD error);

// A REG_SZ value under root\subKey (the 64-bit view when asked). 0 with the text; any other
// result (the Win32 error) means "no value", with the failing step in errorText. A value that
// is not text, or empty, gives ERROR_INVALID_DATA. Text stored without its terminator is read
// safely.
LONG ReadRegValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName, CString& data, CString& errorText,
                  BOOL view64 = FALSE);
// Writes a REG_SZ value with its terminator; create makes the key when it is missing. 0 or the
// Win32 error, with the failing step ("RegCreateKeyEx", "RegOpenKeyEx", "RegSetValueEx") in
// errorText.
LONG WriteRegValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const wchar_t* data, BOOL create,
                   CString& errorText);

// The type a wizard's box is shown with: a question (Yes/No, Retry/Cancel and the other sets
// of three buttons' codes and above) carries the question icon in place of whatever icon its
// caller gave; other boxes keep theirs.
UINT WizardMessageBoxType(UINT type);

// "<console data folder>\Banners\<source id>.gif" (or ".jpg", ".png"): the first that exists;
// empty when none does or the source id is empty.
CString FindBannerImage(const wchar_t* sourceId);
// The same under a given data folder.
CString FindBannerImageIn(const CString& dataFolder, const wchar_t* sourceId);

// The file's "ProductVersion" with commas made points; empty for an empty path; on failure a
// text that says which call failed.
CString GetFileProductVersion(const wchar_t* path);

// The content-kind bit of a content type named on the command line, matched by its text
// without regard to case ("MP3 Audiobook" is 32); 0 for any other text.
int ContentKindFromType(const wchar_t* contentType);
