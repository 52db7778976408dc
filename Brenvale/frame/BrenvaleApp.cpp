#include "BrenvaleApp.h"

#include "AboutDialog.h"
#include "BrenvaleDoc.h"
#include "BrenvaleListView.h"
#include "MainFrm.h"
#include "SplashWnd.h"
#include "XmlNode.h"
#include "res/BrenvaleIds.h"
#include "res/ConsoleIds.h"

#include <commctrl.h>
#include <ole2.h>

IMPLEMENT_DYNAMIC(CBrenvaleApp, CWinApp)

// Shared by every instance of the program (a section marked shared).
__attribute__((section(".shared"), shared)) wchar_t SharedOpenPath[kSharedOpenPathLength] = {0};

namespace {
constexpr UINT kSplashTimeMs = 3000;
constexpr DWORD kPopupContextFrom = 0x80CF0002;
constexpr DWORD kPopupContextTo = 0x819F0002;
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

CWnd* CBrenvaleApp::FindRunningInstance()
{
    HWND found = ::FindWindowW(kConsoleWindowClass, nullptr);
    if (found) {
        HWND top = ::GetAncestor(found, GA_ROOT);
        if (!top)
            top = found;
        if (::IsIconic(top))
            ::ShowWindow(top, SW_RESTORE);
        ::SetForegroundWindow(top);
        return CWnd::FromHandle(top);
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
    CSplashWnd::OnMainWindowShown();
    return TRUE;
}

BOOL CBrenvaleApp::InitInstance()
{
    m_pMainWnd = FindRunningInstance();
    const BOOL running = m_pMainWnd != nullptr;
    CCommandLineInfo info;
    ParseCommandLine(info);
    if (!running && !CreateConsole(info.m_bShowSplash)) {
        CSplashWnd::HideSplashScreen();
        return FALSE;
    }
    HWND frame = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    if (info.m_nShellCommand == CCommandLineInfo::FileOpen) {
        CSplashWnd::HideSplashScreen();
        if (!HandOver(frame, info.m_strFileName)) {
            CString text;
            text.Format(AfxLoadString(IDS_PATH_TOO_LONG), static_cast<const wchar_t*>(info.m_strFileName));
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
    auto* frame = dynamic_cast<CMainFrame*>(m_pMainWnd);
    CBrenvaleDoc* library = frame ? frame->GetLibrary() : nullptr;
    if (library && library->GetPendingPictureCount() > 0) {
        constexpr INT_PTR kPicturesPerTurn = 8;
        if (library->FillPendingPictures(kPicturesPerTurn) > 0)
            more = TRUE;
        if (CBrenvaleListView* list = frame->GetListView())
            list->RefreshTitlePictures();
    }
    return more;
}

int CBrenvaleApp::ExitInstance()
{
    if (m_registeredClass) {
        ::UnregisterClassW(kConsoleWindowClass, m_hInstance);
        m_registeredClass = FALSE;
    }
    if (m_oleStarted) {
        ::OleUninitialize();
        m_oleStarted = FALSE;
    }
    return CWinApp::ExitInstance();
}
