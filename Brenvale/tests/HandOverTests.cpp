// Two console processes: a second start hands its order file or link to the running
// console and ends without a window of its own; the running one is restored and receives
// the text intact (its frame writes what arrived to the log named by LARKMOOR_LOG). The
// first start registers the .vpm file type for the console.
#include "BrenvaleApp.h"
#include "DataFolder.h"
#include "FileUtils.h"
#include "InstalledConsole.h"
#include "LibraryTestSupport.h"
#include "RegistryKey.h"
#include "ServedTitle.h"
#include "ServiceAddress.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"
#include "res/ConsoleDialogIds.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testsupport::ScratchFolder;

namespace {

// The console as installed, in the build's program folder.
CString ConsolePath()
{
    return installedtest::ProgramFolder() + L"\\Larkmoor.exe";
}

// Starts the console with the arguments (in that current folder when given); the process
// handle (closed by the caller), and its main thread's when asked for (closed by the caller).
HANDLE StartConsole(const CString& arguments, const CString& folder = CString(), HANDLE* mainThread = nullptr)
{
    const CString program = ConsolePath();
    CString commandLine = L"\"" + program + L"\"";
    if (!arguments.IsEmpty())
        commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring buffer = commandLine.str();
    if (!CreateProcessW(program, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.IsEmpty() ? nullptr : folder.GetString(), &startup, &process))
        return nullptr;
    if (mainThread)
        *mainThread = process.hThread;
    else
        CloseHandle(process.hThread);
    return process.hProcess;
}

int CountConsoleWindows()
{
    int count = 0;
    for (HWND w = FindWindowW(kConsoleWindowClass, nullptr); w; w = FindWindowExW(nullptr, w, kConsoleWindowClass, nullptr))
        ++count;
    return count;
}

CString ReadClassesValue(const wchar_t* key)
{
    CString text;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &opened) == ERROR_SUCCESS) {
        AfxReadRegistryString(opened, nullptr, text);
        RegCloseKey(opened);
    }
    return text;
}

// Read while the console may be appending to it.
std::string ReadLog(const CString& path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

// Waits until the log holds the text (the frame handles posted messages in its own time).
bool WaitForLog(const CString& path, const std::string& text, DWORD ms = 10000)
{
    const DWORD start = GetTickCount();
    while (ReadLog(path).find(text) == std::string::npos) {
        if (GetTickCount() - start > ms)
            return false;
        Sleep(50);
    }
    return true;
}

// How often the log holds the line.
int CountLogLines(const CString& path, const std::string& line)
{
    const std::string text = "\n" + ReadLog(path);
    int count = 0;
    for (size_t at = text.find("\n" + line + "\n"); at != std::string::npos; at = text.find("\n" + line + "\n", at + 1))
        ++count;
    return count;
}

// Answers the running console's message boxes (order files that cannot be read).
void DismissConsoleBoxes()
{
    for (int i = 0; i < 20; ++i) {
        HWND box = FindWindowW(L"#32770", L"Vesperlin");
        if (!box)
            return;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        Sleep(200);
    }
}

HWND WaitForFrame(DWORD ms = 30000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND frame = FindWindowW(kConsoleWindowClass, nullptr))
            return frame;
        if (GetTickCount() - start > ms)
            return nullptr;
        Sleep(50);
    }
}

// Waits for the processes to end and closes them; false when one is still running.
bool WaitForAll(std::vector<HANDLE>& processes, DWORD ms = 60000)
{
    bool ended = true;
    for (HANDLE process : processes) {
        ended = WaitForSingleObject(process, ms) == WAIT_OBJECT_0 && ended;
        CloseHandle(process);
    }
    processes.clear();
    return ended;
}

void CloseConsole(HANDLE first)
{
    DismissConsoleBoxes();
    if (HWND frame = FindWindowW(kConsoleWindowClass, nullptr))
        PostMessageW(frame, WM_CLOSE, 0, 0);
    std::vector<HANDLE> processes{first};
    EXPECT_TRUE(WaitForAll(processes, 30000));
}

