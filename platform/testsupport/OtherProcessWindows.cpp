#include "OtherProcessWindows.h"

#include "WindowTestSupport.h"

#include <tlhelp32.h>

#include <functional>

namespace testsupport {

namespace {

CString TextOf(HWND window)
{
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, static_cast<int>(sizeof(text) / sizeof(text[0])));
    return text;
}

CString ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, static_cast<int>(sizeof(name) / sizeof(name[0])));
    return name;
}

// A message box is a dialog with a static text item 0xFFFF and no other dialog items of ours.
bool IsMessageBox(HWND window)
{
    return ClassOf(window) == L"#32770" && GetDlgItem(window, 0xFFFF) != nullptr;
}

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM visit)
{
    (*reinterpret_cast<const std::function<void(HWND)>*>(visit))(window);
    return TRUE;
}

void EachTopLevel(const std::function<void(HWND)>& visit)
{
    EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&visit));
}

}  // namespace

std::vector<ProcessBox> BoxesOfOtherProcesses()
{
    std::vector<ProcessBox> boxes;
    const DWORD self = GetCurrentProcessId();
    EachTopLevel([&](HWND window) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == self || !IsWindowVisible(window) || !IsMessageBox(window))
            return;
        boxes.push_back({window, process, TextOf(window), TextOf(GetDlgItem(window, 0xFFFF))});
    });
    return boxes;
}

ProcessBox WaitForBox(DWORD process, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    do {
        for (const ProcessBox& box : BoxesOfOtherProcesses()) {
            if (box.process == process)
                return box;
        }
        PumpMessages(50);
    } while (GetTickCount64() < end);
    return ProcessBox();
}

void Answer(const ProcessBox& box, int button)
{
    if (box.window)
        PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

HWND FindOtherProcessWindow(const wchar_t* title, DWORD* processOut)
{
    HWND found = nullptr;
    const DWORD self = GetCurrentProcessId();
    EachTopLevel([&](HWND window) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (!found && process != self && IsWindowVisible(window) && TextOf(window) == title) {
            found = window;
            if (processOut)
                *processOut = process;
        }
    });
    return found;
}

HWND WaitForProcessWindow(DWORD process, const wchar_t* title, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    do {
        HWND found = nullptr;
        EachTopLevel([&](HWND window) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (!found && owner == process && IsWindowVisible(window) && TextOf(window) == title)
                found = window;
        });
        if (found)
            return found;
        PumpMessages(50);
    } while (GetTickCount64() < end);
    return nullptr;
}

std::vector<DWORD> ProcessesNamed(const wchar_t* fileName)
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, fileName) == 0)
            ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

}  // namespace testsupport
