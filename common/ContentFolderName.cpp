#include "ContentFolderName.h"

CString PluralizeFolderName(const CString& name)
{
    CString folder(name);
    folder.Replace(L"Audiobook", L"Audiobooks");
    folder.Replace(L"Video", L"Videos");
    return folder;
}