TEST(HandOver, OrderFilesHandedOverTogetherAreEachOfferedOnce)
{
    ScratchFolder scratch;
    const CString log = scratch / L"together.log";
    SetEnvironmentVariableW(L"LARKMOOR_LOG", log);
    HANDLE consoleThread = nullptr;
    HANDLE first = StartConsole(L"", CString(), &consoleThread);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(WaitForFrame(), nullptr);
    ASSERT_TRUE(WaitForLog(log, "0x501\n"));

    // The first round finds the running console busy (its thread held) until every start
    // has had time to write the shared buffer; the second finds it answering.
    constexpr int kTogether = 3;
    std::vector<std::string> expected;
    for (bool busy : {true, false}) {
        if (busy) {
            ASSERT_NE(SuspendThread(consoleThread), static_cast<DWORD>(-1));
        }
        std::vector<HANDLE> seconds;
        for (int n = 0; n < kTogether; ++n) {
            CString order;
            order.Format(L"%s\\order %s-%d.vpm", scratch.Path().GetString(), busy ? L"busy" : L"free", n);
            expected.push_back("0x500 " + order.ToNarrow(CP_UTF8));
            seconds.push_back(StartConsole(L"\"" + order + L"\""));
            ASSERT_NE(seconds.back(), nullptr);
        }
        if (busy) {
            Sleep(4000);
            ResumeThread(consoleThread);
        }
        EXPECT_TRUE(WaitForAll(seconds));
        DismissConsoleBoxes();
    }
    CloseHandle(consoleThread);
    for (const auto& line : expected) {
        EXPECT_TRUE(WaitForLog(log, line + "\n")) << ReadLog(log);
        EXPECT_EQ(CountLogLines(log, line), 1) << line << "\n" << ReadLog(log);
    }
    EXPECT_EQ(CountConsoleWindows(), 1);
    CloseConsole(first);
    SetEnvironmentVariableW(L"LARKMOOR_LOG", nullptr);
}

TEST(HandOver, ConsolesStartedTogetherMakeOneConsoleThatGetsEveryFile)
{
    ScratchFolder scratch;
    const CString log = scratch / L"cold.log";
    SetEnvironmentVariableW(L"LARKMOOR_LOG", log);
    ASSERT_EQ(CountConsoleWindows(), 0);
    std::vector<HANDLE> starts;
    std::vector<std::string> expected;
    for (int n = 0; n < 3; ++n) {
        CString order;
        order.Format(L"%s\\cold order %d.vpm", scratch.Path().GetString(), n);
        expected.push_back("0x500 " + order.ToNarrow(CP_UTF8));
        starts.push_back(StartConsole(L"\"" + order + L"\""));
        ASSERT_NE(starts.back(), nullptr);
    }
    ASSERT_NE(WaitForFrame(), nullptr);
    for (const auto& line : expected) {
        EXPECT_TRUE(WaitForLog(log, line + "\n", 30000)) << ReadLog(log);
        DismissConsoleBoxes();
    }
    for (const auto& line : expected)
        EXPECT_EQ(CountLogLines(log, line), 1) << line << "\n" << ReadLog(log);
    // Every start but the first has ended; one frame stands.
    int running = 0;
    HANDLE console = nullptr;
    for (HANDLE start : starts) {
        if (WaitForSingleObject(start, 0) == WAIT_TIMEOUT) {
            ++running;
            console = start;
        } else {
            CloseHandle(start);
        }
    }
    EXPECT_EQ(running, 1);
    EXPECT_EQ(CountConsoleWindows(), 1);
    if (console)
        CloseConsole(console);
    EXPECT_EQ(CountConsoleWindows(), 0);
    SetEnvironmentVariableW(L"LARKMOOR_LOG", nullptr);
}

TEST(HandOver, ARelativePathIsHandedOverAbsoluteAgainstTheStartingFolder)
{
    ScratchFolder scratch;
    const CString log = scratch / L"relative.log";
    SetEnvironmentVariableW(L"LARKMOOR_LOG", log);
    const CString elsewhere = scratch / L"Elsewhere";
    ASSERT_TRUE(CreateFolderPath(elsewhere + L"\\Orders"));
    HANDLE first = StartConsole(L"");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(WaitForFrame(), nullptr);
    const struct {
        CString argument;
        CString handed;
    } cases[] = {
        {L"\"relative order.vpm\"", elsewhere + L"\\relative order.vpm"},
        {L"Orders\\..\\Orders\\x.vpm", elsewhere + L"\\Orders\\x.vpm"},
        {L"zkyopen://Orders/x.vpm", L"zkyopen://Orders/x.vpm"},  // a link stays as it is
    };
    for (const auto& c : cases) {
        std::vector<HANDLE> second{StartConsole(c.argument, elsewhere)};
        ASSERT_NE(second[0], nullptr);
        EXPECT_TRUE(WaitForAll(second));
        EXPECT_TRUE(WaitForLog(log, "0x500 " + c.handed.ToNarrow(CP_UTF8) + "\n")) << ReadLog(log);
        DismissConsoleBoxes();
    }
    CloseConsole(first);
    SetEnvironmentVariableW(L"LARKMOOR_LOG", nullptr);
}

