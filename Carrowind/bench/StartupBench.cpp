// Start-up of Carrowind.exe under Wine, from process start to its Welcome page shown with the
// title read (the console's command line, a title of 12 parts with its order file), beside a
// peer in the same run: the same program started without a playlist, to its message box (the
// program's own start without the sheet and the title). One warm-up start each, then five
// counted; the medians are printed.
#include "BenchClock.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring ProgramPath()
{
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring path = module;
    path = path.substr(0, path.rfind(L'\\'));  // ...\Carrowind\bench
    path = path.substr(0, path.rfind(L'\\'));
    return path + L"\\Carrowind.exe";
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Utf16(const std::wstring& text)
{
    std::string bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

// A title folder as the console leaves it; returns the playlist's path.
std::wstring MakeTitle()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"CarrowindBench\\Night Harbour";
    CreateDirectoryW((std::wstring(temp) + L"CarrowindBench").c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring playlist = L"<asx version=\"3.0\">\r\n";
    std::wstring parts;
    for (int i = 1; i <= 12; ++i) {
        wchar_t name[64];
        swprintf(name, 64, L"Night Harbour-Part%02d.mp3", i);
        WriteBytes(folder + L"\\" + name, std::string(4096, '\0'));
        playlist += L"\t<entry>\r\n\t\t<ref href=\"" + folder + L"\\" + name + L"\"/>\r\n\t</entry>\r\n";
        parts += L"<Part number=\"" + std::to_wstring(i) + L"\" filesize=\"4096\" name=\"Part " + std::to_wstring(i) +
                 L"\" filename=\"" + name + L"\" duration=\"10:00\"/>";
    }
    playlist += L"</asx>";
    WriteBytes(folder + L"\\Night Harbour.wax", Utf16(playlist));
    WriteBytes(folder + L"\\Night Harbour.vpm",
               Utf16(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<VesperlinMedia id=\"bench\"><Metadata><Title>"
                     L"<![CDATA[Night Harbour]]></Title></Metadata><Formats><Format><Parts>" +
                     parts + L"</Parts></Format></Formats><Source id=\"src\"><Name>Bench</Name></Source></VesperlinMedia>"));
    return folder + L"\\Night Harbour.wax";
}

struct Found {
    DWORD process;
    const wchar_t* title;  // null: any message box
    HWND window;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM data)
{
    auto* found = reinterpret_cast<Found*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != found->process || !IsWindowVisible(window))
        return TRUE;
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    if (found->title ? wcscmp(text, found->title) == 0 : GetDlgItem(window, 0xFFFF) != nullptr) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

// One start: seconds from CreateProcess until the window is shown; -1 when it is not within 60 s.
double TimeStart(const std::wstring& arguments, const wchar_t* title)
{
    const std::wstring program = ProgramPath();
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const double start = Now();
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    double shown = -1;
    while (Now() - start < 60) {
        Found found{process.dwProcessId, title, nullptr};
        EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&found));
        if (found.window) {
            shown = Now() - start;
            if (title)
                PostMessageW(found.window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            else
                PostMessageW(found.window, WM_COMMAND, IDOK, 0);
            break;
        }
        Sleep(2);
    }
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return shown;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int main()
{
    const std::wstring playlist = MakeTitle();
    const std::wstring wizardLine = L"-SourceID=\"src\" -Path=\"" + playlist + L"\" -Type=\"MP3 Audiobook\"";
    std::vector<double> wizard, peer;
    for (int i = 0; i < 6; ++i) {
        const double shown = TimeStart(wizardLine, L"Vesperlin Carrowind - Welcome");
        const double box = TimeStart(L"", nullptr);
        if (shown < 0 || box < 0) {
            std::printf("Carrowind.exe did not show its window\n");
            return 1;
        }
        if (i > 0) {  // the first start of each warms Wine's caches
            wizard.push_back(shown);
            peer.push_back(box);
        }
    }
    std::printf("start-up of Carrowind.exe to a shown Welcome page (12-part title): %.3f s (median of %zu)\n",
                Median(wizard), wizard.size());
    std::printf("peer: start-up of Carrowind.exe without a playlist to its message box: %.3f s (median of %zu)\n",
                Median(peer), peer.size());
    return 0;
}
