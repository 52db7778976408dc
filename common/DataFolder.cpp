#include "DataFolder.h"

#include "FileUtils.h"
#include "res/DataFolderIds.h"

#include <shlobj.h>

namespace {
CString FolderUnder(int csidl)
{
    wchar_t base[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, base)))
        return CString();
    CString format = AfxLoadString(IDS_DATA_FOLDER_FORMAT);
    if (format.IsEmpty())
        format = L"%s\\Vesperlin\\Brenvale";
    CString folder;
    folder.Format(format, base);
    return folder;
}
}  // namespace

CString GetConsoleDataFolder()
{
    const CString roaming = FolderUnder(CSIDL_APPDATA);
    if (!roaming.IsEmpty() && CreateFolderPath(roaming))
        return roaming;
    return FolderUnder(CSIDL_LOCAL_APPDATA);
}