TEST(HandOver, ASecondConsoleHandsItsPathOrLinkToTheRunningOneAndEnds)
{
    ScratchFolder scratch;
    const CString log = scratch / L"handover.log";
    SetEnvironmentVariableW(L"LARKMOOR_LOG", log);
    ASSERT_EQ(CountConsoleWindows(), 0);

    HANDLE first = StartConsole(L"");
    ASSERT_NE(first, nullptr) << ConsolePath().ToNarrow();
    HWND frame = nullptr;
    for (int i = 0; i < 300 && !frame; ++i) {
        frame = FindWindowW(kConsoleWindowClass, nullptr);
        if (!frame)
            Sleep(50);
    }
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(WaitForLog(log, "0x501\n"));  // its own start-up checks

    // The file type is the console's now: open = "<program>" "%1".
    EXPECT_EQ(ReadClassesValue(L".vpm"), L"Vesperlin.Media");
    const CString command = ReadClassesValue(L"Vesperlin.Media\\shell\\open\\command");
    EXPECT_EQ(command.Right(5), L" \"%1\"");
    EXPECT_NE(command.Find(L"Larkmoor.exe\""), -1) << command.ToNarrow();
    EXPECT_TRUE(ReadClassesValue(L"Vesperlin.Media\\shell\\print\\command").IsEmpty());

    ShowWindow(frame, SW_MINIMIZE);
    for (int i = 0; i < 100 && !IsIconic(frame); ++i)
        Sleep(20);
    ASSERT_TRUE(IsIconic(frame));

    const CString order = scratch / L"A Title With Spaces.vpm";
    const struct {
        CString argument;
        std::string logged;
    } starts[] = {
        {L"\"" + order + L"\"", "0x500 " + CString(order).ToNarrow(CP_UTF8) + "\n"},
        {L"zkyopen://media.test/order?id=42&x=%20y", "0x500 zkyopen://media.test/order?id=42&x=%20y\n"},
        {L"", "0x500 zkyopen://media.test/order?id=42&x=%20y\n0x501\n"},
    };
    for (const auto& start : starts) {
        HANDLE second = StartConsole(start.argument);
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(WaitForSingleObject(second, 30000), WAIT_OBJECT_0);
        DWORD code = 99;
        GetExitCodeProcess(second, &code);
        CloseHandle(second);
        EXPECT_EQ(code, 0u);
        EXPECT_TRUE(WaitForLog(log, start.logged)) << ReadLog(log);
        EXPECT_EQ(CountConsoleWindows(), 1);
        EXPECT_FALSE(IsIconic(frame));
    }

    PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(first, 30000), WAIT_OBJECT_0);
    CloseHandle(first);
    SetEnvironmentVariableW(L"LARKMOOR_LOG", nullptr);
}

// Waits for a window of the running console (another process) by class and title.
HWND WaitForConsoleWindow(const wchar_t* className, const wchar_t* title, DWORD ms = 30000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND found = FindWindowW(className, title))
            return found;
        if (GetTickCount() - start > ms)
            return nullptr;
        Sleep(50);
    }
}

void SetConsoleSetting(const wchar_t* name, const CString& value)
{
    CRegistryKey settings;
    ASSERT_EQ(settings.Create(HKEY_CURRENT_USER, L"Software\\Vesperlin, Inc.\\Vesperlin Brenvale\\Settings", KEY_WRITE),
              ERROR_SUCCESS);
    if (value.IsEmpty())
        RegDeleteValueW(settings, name);
    else
        RegSetValueExW(settings, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.GetString()),
                       static_cast<DWORD>((value.GetLength() + 1) * sizeof(wchar_t)));
}

