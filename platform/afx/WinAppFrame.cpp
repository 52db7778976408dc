// The application's frame half: document templates, the command line, the file dialog,
// shell file types, idle command states and the program's main.
#include "WinApp.h"

#include "AfxResource.h"
#include "DocTemplate.h"
#include "FrameWnd.h"

#include <commdlg.h>

void CWinApp::AddDocTemplate(CDocTemplate* docTemplate)
{
    if (docTemplate)
        m_templates.push_back(docTemplate);
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info)
{
    const CStringArray arguments = AfxSplitCommandLine(::GetCommandLineW());
    for (INT_PTR i = 0; i < arguments.GetSize(); ++i) {
        const CString& argument = arguments[i];
        const BOOL isFlag = !argument.IsEmpty() && (argument[0] == L'/' || argument[0] == L'-');
        const CString param = isFlag ? argument.Mid(1) : argument;
        info.ParseParam(param, isFlag, i == arguments.GetSize() - 1);
    }
}

void CWinApp::OnFileNew()
{
    if (CDocTemplate* docTemplate = GetFirstDocTemplate())
        docTemplate->OpenDocumentFile(nullptr);
}

CDocument* CWinApp::OpenDocumentFile(const wchar_t* path)
{
    CDocTemplate* docTemplate = GetFirstDocTemplate();
    if (!docTemplate || !path || !*path)
        return nullptr;
    return docTemplate->OpenDocumentFile(path);
}

void CWinApp::OnFileOpen()
{
    CString path;
    if (DoPromptFileName(path, GetFirstDocTemplate()))
        OpenDocumentFile(path);
}

BOOL CWinApp::DoPromptFileName(CString& path, CDocTemplate* docTemplate)
{
    // "<filter name>\0*<ext>\0All Files (*.*)\0*.*\0\0"
    CString filter;
    CString name;
    CString ext;
    if (docTemplate && docTemplate->GetDocString(name, CDocTemplate::filterName) &&
        docTemplate->GetDocString(ext, CDocTemplate::filterExt)) {
        filter += name;
        filter += L'\n';
        filter += L"*" + ext;
        filter += L'\n';
    }
    CString all = AfxLoadString(61443);
    if (all.IsEmpty())
        all = L"All Files (*.*)";
    filter += all + L"\n*.*\n\n";
    std::vector<wchar_t> filterBuffer(static_cast<const wchar_t*>(filter), static_cast<const wchar_t*>(filter) + filter.GetLength() + 1);
    for (wchar_t& c : filterBuffer)
        if (c == L'\n')
            c = L'\0';
    std::vector<wchar_t> file(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    ofn.lpstrFilter = filterBuffer.data();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = ext.IsEmpty() ? nullptr : static_cast<const wchar_t*>(ext) + (ext[0] == L'.' ? 1 : 0);
    ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_EXPLORER;
    if (!::GetOpenFileNameW(&ofn))
        return FALSE;
    path = file.data();
    return TRUE;
}

namespace {
BOOL SetClassesValue(const CString& subKey, const wchar_t* name, const CString& value)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return FALSE;
    const DWORD bytes = static_cast<DWORD>((value.GetLength() + 1) * sizeof(wchar_t));
    const LONG status = ::RegSetValueExW(key, name, 0, REG_SZ,
                                         reinterpret_cast<const BYTE*>(static_cast<const wchar_t*>(value)), bytes);
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}
}  // namespace

BOOL CWinApp::RegisterShellFileTypes(BOOL)
{
    wchar_t module[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return FALSE;
    const CString program(module, static_cast<int>(length));
    BOOL ok = TRUE;
    for (CDocTemplate* docTemplate : m_templates) {
        CString ext;
        CString typeId;
        CString typeName;
        if (!docTemplate->GetDocString(ext, CDocTemplate::filterExt) ||
            !docTemplate->GetDocString(typeId, CDocTemplate::regFileTypeId))
            continue;
        if (!docTemplate->GetDocString(typeName, CDocTemplate::regFileTypeName))
            typeName = typeId;
        ok = SetClassesValue(typeId, nullptr, typeName) && ok;
        ok = SetClassesValue(typeId + L"\\DefaultIcon", nullptr, program + L",0") && ok;
        ok = SetClassesValue(typeId + L"\\shell\\open\\command", nullptr, L"\"" + program + L"\" \"%1\"") && ok;
        ok = SetClassesValue(ext, nullptr, typeId) && ok;
    }
    return ok;
}

void CWinApp::OnHelpFinder() { HtmlHelp(0, HH_DISPLAY_TOPIC); }

BOOL CWinApp::OnCmdMsg(UINT id, UINT code)
{
    if (code != 0 && code != 1)
        return FALSE;
    switch (id) {
    case ID_FILE_NEW:
        OnFileNew();
        return TRUE;
    case ID_FILE_OPEN:
        OnFileOpen();
        return TRUE;
    case ID_APP_EXIT:
        if (m_pMainWnd && m_pMainWnd->m_hWnd)
            m_pMainWnd->SendMessage(WM_CLOSE);
        return TRUE;
    case ID_HELP_FINDER:
        OnHelpFinder();
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CWinApp::OnIdle(LONG count)
{
    if (count == 0 && m_pMainWnd && m_pMainWnd->m_hWnd && ::IsWindowVisible(m_pMainWnd->m_hWnd))
        m_pMainWnd->SendMessage(WM_IDLEUPDATECMDUI, TRUE);
    return CWinThread::OnIdle(count);
}

int AfxWinMain()
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    if (!app->InitInstance()) {
        // A second instance's main window is the running program's: never ours to destroy.
        if (app->m_pMainWnd && CWnd::FromHandlePermanent(app->m_pMainWnd->m_hWnd) != app->m_pMainWnd)
            app->m_pMainWnd = nullptr;
        if (app->m_pMainWnd && app->m_pMainWnd->m_hWnd)
            app->m_pMainWnd->DestroyWindow();
        return app->ExitInstance();
    }
    return app->Run();
}
