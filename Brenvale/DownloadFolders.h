// The rules of the Get Media dialog for a new title's folders, without the dialog: the
// check of the download folder the user gives and the name of the title's own folder in it.
#pragma once

#include "BrenvaleDoc.h"

// Message ids of the folder check (the console's string table).
constexpr UINT IDS_NO_DOWNLOAD_FOLDER = 4043;       // empty
constexpr UINT IDS_DOWNLOAD_FOLDER_INVALID = 4046;  // a character no path may hold, or not a full path
constexpr UINT IDS_DOWNLOAD_DRIVE_REFUSED = 4055;   // "%s drives are not supported"

// The drive type of a root such as "D:\\" (GetDriveTypeW); tests put their own in.
using DriveTypeQuery = UINT(WINAPI*)(const wchar_t* root);

// Checks a download folder: 0 when it may be used, else the id of the message that refuses
// it, with driveWord the word for 4055's "%s" ("removable", "CD and DVD" or "RAM"). A folder
// must be a full path (a drive letter with a backslash, or a network path "\\\\server\\..."):
// a relative one would land wherever the current folder happens to be. Only drive-letter
// paths have their drive type asked; fixed and remote drives pass.
UINT CheckDownloadFolder(const CString& folder, CString& driveWord, DriveTypeQuery driveType = &GetDriveTypeW);

// The name of the title's folder in downloadFolder, made from its display title without
// subtitle: control characters and the characters : * ? < > | / \ " dropped, cut to 50
// characters (then at the last blank), trailing blanks and dots removed, a device name of
// Windows given a "_" (SafeFileNameComponent), and unique among the library's folders there.
// A title that leaves nothing takes its media id the same way, else "Title".
CString MakeTitleFolderName(CBrenvaleDoc& library, const CString& downloadFolder, const CMediaObject& title);
