#include "HtmlPage.h"

#include "CodePageTextFile.h"
#include "FileUtils.h"
#include "WebBrowserDlg.h"

CString HtmlPagePath(const wchar_t* fileName)
{
    const CString name(fileName ? fileName : L"");
    if (name.IsEmpty() || name.FindOneOf(L"\\/:") >= 0 || name == L"." || name == L"..")
        return CString();
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        return CString();
    CString folder(temp);
    folder.TrimRight(L'\\');
    CString path;
    path.Format(L"%s\\Brenvale\\%s", static_cast<const wchar_t*>(folder), static_cast<const wchar_t*>(name));
    return path;
}

BOOL ShowHtmlPage(const wchar_t* html, const wchar_t* fileName, const wchar_t* message, CWnd* parent)
{
    if (!html || !*html)
        return FALSE;
    const CString path = HtmlPagePath(fileName);
    if (path.IsEmpty() || !CreateParentFolder(path))
        return FALSE;
    UINT flags = CFile::modeCreate | CFile::modeWrite | CFile::typeText;
    if (!CCodePageTextFile::CanRepresent(html))
        flags |= CCodePageTextFile::modeWriteUnicode;  // "#" in place of characters would spoil the page
    try {
        CCodePageTextFile file(path, flags);
        file.WriteString(html);
        file.Close();
    } catch (const CException&) {
        return FALSE;
    }
    CWebBrowserDlg dialog(L"file:" + path, message, parent ? parent : AfxGetMainWnd());
    return dialog.DoModal() != -1;
}
