#include "DownloadFolders.h"

#include "MediaElements.h"
#include "ConsoleMediaObject.h"

#include <cwchar>

namespace {

bool IsFullPath(const CString& folder)
{
    const bool driveLetter = folder.GetLength() >= 3 && iswalpha(folder[0]) && folder[1] == L':' && folder[2] == L'\\';
    const bool network = folder.GetLength() >= 3 && folder[0] == L'\\' && folder[1] == L'\\' && folder[2] != L'\\';
    return driveLetter || network;
}

CString FolderNameFrom(CString name)
{
    for (int i = name.GetLength() - 1; i >= 0; --i)
        if (name[i] < 0x20 || name[i] == 0x7F || std::wcschr(L":*?<>|/\\\"", name[i]))
            name.Delete(i);
    if (name.GetLength() > 50) {
        name = name.Left(50);
        const int blank = name.ReverseFind(L' ');
        if (blank > 0)
            name = name.Left(blank);
    }
    name.TrimRight(L" .");
    return name.IsEmpty() ? name : SafeFileNameComponent(name);
}

}  // namespace

UINT CheckDownloadFolder(const CString& folder, CString& driveWord, DriveTypeQuery driveType)
{
    driveWord.Empty();
    if (folder.IsEmpty())
        return IDS_NO_DOWNLOAD_FOLDER;
    if (folder.FindOneOf(L"/*?\"<>|") >= 0)
        return IDS_DOWNLOAD_FOLDER_INVALID;
    if (folder.GetLength() >= 2 && folder[1] == L':') {
        const CString root = folder.Left(2) + L"\\";
        switch (driveType(root)) {
        case DRIVE_FIXED:
        case DRIVE_REMOTE: break;
        case DRIVE_CDROM: driveWord = L"CD and DVD"; return IDS_DOWNLOAD_DRIVE_REFUSED;
        case DRIVE_RAMDISK: driveWord = L"RAM"; return IDS_DOWNLOAD_DRIVE_REFUSED;
        default: driveWord = L"removable"; return IDS_DOWNLOAD_DRIVE_REFUSED;
        }
    }
    // "C:Music", "Music", "\\Music": relative to a current folder or drive.
    if (!IsFullPath(folder))
        return IDS_DOWNLOAD_FOLDER_INVALID;
    return 0;
}

CString MakeTitleFolderName(CBrenvaleDoc& library, const CString& downloadFolder, const CMediaObject& title)
{
    CString name = FolderNameFrom(title.GetMetadata().GetDisplayTitle(FALSE, TRUE));
    if (name.IsEmpty())
        name = FolderNameFrom(title.m_mediaId);
    if (name.IsEmpty())
        name = L"Title";
    MakeUniqueTitleFolder(library, downloadFolder, name);
    return name;
}
