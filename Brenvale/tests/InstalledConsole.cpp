#include "InstalledConsole.h"

#include "BrenvaleApp.h"
#include "FileUtils.h"
#include "TestSupport.h"

#include <commctrl.h>

namespace installedtest {

namespace {

BOOL CALLBACK FindListView(HWND child, LPARAM found)
{
    wchar_t name[64] = {};
    GetClassNameW(child, name, static_cast<int>(sizeof(name) / sizeof(name[0])));
    if (wcscmp(name, WC_LISTVIEWW) != 0 || !IsWindowVisible(child))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

}  // namespace

CString ProgramFolder()
{
    wchar_t binary[MAX_PATH] = {};
    CString folder;
    if (GetEnvironmentVariableW(L"VESPERLIN_BINARY_DIR", binary, MAX_PATH)) {
        folder = binary;
        if (!folder.IsEmpty() && folder[0] == L'/')
            folder = testsupport::WindowsPath(folder.ToNarrow());
    } else {
        // <build>\Brenvale\tests\program.exe: the build is two folders up.
        folder = GetProgramFolder();
        for (int up = 0; up < 2 && folder.ReverseFind(L'\\') > 0; ++up)
            folder.Truncate(folder.ReverseFind(L'\\'));
    }
    return folder + L"\\program";
}

InstalledConsole::~InstalledConsole()
{
    if (!m_started)
        return;
    if (WaitForSingleObject(m_started, 0) == WAIT_TIMEOUT) {
        if (IsWindow(m_frame))
            PostMessageW(m_frame, WM_CLOSE, 0, 0);
        for (int i = 0; i < 300 && WaitForSingleObject(m_started, 100) == WAIT_TIMEOUT; ++i)
            Boxes(IDOK);
        if (WaitForSingleObject(m_started, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_started, 1);
            WaitForSingleObject(m_started, 5000);
        }
    }
    CloseHandle(m_started);
}

bool InstalledConsole::Start()
{
    const CString program = ProgramFolder() + L"\\Larkmoor.exe";
    if (!FileExists(program))
        return false;
    std::wstring commandLine = L"\"" + program.str() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    m_started = process.hProcess;
    m_process = process.dwProcessId;
    return FindFrame(60000) != nullptr;
}

bool InstalledConsole::Attach(DWORD timeoutMs)
{
    return FindFrame(timeoutMs) != nullptr;
}

HWND InstalledConsole::FindFrame(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        for (HWND w = FindWindowW(kConsoleWindowClass, nullptr); w; w = FindWindowExW(nullptr, w, kConsoleWindowClass, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (IsWindowVisible(w) && (m_process == 0 || owner == m_process)) {
                m_frame = w;
                m_process = owner;
                return w;
            }
        }
        if (GetTickCount() - start > timeoutMs || (m_started && WaitForSingleObject(m_started, 0) != WAIT_TIMEOUT))
            return nullptr;
        Sleep(100);
    }
}

bool InstalledConsole::SelectFirstTitle()
{
    HWND list = nullptr;
    // The list is filled once the library has loaded.
    for (int i = 0; i < 300; ++i) {
        list = nullptr;
        EnumChildWindows(m_frame, FindListView, reinterpret_cast<LPARAM>(&list));
        if (list && SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) > 0)
            break;
        Sleep(100);
    }
    if (!list || SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) <= 0)
        return false;
    SendMessageW(list, WM_KEYDOWN, VK_HOME, 1);
    SendMessageW(list, WM_KEYUP, VK_HOME, 0xC0000001);
    return SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
}

void InstalledConsole::Command(UINT id) const
{
    PostMessageW(m_frame, WM_COMMAND, id, 0);
}

std::vector<testsupport::ProcessBox> InstalledConsole::Boxes(int answer) const
{
    std::vector<testsupport::ProcessBox> mine;
    for (const testsupport::ProcessBox& box : testsupport::BoxesOfOtherProcesses()) {
        if (box.process != m_process)
            continue;
        mine.push_back(box);
        if (answer)
            testsupport::Answer(box, answer);
    }
    return mine;
}

HWND WaitForWizard(const InstalledConsole& console, const wchar_t* title, DWORD* process,
                   std::vector<testsupport::ProcessBox>* consoleBoxes, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD owner = 0;
        HWND found = testsupport::FindOtherProcessWindow(title, &owner);
        if (found && owner != console.Process()) {
            if (process)
                *process = owner;
            return found;
        }
        for (const testsupport::ProcessBox& box : console.Boxes(IDOK)) {
            if (consoleBoxes)
                consoleBoxes->push_back(box);
        }
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(100);
    }
}

}  // namespace installedtest
