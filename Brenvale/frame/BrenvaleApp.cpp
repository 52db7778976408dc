#include "BrenvaleApp.h"

#include "AboutDialog.h"
#include "BrenvaleDoc.h"
#include "MainFrm.h"
#include "SplashWnd.h"
#include "XmlNode.h"
#include "res/BrenvaleIds.h"
#include "res/ConsoleIds.h"

#include <commctrl.h>
#include <ole2.h>

#include <string>

IMPLEMENT_DYNAMIC(CBrenvaleApp, CWinApp)

// Shared by every instance of the program (a section marked shared).
__attribute__((section(".shared"), shared)) wchar_t SharedOpenPath[kSharedOpenPathLength] = {0};

namespace {
constexpr UINT kSplashTimeMs = 3000;
constexpr DWORD kPopupContextFrom = 0x80CF0002;
constexpr DWORD kPopupContextTo = 0x819F0002;
// How long a later start waits for the first console's frame, for its turn at the shared
// buffer, and for the running frame to copy the text out.
constexpr DWORD kRunningFrameWaitMs = 30000;
constexpr DWORD kHandOverTurnWaitMs = 20000;
constexpr DWORD kHandOverCopyWaitMs = 10000;
constexpr DWORD kPollMs = 50;
}  // namespace

CBrenvaleApp::CBrenvaleApp(const wchar_t* appName) : CWinApp(appName) { EnableHtmlHelp(); }

UINT CBrenvaleApp::AdjustMessageBoxType(UINT type)
{
    const UINT buttons = type & MB_TYPEMASK;
    const bool question = (buttons & 4) != 0 || (buttons & 3) == 3;
    if (question && (type & MB_ICONMASK) == 0)
        type |= MB_ICONQUESTION;
    return type;
}

int CBrenvaleApp::DoMessageBox(const wchar_t* text, UINT type, UINT helpId)
{
    if (text && !m_suppressedText.IsEmpty() && m_suppressedText == text)
        return IDOK;
    return CWinApp::DoMessageBox(text, AdjustMessageBoxType(type), helpId);
}

void CBrenvaleApp::ShowHelpTopic(const HELPINFO* info, const wchar_t* topic)
{
    if (!info || !topic)
        return;
    const bool shift = ::GetKeyState(VK_SHIFT) < 0;
    const bool f1 = ::GetKeyState(VK_F1) < 0;
    if (info->iContextType == HELPINFO_WINDOW && ::IsWindow(static_cast<HWND>(info->hItemHandle))) {
        HWND control = static_cast<HWND>(info->hItemHandle);
        POINT at = info->MousePos;
        if (f1 && !shift) {
            HWND parent = ::GetParent(control);
            if (::IsWindow(parent))
                ::SendMessageW(parent, WM_COMMAND, ID_HELP, 0);
            return;
        }
        if (f1 && shift) {
            RECT rect;
            ::GetWindowRect(control, &rect);
            at = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        }
        HH_POPUP popup{};
        popup.cbStruct = sizeof popup;
        popup.idString = static_cast<UINT>(info->dwContextId == kPopupContextFrom ? kPopupContextTo : info->dwContextId);
        popup.pt = at;
        popup.clrForeground = static_cast<COLORREF>(-1);
        popup.clrBackground = static_cast<COLORREF>(-1);
        popup.rcMargins = {-1, -1, -1, -1};
        const CString file = CString(m_pszHelpFilePath ? m_pszHelpFilePath : L"") + L"::/" + topic;
        AfxHtmlHelp(control, file, HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(&popup));
        return;
    }
    if (info->iContextType == HELPINFO_MENUITEM)
        HtmlHelp(HID_BASE_COMMAND + static_cast<DWORD>(info->iCtrlId), HH_HELP_CONTEXT);
}

BOOL CBrenvaleApp::RegisterFrameClass()
{
    WNDCLASSW cls{};
    if (::GetClassInfoW(m_hInstance, kConsoleWindowClass, &cls))
        return FALSE;  // already there (not ours to unregister)
    cls.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    cls.lpfnWndProc = ::DefWindowProcW;
    cls.hInstance = m_hInstance;
    cls.hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    cls.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    cls.lpszClassName = kConsoleWindowClass;
    m_registeredClass = ::RegisterClassW(&cls) != 0;
    return m_registeredClass;
}