// The whole road across two processes: a second console hands an order file to the running
// one, whose Get Media and Download dialogs the test answers; the parts arrive whole.
TEST(HandOver, AnOrderFileFromASecondConsoleBecomesATitleWhosePartsDownload)
{
    ScratchFolder scratch;
    ServedTitle served;
    ASSERT_TRUE(served.Make(scratch / L"Served"));
    HttpTestServer server;
    ASSERT_TRUE(server.Start(testsupport::UnixPath(served.m_folder)));
    const CString downloads = scratch / L"Downloads";
    ASSERT_TRUE(CreateFolderPath(downloads));
    SetConsoleSetting(L"DownloadFolder-MP3 Audiobook", downloads);
    SetConsoleSetting(kServiceAddressSetting, server.Url(L""));
    const CString log = scratch / L"road.log";
    SetEnvironmentVariableW(L"LARKMOOR_LOG", log);
    const CString order = scratch / L"handed order.vpm";
    const wchar_t* id = L"{7D1E0F00-0000-4000-8000-0000000000BB}";
    served.WriteOrderFile(order, server, id, L"Handed Over Title");

    HANDLE first = StartConsole(L"");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(WaitForConsoleWindow(kConsoleWindowClass, nullptr), nullptr);
    HANDLE second = StartConsole(L"\"" + order + L"\"");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(WaitForSingleObject(second, 30000), WAIT_OBJECT_0);
    CloseHandle(second);

    HWND getMedia = WaitForConsoleWindow(L"#32770", L"Get Media");
    ASSERT_NE(getMedia, nullptr) << ReadLog(log);
    // Found as soon as it exists: its fields are filled while it initialises.
    wchar_t folder[MAX_PATH] = {};
    for (int i = 0; i < 100 && CString(folder) != downloads; ++i) {
        Sleep(i ? 50 : 0);
        GetDlgItemTextW(getMedia, IDC_GET_MEDIA_FOLDER, folder, MAX_PATH);
    }
    EXPECT_EQ(CString(folder), downloads);
    PostMessageW(getMedia, WM_COMMAND, IDOK, 0);
    HWND parts = WaitForConsoleWindow(L"#32770", L"Download");
    ASSERT_NE(parts, nullptr);
    PostMessageW(parts, WM_COMMAND, IDOK, 0);

    EXPECT_TRUE(WaitForLog(log, "0x522 200\n0x522 200\n0x522 200\n", 60000)) << ReadLog(log);
    EXPECT_NE(ReadLog(log).find("added " + CString(id).ToNarrow()), std::string::npos);
    const CString titleFolder = downloads + L"\\Handed Over Title";
    for (int n = 1; n <= ServedTitle::kParts; ++n) {
        CString part;
        part.Format(L"%s\\Handed Over Title-Part%.2d.mp3", titleFolder.GetString(), n);
        EXPECT_EQ(testsupport::ReadAll(part), testsupport::ReadAll(served.PartPath(n))) << n;
        const auto requests = server.RequestsFor("/root/" + ServedTitle::PartName(n).ToNarrow());
        ASSERT_EQ(requests.size(), 1u) << n;
        EXPECT_NE(requests[0].find("[\"License\", \"road-licence\"]"), std::string::npos) << requests[0];
        EXPECT_NE(requests[0].find("[\"ClientID\", \"{"), std::string::npos) << requests[0];
    }
    EXPECT_TRUE(FileExists(titleFolder + L"\\Handed Over Title.wax"));
    EXPECT_FALSE(FileExists(titleFolder + L"\\Handed Over Title-Part01.mp3.tmp"));
    // The library file holds the title.
    librarytest::TestLibrary saved(GetConsoleDataFolder());
    EXPECT_TRUE(saved.OnNewDocument());
    EXPECT_NE(saved.FindTitle(id), nullptr);

    HWND frame = FindWindowW(kConsoleWindowClass, nullptr);
    PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(first, 30000), WAIT_OBJECT_0);
    CloseHandle(first);
    SetEnvironmentVariableW(L"LARKMOOR_LOG", nullptr);
    SetConsoleSetting(L"DownloadFolder-MP3 Audiobook", CString());
    SetConsoleSetting(kServiceAddressSetting, CString());
}

}  // namespace
