// The check of a download folder typed or chosen by the user, shared by the Options and
// Get Media dialogs (each shows its own message for each problem).
#pragma once

#include "afx.h"

#include <functional>

enum class DownloadFolderProblem {
    None,
    Empty,
    // A character Windows refuses in a path (/ * ? " < > |), a colon anywhere but after
    // the drive letter, or a folder that is not absolute (no "X:\" and no "\\server").
    InvalidCharacters,
    // A drive that cannot take direct downloads; the drive's kind is in the text.
    UnsupportedDrive,
};

// GetDriveTypeW by default; tests answer for drives the machine lacks.
using DriveTypeQuery = std::function<UINT(const wchar_t* root)>;

// "X:\..." or "\\server\...": a path that does not depend on the current folder or drive.
bool IsFullyQualifiedPath(const CString& path);

// The problem with the folder; for UnsupportedDrive, driveKind is "removable", "CD and DVD"
// or "RAM" (the text the messages insert).
DownloadFolderProblem CheckDownloadFolder(const CString& folder, CString& driveKind,
                                          const DriveTypeQuery& driveType = nullptr);

// The shell's folder browser (file-system folders only) owned by the window, with the title
// text above the tree and, when not empty, a caption of its own. FALSE when cancelled.
bool BrowseForDownloadFolder(HWND owner, const CString& title, const CString& caption, CString& folder);