BOOL CBrenvaleApp::TakeInstanceMutex()
{
    if (m_ownsInstance)
        return TRUE;
    if (!m_instanceMutex)
        m_instanceMutex = ::CreateMutexW(nullptr, FALSE, kConsoleInstanceMutex);
    if (!m_instanceMutex)  // no named object: the window search alone decides
        return ::FindWindowW(kConsoleWindowClass, nullptr) == nullptr;
    // Abandoned: the console that owned it ended without releasing it; this one is first now.
    const DWORD taken = ::WaitForSingleObject(m_instanceMutex, 0);
    m_ownsInstance = taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED;
    return m_ownsInstance;
}

CWnd* CBrenvaleApp::FindRunningInstance()
{
    const DWORD start = ::GetTickCount();
    while (!TakeInstanceMutex()) {
        // Another console owns the mutex; its frame may still be on its way.
        if (HWND found = ::FindWindowW(kConsoleWindowClass, nullptr)) {
            HWND top = ::GetAncestor(found, GA_ROOT);
            if (!top)
                top = found;
            if (::IsIconic(top))
                ::ShowWindow(top, SW_RESTORE);
            ::SetForegroundWindow(top);
            return CWnd::FromHandle(top);
        }
        if (::GetTickCount() - start > kRunningFrameWaitMs)
            return nullptr;
        ::Sleep(kPollMs);
    }
    RegisterFrameClass();
    return nullptr;
}

BOOL CBrenvaleApp::HandOver(HWND frame, const CString& path)
{
    if (!path.IsEmpty() && path.GetLength() < kSharedOpenPathLength) {
        wmemcpy(SharedOpenPath, path, static_cast<size_t>(path.GetLength()));
        SharedOpenPath[path.GetLength()] = L'\0';
        ::PostMessageW(frame, WM_OPEN_PATH, 0, reinterpret_cast<LPARAM>(SharedOpenPath));
        return TRUE;
    }
    ::PostMessageW(frame, WM_STARTUP_NO_FILE, 0, 0);
    return path.IsEmpty();
}

BOOL CBrenvaleApp::HandOverInTurn(HWND frame, const CString& path)
{
    if (path.IsEmpty() || path.GetLength() >= kSharedOpenPathLength)
        return HandOver(frame, path);  // nothing is written to the buffer
    HANDLE turn = ::CreateMutexW(nullptr, FALSE, kHandOverTurnMutex);
    HANDLE copied = ::CreateEventW(nullptr, TRUE, FALSE, kHandOverCopiedEvent);
    // A turn not had within the wait belongs to a writer whose console does not answer;
    // this one writes anyway rather than lose its text.
    const DWORD got = turn ? ::WaitForSingleObject(turn, kHandOverTurnWaitMs) : WAIT_FAILED;
    if (copied)
        ::ResetEvent(copied);
    const BOOL handed = HandOver(frame, path);
    if (handed && copied)
        ::WaitForSingleObject(copied, kHandOverCopyWaitMs);
    if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED)
        ::ReleaseMutex(turn);
    if (copied)
        ::CloseHandle(copied);
    if (turn)
        ::CloseHandle(turn);
    return handed;
}

void CBrenvaleApp::AcknowledgeHandOver()
{
    if (HANDLE copied = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, kHandOverCopiedEvent)) {
        ::SetEvent(copied);
        ::CloseHandle(copied);
    }
}

