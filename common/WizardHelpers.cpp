#include "WizardHelpers.h"

CString PluralizeFolderName(const CString& name)
{
    CString folder(name);
    folder.Replace(L"Audiobook", L"Audiobooks");
    folder.Replace(L"Video", L"Videos");
    return folder;
}

int GetTextFileEncoding(const wchar_t* path)
{
    if (!path)
        return 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BYTE mark[3] = {};
    DWORD got = 0;
    const BOOL ok = ReadFile(file, mark, sizeof mark, &got, nullptr);
    CloseHandle(file);
    if (!ok)
        return 0;
    if (got >= 2 && mark[0] == 0xFF && mark[1] == 0xFE)
        return 1;
    if (got >= 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF)
        return 2;
    return 0;
}
