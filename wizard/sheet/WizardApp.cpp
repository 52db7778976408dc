#include "WizardApp.h"

#include "AfxMessageBox.h"
#include "CFile.h"
#include "DocTemplate.h"
#include "FileUtils.h"
#include "MarkedTextFile.h"
#include "Module.h"
#include "PropertySheet.h"
#include "WizardCommandLine.h"
#include "WizardServices.h"
#include "Wnd.h"
#include "res/WizardSheetIds.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

IMPLEMENT_DYNAMIC(CWizardAppBase, CWinApp)

namespace {

struct RunningSearch {
    UINT message;
    HWND found;
};

BOOL CALLBACK FindRunningWizardProc(HWND window, LPARAM slot)
{
    auto* search = reinterpret_cast<RunningSearch*>(slot);
    DWORD_PTR reply = 0;
    if (SendMessageTimeoutW(window, search->message, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 200, &reply) &&
        reply == search->message) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

CWizardAppBase* AfxGetWizardApp() { return dynamic_cast<CWizardAppBase*>(AfxGetApp()); }

CWizardAppBase::CWizardAppBase(const WizardNames& names) : CWinApp(nullptr), m_names(names)
{
    m_programFolder = GetProgramFolder();
    const CString strings = JoinPath(CString(names.program) + L".strings");
    if (FileExists(strings))
        m_stringsFilePath = strings;
    m_startTime = time(nullptr);
    m_singleInstanceMessage = RegisterWindowMessageW(names.singleInstance);
    SetHelpFilePath(JoinPath(CString(names.program) + L".chm"));
}

CWizardAppBase::~CWizardAppBase()
{
    if (m_logFile) {
        const BOOL verbose = m_verbose;
        m_verbose = TRUE;
        WriteVerboseLog(L"END");
        m_verbose = verbose;
        m_logFile->Close();
        delete m_logFile;
        m_logFile = nullptr;
    }
    if (m_singleInstanceMutex)
        CloseHandle(m_singleInstanceMutex);
}

CString CWizardAppBase::JoinPath(const wchar_t* name) const
{
    CString path;
    path.Format(L"%s\\%s", m_programFolder.GetString(), name);
    return path;
}

CString CWizardAppBase::GetAppTitle() const { return AfxLoadString(m_names.appTitleId); }

CString CWizardAppBase::DefaultLogFilePath() const
{
    wchar_t documents[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, documents)) &&
        documents[0]) {
        CString path;
        path.Format(L"%s\\Vesperlin\\%s.log", documents, m_names.program);
        return path;
    }
    wchar_t program[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    CString path(program, static_cast<int>(length));
    if (path.GetLength() >= 3)
        path = path.Left(path.GetLength() - 3) + L"log";
    return path;
}

void CWizardAppBase::WriteVerboseLog(const wchar_t* message)
{
    if (!message || !*message || !m_verbose)
        return;
    if (!m_logFile) {
        if (m_logFilePath.IsEmpty())
            m_logFilePath = DefaultLogFilePath();
        CreateParentFolder(m_logFilePath);
        auto* file = new CFile;
        CFileException error;
        if (!file->Open(m_logFilePath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &error)) {
            delete file;
            m_verbose = FALSE;
            CString reason = FileErrorText(static_cast<DWORD>(error.m_lOsError), m_logFilePath).Left(300);
            reason.Remove(L'\r');
            reason.Remove(L'\n');
            CString text;
            text.Format(AfxLoadString(IDS_WIZARD_LOG_FAILED), m_logFilePath.GetString(), reason.GetString());
            AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        m_logFile = file;
        // The file is UTF-16: its mark once, at its start.
        const wchar_t mark = 0xFEFF;
        try {
            m_logFile->Write(&mark, sizeof(mark));
        } catch (const CException&) {
        }
        CString text;
        text.Format(AfxLoadString(IDS_WIZARD_LOG_ENABLED), m_logFilePath.GetString());
        AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
    }
    const time_t elapsed = time(nullptr) - m_startTime;
    CString record;
    record.Format(L"[%02d:%02d:%02d] %s\r\n", static_cast<int>(elapsed / 3600), static_cast<int>(elapsed / 60 % 60),
                  static_cast<int>(elapsed % 60), message);
    try {
        m_logFile->Write(record.GetString(), static_cast<UINT>(record.GetLength() * sizeof(wchar_t)));
        m_logFile->Flush();
    } catch (const CException&) {
        // A full disk ends nothing: the record is lost.
    }
}

CString CWizardAppBase::LookupStringsFile(const wchar_t* section, const wchar_t* key, const wchar_t* defaultText) const
{
    if (m_stringsFilePath.IsEmpty() || !section || !key)
        return CString(defaultText);
    wchar_t buffer[500] = {};
    GetPrivateProfileStringW(section, key, L"", buffer, static_cast<DWORD>(sizeof(buffer) / sizeof(buffer[0])),
                             m_stringsFilePath);
    if (!buffer[0])
        return CString(defaultText);
    return CString(buffer);
}

int CWizardAppBase::DoMessageBox(const wchar_t* text, UINT type, UINT helpId)
{
    CString prompt(text);
    if (prompt.IsEmpty() && helpId != 0 && helpId != static_cast<UINT>(-1))
        prompt = AfxLoadString(helpId);
    const CString caption = GetAppTitle();
    return AfxShowMessageBox(AfxGetMessageBoxOwner(), prompt, caption, WizardMessageBoxType(type), helpId);
}

void CWizardAppBase::ShowHelpTopic(const HELPINFO* info, const wchar_t* topic)
{
    if (!info || !topic || !*topic || info->dwContextId == 0)
        return;
    if (info->iContextType == HELPINFO_MENUITEM) {
        HtmlHelp(static_cast<DWORD_PTR>(info->iCtrlId) + 0x10000, HH_HELP_CONTEXT);
        return;
    }
    HWND control = static_cast<HWND>(info->hItemHandle);
    if (!control || !::IsWindow(control))
        return;
    POINT at = info->MousePos;
    const bool f1 = GetKeyState(VK_F1) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (f1 && !shift) {
        ::SendMessageW(::GetParent(control), WM_COMMAND, ID_HELP, 0);
        return;
    }
    if (f1) {
        RECT rect{};
        ::GetWindowRect(control, &rect);
        at = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    ShowHelpPopup(control, topic, static_cast<DWORD>(info->dwContextId), at);
}

HWND CWizardAppBase::FindRunningWizard() const
{
    RunningSearch search{m_singleInstanceMessage, nullptr};
    EnumWindows(FindRunningWizardProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CWizardAppBase::TakeSingleInstance()
{
    if (m_singleInstanceHeld)
        return TRUE;
    if (!m_singleInstanceMutex) {
        m_singleInstanceMutex = CreateMutexW(nullptr, FALSE, m_names.singleInstance);
        const DWORD error = GetLastError();
        if (m_singleInstanceMutex && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) {
            m_singleInstanceHeld = TRUE;
            return TRUE;
        }
    }
    AfxMessageBox(m_names.alreadyRunningId, MB_OK);
    if (HWND running = FindRunningWizard()) {
        SetForegroundWindow(running);
        if (IsIconic(running))
            ShowWindow(running, SW_RESTORE);
    }
    return FALSE;
}

CWizardAppBase::ServerRun CWizardAppBase::HandleServerSwitches(com::Module& module, const CCommandLineInfo& info)
{
    if (info.m_bRunEmbedded || info.m_bRunAutomated) {
        WriteVerboseLog(L"RunEmbedded||RunAutomated");
        module.QuitWhenUnused(GetCurrentThreadId());
        return ServerRun::serve;
    }
    if (info.m_nShellCommand == CCommandLineInfo::AppUnregister) {
        module.UnregisterServer();
        WriteVerboseLog(L"AppUnregister");
        return ServerRun::ended;
    }
    if (info.m_nShellCommand == CCommandLineInfo::AppRegister) {
        module.RegisterServer();
        WriteVerboseLog(L"AppRegister");
        return ServerRun::ended;
    }
    return ServerRun::wizard;
}

CWizardAppBase::StartUp CWizardAppBase::StartWizardOrServer(UINT registryKeyId)
{
    if (!TakeSingleInstance())
        return StartUp::failed;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        AfxMessageBox(IDS_WIZARD_COM_FAILED, MB_OK);
        WriteVerboseLog(AfxLoadString(IDS_WIZARD_COM_FAILED));
        return StartUp::failed;
    }
    m_comStarted = TRUE;
    InitCommonControls();
    SetRegistryKey(registryKeyId);
    CCommandLineInfo info;
    ParseCommandLine(info);
    com::Module& module = com::Module::Current();
    if (FAILED(module.RegisterClassObjects(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE))) {
        WriteVerboseLog(L"RegisterClassObjects=Failed");
        return StartUp::failed;
    }
    m_classObjectsRegistered = TRUE;
    switch (HandleServerSwitches(module, info)) {
    case ServerRun::serve:
        return StartUp::serve;
    case ServerRun::ended:
        return StartUp::ended;
    case ServerRun::wizard:
        break;
    }
    return StartUp::wizard;
}

void CWizardAppBase::EndWizardOrServer()
{
    if (m_classObjectsRegistered) {
        com::Module::Current().RevokeClassObjects();
        m_classObjectsRegistered = FALSE;
    }
    if (m_comStarted) {
        CoUninitialize();
        m_comStarted = FALSE;
    }
}

BOOL CWizardAppBase::StartAndRun(UINT registryKeyId, const std::function<void()>& wizard)
{
    switch (StartWizardOrServer(registryKeyId)) {
    case StartUp::serve:
        return TRUE;
    case StartUp::ended:
    case StartUp::failed:
        return FALSE;
    case StartUp::wizard:
        break;
    }
    wizard();
    return FALSE;
}

int CWizardAppBase::ExitInstance()
{
    EndWizardOrServer();
    return CWinApp::ExitInstance();
}

BOOL CWizardAppBase::ReadTitleCommandLine(const WizardCommandLineRules& rules, UINT noPlaylistId,
                                          WizardCommandLine& options)
{
    m_bannerPath.Empty();
    ParseWizardCommandLine(GetCommandLineW(), ProgramPath(), rules, options);
    m_sourceId = options.sourceId;
    m_contentType = options.contentType;
    m_mobileMinVersion = options.mobileMinVersion;
    m_mobileCurVersion = options.mobileCurVersion;
    if (options.path.IsEmpty() || !IsPlaylistPath(options.path)) {
        AfxMessageBox(noPlaylistId, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    m_bannerPath = FindBannerImage(m_sourceId);
    return TRUE;
}

void CWizardAppBase::RunMainSheet(CPropertySheet& sheet)
{
    m_pMainWnd = &sheet;
    AfxSetMessageBoxOwner(nullptr);
    sheet.DoModal();
    m_pMainWnd = nullptr;
}

CString CWizardAppBase::ProgramPath()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return CString(path, static_cast<int>(length < MAX_PATH ? length : 0));
}

BOOL CWizardAppBase::IsPlaylistPath(const CString& path)
{
    CString ending = path.Right(4);
    return path.GetLength() >= 4 && ending.MakeUpper() == L".WAX";
}