CString CBrenvaleApp::AbsoluteHandedPath(const CString& path)
{
    if (path.IsEmpty() || path.Find(L"://") >= 0)
        return path;
    const DWORD needed = ::GetFullPathNameW(path, 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(path, needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return path;
    return CString(full.c_str(), static_cast<int>(length));
}

BOOL CBrenvaleApp::CreateConsole(BOOL showSplash, const CRuntimeClass* docClass)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES |
                                                       ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    if (FAILED(::OleInitialize(nullptr))) {
        AfxMessageBox(IDS_OLE_INIT_FAILED);
        return FALSE;
    }
    m_oleStarted = TRUE;
    if (showSplash)
        CSplashWnd::ShowSplashScreen(IDB_SPLASH, kSplashTimeMs);
    // ActiveX controls are hosted by the player's own container; nothing to enable here.
    SetRegistryKey(IDS_COMPANY_KEY);
    auto* docTemplate = new CSingleDocTemplate(IDR_MAINFRAME, docClass ? docClass : RUNTIME_CLASS(CBrenvaleDoc), RUNTIME_CLASS(CMainFrame),
                                               RUNTIME_CLASS(CView));
    if (!docTemplate->IsValid()) {
        delete docTemplate;
        AfxMessageBox(IDS_TEMPLATE_FAILED);
        return FALSE;
    }
    AddDocTemplate(docTemplate);
    EnableShellOpen();
    RegisterShellFileTypes(TRUE);
    BuildEntityTable();
    RegisterFrameClass();  // when no search for a running console did it
    OnFileNew();
    if (!m_pMainWnd || !m_pMainWnd->m_hWnd)
        return FALSE;
    m_consoleName = AfxLoadString(IDS_APP_NAME);
    m_pszAppName = m_consoleName;
    AfxSetMessageBoxCaption(m_consoleName);
    AfxSetMessageBoxOwner(m_pMainWnd->m_hWnd);
    m_pMainWnd->SetWindowText(m_consoleName);
    m_pMainWnd->ShowWindow(SW_SHOW);
    m_pMainWnd->UpdateWindow();
    m_pMainWnd->DragAcceptFiles(TRUE);
    if (auto* frame = dynamic_cast<CMainFrame*>(m_pMainWnd))
        frame->StartPictureTurns();
    CSplashWnd::OnMainWindowShown();
    return TRUE;
}

BOOL CBrenvaleApp::InitInstance()
{
    m_pMainWnd = FindRunningInstance();
    const BOOL running = m_pMainWnd != nullptr;
    if (!running && !m_ownsInstance)
        return FALSE;  // another console is starting and never showed its frame
    CCommandLineInfo info;
    ParseCommandLine(info);
    if (!running && !CreateConsole(info.m_bShowSplash)) {
        CSplashWnd::HideSplashScreen();
        return FALSE;
    }
    HWND frame = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    if (info.m_nShellCommand == CCommandLineInfo::FileOpen) {
        CSplashWnd::HideSplashScreen();
        const CString path = AbsoluteHandedPath(info.m_strFileName);
        BOOL handed = FALSE;
        if (running) {
            handed = HandOverInTurn(frame, path);
        } else if (auto* own = dynamic_cast<CMainFrame*>(m_pMainWnd)) {
            handed = own->OpenPathLater(path);
        }
        if (!handed) {
            CString text;
            text.Format(AfxLoadString(IDS_PATH_TOO_LONG), path.GetString());
            AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        }
    } else {
        HandOver(frame, CString());
    }
    LoadSuppressedMessageText();
    return !running;
}

void CBrenvaleApp::LoadSuppressedMessageText() { m_suppressedText = AfxLoadString(IDS_HELP_LAUNCH_FAILED); }

BOOL CBrenvaleApp::OnCmdMsg(UINT id, UINT code)
{
    if (id == ID_HELP_ABOUT && (code == 0 || code == 1)) {
        CAboutDlg about(m_pMainWnd);
        about.DoModal();
        return TRUE;
    }
    return CWinApp::OnCmdMsg(id, code);
}

BOOL CBrenvaleApp::OnIdle(LONG count)
{
    BOOL more = CWinApp::OnIdle(count);
    if (auto* frame = dynamic_cast<CMainFrame*>(m_pMainWnd); frame && frame->FillPicturesTurn())
        more = TRUE;
    return more;
}

int CBrenvaleApp::ExitInstance()
{
    if (m_registeredClass) {
        ::UnregisterClassW(kConsoleWindowClass, m_hInstance);
        m_registeredClass = FALSE;
    }
    if (m_instanceMutex) {
        if (m_ownsInstance)
            ::ReleaseMutex(m_instanceMutex);
        ::CloseHandle(m_instanceMutex);
        m_instanceMutex = nullptr;
        m_ownsInstance = FALSE;
    }
    if (m_oleStarted) {
        ::OleUninitialize();
        m_oleStarted = FALSE;
    }
    return CWinApp::ExitInstance();
}
