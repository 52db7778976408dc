#include "DownloadFolders.h"

#include "MediaElements.h"
#include "ConsoleMediaObject.h"

#include <cwchar>

namespace {

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
