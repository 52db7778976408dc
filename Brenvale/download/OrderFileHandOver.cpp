#include "OrderFileHandOver.h"

#include "MarkedTextFile.h"
#include "res/BrenvaleIds.h"
#include "res/DownloadQueueIds.h"

namespace {

void ShowNotValid(const CString& path, UINT reason)
{
    CString text;
    text.Format(AfxLoadString(IDS_ORDER_FILE_NOT_VALID), path.GetString(), AfxLoadString(reason).GetString());
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

CString NormalizeHandedPath(const CString& text)
{
    CString path(text);
    if (path.Find(L"://") < 0)
        return path;
    const int scheme = path.Find(L"zkyopen://");
    if (scheme >= 0)
        path.Delete(scheme, 10);
    path.Trim();
    path.Trim(L'"');
    path.Trim(L'/');
    path.Replace(L'/', L'\\');
    return path;
}

bool IsPlaylistPath(const CString& path)
{
    const int dot = path.ReverseFind(L'.');
    return dot >= 0 && path.Mid(dot).CompareNoCase(L".wax") == 0;
}

CString DecodeOrderFileBytes(const std::string& bytes)
{
    CString text;
    DecodeMarkedText(bytes, text, UnmarkedText::utf8OrAnsi);
    return text;
}

UINT ParseMediaOrderText(const CString& text, CXmlNode& root)
{
    // A NUL would end the text for the reader's searches part-way: no order file holds one.
    if (text.Find(L'\0') >= 0)
        return IDS_CONSOLE_ORDER_INVALID_FORMAT;
    const CString document = StripXmlProlog(text);
    if (document.IsEmpty() || !root.Parse(document))
        return IDS_CONSOLE_ORDER_INVALID_FORMAT;
    if (root.GetName().CompareNoCase(L"VesperlinMedia") != 0)
        return IDS_CONSOLE_ORDER_BAD_ROOT;
    return 0;
}

BOOL OpenMediaOrderFileText(const CString& path, CXmlNode& root)
{
    std::string bytes;
    DWORD error = 0;
    if (!ReadWholeFile(path, bytes, error)) {
        CString text;
        text.Format(AfxLoadString(IDS_ORDER_FILE_OPEN_FAILED), path.GetString(), FileErrorText(error, path).GetString());
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (const UINT problem = ParseMediaOrderText(DecodeOrderFileBytes(bytes), root)) {
        ShowNotValid(path, problem);
        return FALSE;
    }
    return TRUE;
}
