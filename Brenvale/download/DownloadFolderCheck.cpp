#include "DownloadFolderCheck.h"

#include <shlobj.h>

namespace {

bool IsDriveLetter(wchar_t ch)
{
    return (ch >= L'A' && ch <= L'Z') || (ch >= L'a' && ch <= L'z');
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data)
{
    const auto* caption = reinterpret_cast<const CString*>(data);
    if (message == BFFM_INITIALIZED && caption && !caption->IsEmpty())
        SetWindowTextW(window, *caption);
    return 0;
}

}  // namespace

bool BrowseForDownloadFolder(HWND owner, const CString& title, const CString& caption, CString& folder)
{
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&caption);
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item)
        return false;
    wchar_t path[MAX_PATH] = {};
    const bool chosen = SHGetPathFromIDListW(item, path) != FALSE;
    CoTaskMemFree(item);
    if (chosen)
        folder = path;
    return chosen;
}

bool IsFullyQualifiedPath(const CString& path)
{
    if (path.Left(2) == L"\\\\")
        return true;
    return path.GetLength() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\';
}

DownloadFolderProblem CheckDownloadFolder(const CString& folder, CString& driveKind, const DriveTypeQuery& driveType)
{
    driveKind.Empty();
    if (folder.IsEmpty())
        return DownloadFolderProblem::Empty;
    if (folder.FindOneOf(L"/*?\"<>|") >= 0)
        return DownloadFolderProblem::InvalidCharacters;
    const bool hasDrive = folder.GetLength() >= 2 && IsDriveLetter(folder[0]) && folder[1] == L':';
    if (folder.Find(L':', hasDrive ? 2 : 0) >= 0)
        return DownloadFolderProblem::InvalidCharacters;
    if (!IsFullyQualifiedPath(folder))
        return DownloadFolderProblem::InvalidCharacters;
    if (!hasDrive)
        return DownloadFolderProblem::None;

    const CString root = folder.Left(2) + L"\\";
    switch (driveType ? driveType(root) : GetDriveTypeW(root)) {
    case DRIVE_FIXED:
    case DRIVE_REMOTE:
        return DownloadFolderProblem::None;
    case DRIVE_CDROM:
        driveKind = L"CD and DVD";
        break;
    case DRIVE_RAMDISK:
        driveKind = L"RAM";
        break;
    default:  // removable, unknown, no root directory
        driveKind = L"removable";
        break;
    }
    return DownloadFolderProblem::UnsupportedDrive;
}
